#pragma once
// An error reported by the database engine: its result code and its own text.

#include <QString>

namespace store {

// Not an engine code: the stored record is no longer the one that was read, so it was not written.
constexpr int kChangedElsewhere = 0x1000;

struct Error {
    int code = 0;    // SQLite primary result code; 0 means success
    QString message; // the engine's own text (or ours, for conditions the engine does not see)

    bool failed() const { return code != 0; }
    explicit operator bool() const { return failed(); }
};

// A plain Japanese sentence for the user, followed by the engine's text on a second line.
// Examples: "スケジュールファイルがデータベースではありません",
// "スケジュールファイルは他のプログラムが使用中です". A refused value names the field, its limit
// and what to type: "入力された値が長すぎるか空です。「内容」は1～80文字で入力してください。".
QString describe(const Error& error);

} // namespace store
