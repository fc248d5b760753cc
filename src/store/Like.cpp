#include "store/Like.h"

#include <QChar>
#include <sqlite3.h>

#include <memory>
#include <vector>

// The matcher compiles a pattern once into tokens that each match exactly one character (or, for
// '*', any run), then walks the text with the greedy algorithm that remembers only the last '*':
// on a mismatch the last '*' absorbs one more character and matching resumes after it. Because
// every other token consumes exactly one character, retrying earlier stars never finds a match
// that this misses, and runs of '*' are collapsed, so long patterns stay cheap.
//
// Texts are walked by code point (a UTF-16 surrogate pair or a UTF-8 sequence is one character),
// from QStringView for callers in C++ and from SQLite's UTF-8 directly for the SQL function.

namespace store {

namespace {

// Latin letters compare without case, and the full-width letters Ａ-Ｚ ａ-ｚ as their half-width
// forms; no other character is changed.
char32_t fold(char32_t c) {
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z')
            return c + ('a' - 'A');
        return c;
    }
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c - 0xFF21 + 'a';
    if (c >= 0xFF41 && c <= 0xFF5A)
        return c - 0xFF41 + 'a';
    if (c >= 0xC0 && c <= 0x24F)
        return QChar::toCaseFolded(c);
    return c;
}

char32_t upperAscii(char32_t c) {
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

class Utf16Cursor {
  public:
    explicit Utf16Cursor(QStringView s) : p_(s.utf16()), end_(s.utf16() + s.size()) {}
    bool atEnd() const { return p_ == end_; }
    char32_t next() {
        const char16_t c = *p_++;
        if (QChar::isHighSurrogate(c) && p_ != end_ && QChar::isLowSurrogate(*p_))
            return QChar::surrogateToUcs4(c, *p_++);
        return c;
    }

  private:
    const char16_t* p_;
    const char16_t* end_;
};

class Utf8Cursor {
  public:
    Utf8Cursor(const unsigned char* s, int bytes) : p_(s), end_(s + bytes) {}
    bool atEnd() const { return p_ == end_; }
    // Invalid bytes read as U+FFFD, one at a time.
    char32_t next() {
        const unsigned char lead = *p_++;
        if (lead < 0x80)
            return lead;
        int more = 0;
        char32_t c = 0;
        char32_t min = 0;
        if ((lead & 0xE0) == 0xC0) {
            more = 1;
            c = lead & 0x1F;
            min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2;
            c = lead & 0x0F;
            min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3;
            c = lead & 0x07;
            min = 0x10000;
        } else {
            return 0xFFFD;
        }
        if (end_ - p_ < more)
            return 0xFFFD;
        for (int i = 0; i < more; ++i) {
            if ((p_[i] & 0xC0) != 0x80)
                return 0xFFFD;
            c = (c << 6) | (p_[i] & 0x3F);
        }
        if (c < min || c > 0x10FFFF)
            return 0xFFFD;
        p_ += more;
        return c;
    }

  private:
    const unsigned char* p_;
    const unsigned char* end_;
};

struct Range {
    char32_t lo, hi;   // as written
    char32_t flo, fhi; // folded
};

struct Token {
    enum Kind : unsigned char { Literal, Any, Digit, Star, Class };
    explicit Token(Kind k) : kind(k) {}
    Kind kind;
    bool negate = false;
    char32_t ch = 0;    // Literal, folded
    unsigned first = 0; // Class: ranges_[first, first + count)
    unsigned count = 0;
};

class Pattern {
  public:
    template <class Cursor>
    Pattern(Cursor pattern, bool hasEscape, char32_t escape) : hasEscape_(hasEscape), escape_(escape) {
        bool noCloseAhead = false; // once a '[' found no ']', no later '[' can find one
        while (!pattern.atEnd()) {
            const char32_t c = pattern.next();
            if (hasEscape && c == escape) {
                literal(pattern.atEnd() ? c : pattern.next());
                continue;
            }
            switch (c) {
            case '*':
                if (tokens_.empty() || tokens_.back().kind != Token::Star)
                    tokens_.emplace_back(Token::Star);
                break;
            case '?':
                tokens_.emplace_back(Token::Any);
                break;
            case '#':
                tokens_.emplace_back(Token::Digit);
                break;
            case '[':
                if (noCloseAhead || !characterClass(pattern)) {
                    noCloseAhead = true;
                    literal(c);
                }
                break;
            default:
                literal(c);
            }
        }
    }

    bool sameEscape(bool hasEscape, char32_t escape) const {
        return hasEscape == hasEscape_ && (!hasEscape || escape == escape_);
    }

    // A long text against a long pattern costs up to their product; `stop` is asked every 64K
    // steps and ends the match with *stopped set when it answers true.
    template <class Cursor>
    bool matches(Cursor text, const std::function<bool()>* stop = nullptr, bool* stopped = nullptr) const {
        const size_t n = tokens_.size();
        size_t pi = 0;
        size_t starPi = n + 1; // none yet
        Cursor starText = text;
        unsigned steps = 0;
        while (!text.atEnd()) {
            if (stop && (++steps & 0xFFFF) == 0 && (*stop)()) {
                *stopped = true;
                return false;
            }
            if (pi < n && tokens_[pi].kind == Token::Star) {
                starPi = ++pi;
                starText = text;
                continue;
            }
            if (pi < n) {
                Cursor after = text;
                if (matchOne(tokens_[pi], after.next())) {
                    ++pi;
                    text = after;
                    continue;
                }
            }
            if (starPi > n)
                return false;
            starText.next();
            text = starText;
            pi = starPi;
        }
        while (pi < n && tokens_[pi].kind == Token::Star)
            ++pi;
        return pi == n;
    }

  private:
    void literal(char32_t c) {
        Token t(Token::Literal);
        t.ch = fold(c);
        tokens_.push_back(t);
    }

    // Reads a class after its '['. Returns false (and consumes nothing) when no ']' follows, in
    // which case the '[' is an ordinary character. "[]" matches nothing and takes no character.
    template <class Cursor> bool characterClass(Cursor& pattern) {
        Cursor scan = pattern;
        std::vector<char32_t> items;
        bool closed = false;
        while (!scan.atEnd()) {
            const char32_t c = scan.next();
            if (c == ']') {
                closed = true;
                break;
            }
            items.push_back(c);
        }
        if (!closed)
            return false;
        pattern = scan;
        if (items.empty())
            return true;
        Token t(Token::Class);
        size_t i = 0;
        if (items[0] == '!' && items.size() > 1) {
            t.negate = true;
            i = 1;
        }
        t.first = static_cast<unsigned>(ranges_.size());
        while (i < items.size()) {
            if (i + 2 < items.size() && items[i + 1] == '-') {
                addRange(items[i], items[i + 2]);
                i += 3;
            } else {
                addRange(items[i], items[i]);
                ++i;
            }
        }
        t.count = static_cast<unsigned>(ranges_.size()) - t.first;
        tokens_.push_back(t);
        return true;
    }

    void addRange(char32_t lo, char32_t hi) { ranges_.push_back({lo, hi, fold(lo), fold(hi)}); }

    bool inClass(const Token& t, char32_t c) const {
        const char32_t fc = fold(c);
        for (unsigned i = t.first; i < t.first + t.count; ++i) {
            const Range& r = ranges_[i];
            if (r.lo <= c && c <= r.hi)
                return true;
            // Compare without case: [a-z] takes Q and Ｑ, [A-Z] takes q, [Ａ-Ｚ] takes a.
            if (r.flo <= r.fhi && r.flo <= fc && fc <= r.fhi)
                return true;
            const char32_t uc = upperAscii(fc);
            if (r.lo <= uc && uc <= r.hi)
                return true;
        }
        return false;
    }

    bool matchOne(const Token& t, char32_t c) const {
        switch (t.kind) {
        case Token::Literal:
            return t.ch == fold(c);
        case Token::Any:
            return true;
        case Token::Digit:
            return c >= '0' && c <= '9';
        case Token::Class:
            return inClass(t, c) != t.negate;
        case Token::Star:
            break;
        }
        return false;
    }

    std::vector<Token> tokens_;
    std::vector<Range> ranges_;
    bool hasEscape_;
    char32_t escape_;
};

// like(pattern, text) and like(pattern, text, escape), as SQLite calls them for
// "text LIKE pattern [ESCAPE escape]". The escape character, which the old dialect did not have,
// makes the character after it an ordinary one.
void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    bool hasEscape = false;
    char32_t escape = 0;
    if (argc == 3) {
        const auto* e = sqlite3_value_text(argv[2]);
        Utf8Cursor cursor(e, sqlite3_value_bytes(argv[2]));
        if (!cursor.atEnd())
            escape = cursor.next();
        if (!e || !cursor.atEnd() || escape == 0) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        hasEscape = true;
    }

    const auto* patternText = sqlite3_value_text(argv[0]);
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    const auto* text = sqlite3_value_text(argv[1]);
    const int textBytes = sqlite3_value_bytes(argv[1]);
    if (!patternText || !text) {
        sqlite3_result_error_nomem(context);
        return;
    }

    // The pattern is usually the same for every row of a statement: keep it compiled.
    auto* cached = static_cast<Pattern*>(sqlite3_get_auxdata(context, 0));
    std::unique_ptr<Pattern> compiled;
    if (!cached || !cached->sameEscape(hasEscape, escape)) {
        compiled = std::make_unique<Pattern>(Utf8Cursor(patternText, patternBytes), hasEscape, escape);
        cached = compiled.get();
    }
    const auto* stop = static_cast<const std::function<bool()>*>(sqlite3_user_data(context));
    bool stopped = false;
    const bool matched = cached->matches(Utf8Cursor(text, textBytes), stop, &stopped);
    if (stopped)
        sqlite3_result_error_code(context, SQLITE_INTERRUPT);
    else
        sqlite3_result_int(context, matched ? 1 : 0);
    if (compiled)
        sqlite3_set_auxdata(context, 0, compiled.release(), [](void* p) { delete static_cast<Pattern*>(p); });
}

} // namespace

char32_t foldLatinCase(char32_t c) {
    return fold(c);
}

bool jetLike(QStringView pattern, QStringView text) {
    const Pattern compiled(Utf16Cursor(pattern), false, 0);
    return compiled.matches(Utf16Cursor(text));
}

int registerJetLike(sqlite3* db, const std::function<bool()>* stop) {
    // Innocuous: a file's own views and CHECK constraints may use LIKE with the schema untrusted.
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    void* data = const_cast<std::function<bool()>*>(stop);
    int rc = sqlite3_create_function_v2(db, "like", 2, flags, data, likeFunction, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, "like", 3, flags, data, likeFunction, nullptr, nullptr, nullptr);
    return rc;
}

} // namespace store
