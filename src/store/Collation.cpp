#include "store/Collation.h"

#include "store/ItemRules.h"
#include "store/Like.h"
#include "store/ScheduleLayout.h"

#include <QDate>
#include <sqlite3.h>

#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace store {

namespace {

// Leads the key of a Date string; every other text of a date field leads with kOtherText, so
// all dates sort first.
constexpr char kDateLead = '\x01';
constexpr char kOtherText = '\x02';

// Decodes one code point; invalid bytes read as U+FFFD, one at a time.
char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end) {
    const unsigned char lead = *p++;
    if (lead < 0x80)
        return lead;
    const int more = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
    if (more == 0 || end - p < more)
        return 0xFFFD;
    char32_t c = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[more] || c > 0x10FFFF)
        return 0xFFFD;
    p += more;
    return c;
}

void appendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The key as the SQL functions return it: text, any other value unchanged.
void keyFunction(sqlite3_context* context, sqlite3_value* value, TextOrder order) {
    if (sqlite3_value_type(value) != SQLITE_TEXT) {
        sqlite3_result_value(context, value);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    thread_local std::string key;
    key.clear();
    appendSortKey(text, sqlite3_value_bytes(value), order, &key);
    sqlite3_result_text64(context, key.data(), key.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

int compareKeys(const std::string& a, const std::string& b) {
    return a.compare(b);
}

int collate(void* order, int aBytes, const void* a, int bBytes, const void* b) {
    const TextOrder textOrder = *static_cast<const TextOrder*>(order);
    thread_local std::string aKey;
    thread_local std::string bKey;
    aKey.clear();
    bKey.clear();
    appendSortKey(static_cast<const char*>(a), aBytes, textOrder, &aKey);
    appendSortKey(static_cast<const char*>(b), bBytes, textOrder, &bKey);
    return compareKeys(aKey, bKey);
}

constexpr TextOrder kOrders[] = {TextOrder::Text, TextOrder::Date};

bool isNameChar(QChar c) {
    return c.unicode() >= 0x80 || c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

bool isOperatorChar(QChar c) {
    return c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('!');
}

// Reads the comparison operator and then the field name next to a literal, walking away from it
// (backwards when `step` is -1). The name is returned unquoted; empty when there is none.
QString comparedField(QStringView sql, qsizetype from, int step, QString* op) {
    const qsizetype n = sql.size();
    auto skipBlanks = [&](qsizetype i) {
        while (i >= 0 && i < n && sql[i].isSpace())
            i += step;
        return i;
    };
    qsizetype i = skipBlanks(from);
    op->clear();
    while (i >= 0 && i < n && isOperatorChar(sql[i])) {
        *op = step < 0 ? sql[i] + *op : *op + sql[i];
        i += step;
    }
    i = skipBlanks(i);
    if (i < 0 || i >= n)
        return QString();
    const QChar c = sql[i];
    const QChar open = step < 0 ? (c == QLatin1Char(']') ? QLatin1Char('[') : c) : c;
    const QChar close = step < 0 ? c : (c == QLatin1Char('[') ? QLatin1Char(']') : c);
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[') || c == QLatin1Char(']')) {
        const qsizetype other = step < 0 ? sql.lastIndexOf(open, i - 1) : sql.indexOf(close, i + 1);
        if (other < 0)
            return QString();
        return sql.sliced(std::min(i, other) + 1, std::abs(other - i) - 1).toString();
    }
    qsizetype j = i;
    while (j >= 0 && j < n && isNameChar(sql[j]))
        j += step;
    const QStringView name = step < 0 ? sql.sliced(j + 1, i - j) : sql.sliced(i, j - i);
    if (name.isEmpty() || name.front().isDigit())
        return QString();
    return name.toString();
}

} // namespace

void appendSortKey(const char* utf8, int bytes, TextOrder order, std::string* key) {
    if (order == TextOrder::Date) {
        if (const QDate date = dateOfString(QByteArrayView(utf8, bytes)); date.isValid()) {
            const int year = date.year();
            const int month = date.month();
            const int day = date.day();
            // The lead, then year, month and day as fixed-width decimal digits.
            const char digits[] = {kDateLead,
                                   static_cast<char>('0' + year / 1000),
                                   static_cast<char>('0' + year / 100 % 10),
                                   static_cast<char>('0' + year / 10 % 10),
                                   static_cast<char>('0' + year % 10),
                                   static_cast<char>('0' + month / 10),
                                   static_cast<char>('0' + month % 10),
                                   static_cast<char>('0' + day / 10),
                                   static_cast<char>('0' + day % 10)};
            key->append(digits, sizeof digits);
            return;
        }
        key->push_back(kOtherText);
    }
    key->reserve(key->size() + static_cast<size_t>(bytes));
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    const auto* end = p + bytes;
    while (p < end) {
        if (*p < 0x80) { // the common case, without decoding
            const char c = static_cast<char>(*p++);
            key->push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c);
        } else {
            appendUtf8(foldLatinCase(nextCodePoint(p, end)), key);
        }
    }
}

int compareTexts(QStringView a, QStringView b, TextOrder order) {
    const QByteArray aText = a.toUtf8();
    const QByteArray bText = b.toUtf8();
    std::string aKey;
    std::string bKey;
    appendSortKey(aText.constData(), static_cast<int>(aText.size()), order, &aKey);
    appendSortKey(bText.constData(), static_cast<int>(bText.size()), order, &bKey);
    return compareKeys(aKey, bKey);
}

TextOrder orderOfField(QStringView field) {
    return field == kDateField ? TextOrder::Date : TextOrder::Text;
}

const char* collationName(TextOrder order) {
    return order == TextOrder::Date ? "jet_date" : "jet_text";
}

QString sortKeyExpression(TextOrder order, QStringView expression) {
    return QLatin1String(order == TextOrder::Date ? "jet_date_key(" : "jet_text_key(") +
           expression.toString() + QLatin1Char(')');
}

bool equalsOnlyItself(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool latin = (u < 0x80 && QChar::isLetter(u)) || (u >= 0xC0 && u <= 0x24F) ||
                           (u >= 0xFF21 && u <= 0xFF3A) || (u >= 0xFF41 && u <= 0xFF5A);
        if (latin)
            return false;
    }
    return true;
}

