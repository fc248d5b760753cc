#pragma once
// An error reported by the database engine: its result code and its own text. Every call that can
// fail returns one (or a Result holding its value or its error), and the compiler makes the caller
// look at it: a read that failed is never taken for one that found nothing.

#include <QString>

#include <utility>

namespace store {

// Not an engine code: the stored record is no longer the one that was read, so it was not written.
// Its sentence says it all: such an error carries no text of its own.
constexpr int kChangedElsewhere = 0x1000;
// The text of an error for a record another program deleted meanwhile.
inline const QString kRecordGoneText =
    QStringLiteral("他のプログラムがこのデータを削除しました。表示し直してください。");

struct [[nodiscard]] Error {
    int code = 0;    // SQLite primary result code; 0 means success
    QString message; // the engine's own text (or ours, for conditions the engine does not see)

    bool failed() const { return code != 0; }
    bool ok() const { return code == 0; }
    // Another program holds the file locked (SQLITE_BUSY, SQLITE_LOCKED): trying later may work.
    bool locked() const { return code == 5 || code == 6; }
    // The file as a whole cannot serve as a Schedule file (missing, no database, damaged, without
    // the tables and fields of one), as the calendar reports when it opens it; not a failure to
    // read some of its items.
    bool fileUnusable() const;
};

// What a read found, or why it could not be read; never both, and never an empty value standing
// in for a failure.
template <typename T> class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {} // NOLINT(google-explicit-constructor)
    // A failure. An error without a code would read as success with an empty value, so it counts
    // as the engine's generic error.
    Result(Error error) : error_(std::move(error)) { // NOLINT(google-explicit-constructor)
        if (error_.ok())
            error_.code = 1; // SQLITE_ERROR
    }

    bool ok() const { return error_.ok(); }
    const Error& error() const { return error_; }
    // The value of a successful read; a default value after a failure, which callers check first.
    const T& value() const { return value_; }
    T& value() { return value_; }

  private:
    T value_{};
    Error error_;
};

// The error of a file that cannot be opened (the engine's SQLITE_CANTOPEN), with our own text:
// for a file that is not set, or no longer where it was.
Error cannotOpen(const QString& message);

// A plain Japanese sentence for the user, followed by the engine's text on a second line.
// Examples: "スケジュールファイルがデータベースではありません",
// "スケジュールファイルは他のプログラムが使用中です". A refused value names the field, its limit
// and what to type: "入力された値が長すぎるか空です。「内容」は1～80文字で入力してください。".
QString describe(const Error& error);

} // namespace store
