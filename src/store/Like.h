#pragma once
// LIKE as the Schedule file's queries mean it: * any run, ? one character, # one digit, [..] and [!..]
// character classes (with ranges a-z). % and _ are ordinary characters. Latin letters compare
// case-insensitively, half- and full-width alike (ａ = A).
//
// In SQL, `text LIKE pattern ESCAPE 'c'` (which the old dialect did not have) makes the character
// after c an ordinary one; NULL on either side gives NULL.

#include <QStringView>
#include <functional>

struct sqlite3;

namespace store {

bool jetLike(QStringView pattern, QStringView text);

// The folding LIKE and text comparison share: A-Z and the full-width Ａ-Ｚ ａ-ｚ become a-z, the
// Latin letters from U+00C0 to U+024F their case-folded form; every other character stays.
char32_t foldLatinCase(char32_t c);

// Registers jetLike() as LIKE on the connection (overriding SQLite's own). A long match asks
// `stop` now and then (it must outlive the connection); when it answers true the statement ends
// with SQLITE_INTERRUPT.
int registerJetLike(sqlite3* db, const std::function<bool()>* stop = nullptr);

} // namespace store
