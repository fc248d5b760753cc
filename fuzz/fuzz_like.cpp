// Fuzz target: LIKE with the old wildcards (store::jetLike) on arbitrary pattern/text pairs.
//
// Input: the pattern, a line feed, then the text, both UTF-8. An input that starts with byte
// 0x01 holds UTF-16 code units instead (so lone surrogates reach the matcher), split at the
// first U+000A.
//
// Besides running without a sanitizer report, each answer is checked against
//   - a plain dynamic-programming matcher, for patterns without a character class;
//   - the same matcher behind SQL (`text LIKE pattern` on an in-memory database), which walks
//     UTF-8 instead of UTF-16;
//   - "*" before or after a matching pattern still matches.
// Sizes stay under libFuzzer's -max_len, so the matcher's O(pattern x text) bound keeps every
// run short; a run that still takes seconds is reported by -timeout.

#include "store/Like.h"

#include <QChar>
#include <QString>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

sqlite3* db = nullptr;
sqlite3_stmt* likeStatement = nullptr;

std::vector<char32_t> codePoints(QStringView s) {
    std::vector<char32_t> out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode())) {
            out.push_back(QChar::surrogateToUcs4(c, s[i + 1].unicode()));
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Letters compare without case: ASCII, the full-width Latin letters as their ASCII forms, and
// the Latin letters with accents by Unicode case folding.
char32_t fold(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 'a';
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c - 0xFF21 + 'a';
    if (c >= 0xFF41 && c <= 0xFF5A)
        return c - 0xFF41 + 'a';
    if (c >= 0xC0 && c <= 0x24F)
        return QChar::toCaseFolded(c);
    return c;
}

// matches[j]: the pattern so far matches the first j characters of the text.
bool referenceLike(const std::vector<char32_t>& pattern, const std::vector<char32_t>& text) {
    std::vector<char> matches(text.size() + 1, 0);
    matches[0] = 1;
    for (const char32_t p : pattern) {
        std::vector<char> next(text.size() + 1, 0);
        if (p == '*') {
            char seen = 0;
            for (size_t j = 0; j <= text.size(); ++j) {
                seen = seen || matches[j];
                next[j] = seen;
            }
        } else {
            for (size_t j = 0; j < text.size(); ++j) {
                if (!matches[j])
                    continue;
                const char32_t t = text[j];
                const bool one = p == '?' || (p == '#' && t >= '0' && t <= '9') ||
                                 (p != '?' && p != '#' && fold(p) == fold(t));
                next[j + 1] = one;
            }
        }
        matches.swap(next);
    }
    return matches[text.size()];
}

int sqlLike(const QString& pattern, const QString& text) {
    const QByteArray p = pattern.toUtf8();
    const QByteArray t = text.toUtf8();
    sqlite3_bind_text(likeStatement, 1, t.constData(), static_cast<int>(t.size()), SQLITE_STATIC);
    sqlite3_bind_text(likeStatement, 2, p.constData(), static_cast<int>(p.size()), SQLITE_STATIC);
    int result = -1;
    if (sqlite3_step(likeStatement) == SQLITE_ROW)
        result = sqlite3_column_int(likeStatement, 0);
    sqlite3_reset(likeStatement);
    sqlite3_clear_bindings(likeStatement);
    return result;
}

[[noreturn]] void fail(const char* what, const QString& pattern, const QString& text) {
    std::fprintf(stderr, "fuzz_like: %s\n  pattern: %s\n  text:    %s\n", what, qPrintable(pattern),
                 qPrintable(text));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (sqlite3_open(":memory:", &db) != SQLITE_OK || store::registerJetLike(db) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "SELECT ?1 LIKE ?2", -1, &likeStatement, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "fuzz_like: no in-memory database\n");
        std::abort();
    }
    std::atexit([] {
        sqlite3_finalize(likeStatement);
        sqlite3_close(db);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString input;
    if (size > 0 && data[0] == 0x01) {
        const size_t units = (size - 1) / 2;
        input.resize(static_cast<qsizetype>(units));
        for (size_t i = 0; i < units; ++i)
            input[static_cast<qsizetype>(i)] =
                QChar(static_cast<char16_t>(data[1 + 2 * i] | (data[2 + 2 * i] << 8)));
    } else {
        input = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    const qsizetype split = input.indexOf(QLatin1Char('\n'));
    const QString pattern = split < 0 ? input : input.left(split);
    const QString text = split < 0 ? QString() : input.mid(split + 1);

    const bool matched = store::jetLike(pattern, text);

    if (!pattern.contains(QLatin1Char('['))) {
        const std::vector<char32_t> p = codePoints(pattern);
        const std::vector<char32_t> t = codePoints(text);
        if (p.size() * t.size() <= 200000 && referenceLike(p, t) != matched)
            fail(matched ? "matches, but should not" : "does not match, but should", pattern, text);
    }
    // SQLite leaves texts with an embedded NUL undefined; those are compared in UTF-16 only.
    const bool sqlComparable = pattern.isValidUtf16() && text.isValidUtf16() && !pattern.contains(QChar()) &&
                               !text.contains(QChar());
    if (sqlComparable && sqlLike(pattern, text) != (matched ? 1 : 0))
        fail("SQL LIKE answers differently", pattern, text);
    if (matched && !(store::jetLike(QLatin1Char('*') + pattern, text) &&
                     store::jetLike(pattern + QLatin1Char('*'), text)))
        fail("a matching pattern stops matching with another *", pattern, text);
    return 0;
}