QString literalCollation(QStringView before, QStringView after, QStringView literal) {
    static const QStringList operators{QStringLiteral("="),  QStringLiteral("=="), QStringLiteral("<>"),
                                       QStringLiteral("!="), QStringLiteral("<"),  QStringLiteral(">"),
                                       QStringLiteral("<="), QStringLiteral(">=")};
    QString op;
    QString field = comparedField(before, before.size() - 1, -1, &op);
    if (field.isEmpty() || !operators.contains(op))
        field = comparedField(after, 0, 1, &op);
    if (field.isEmpty() || !operators.contains(op))
        return QString();
    const bool equality = op == QLatin1String("=") || op == QLatin1String("==") ||
                          op == QLatin1String("<>") || op == QLatin1String("!=");
    if (equality && equalsOnlyItself(literal))
        return QString();
    return QStringLiteral(" COLLATE ") + QLatin1String(collationName(orderOfField(field)));
}

int registerCollations(sqlite3* db) {
    int rc = SQLITE_OK;
    for (const TextOrder& order : kOrders) {
        void* context = const_cast<TextOrder*>(&order);
        rc = sqlite3_create_collation_v2(db, collationName(order), SQLITE_UTF8, context, collate, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    rc = sqlite3_create_function_v2(
        db, "jet_text_key", 1, flags, nullptr,
        [](sqlite3_context* c, int, sqlite3_value** v) { keyFunction(c, v[0], TextOrder::Text); }, nullptr,
        nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(
            db, "jet_date_key", 1, flags, nullptr,
            [](sqlite3_context* c, int, sqlite3_value** v) { keyFunction(c, v[0], TextOrder::Date); },
            nullptr, nullptr, nullptr);
    return rc;
}

} // namespace store
