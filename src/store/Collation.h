#pragma once
// Text comparison and sort order of the Schedule file, the engine's general sort order:
// - texts compare with Latin letters folded as LIKE folds them (A = a = Ａ = ａ), every other
//   character by its code point;
// - 年月日 sorts Date strings (year/month/day in decimal without leading zeros, a real date)
//   chronologically, before every text that is not a Date string; those follow in text order.
//
// Both orders are defined by a sort key whose bytes compare in that order, so that a collation,
// an ORDER BY over a million rows and a test all agree. On every connection the store registers
// the collations jet_text and jet_date and the functions jet_text_key(x) and jet_date_key(x)
// (the key of a text, any other value unchanged, so that NULLs and numbers keep their place).

#include <QString>
#include <QStringView>

#include <string>

struct sqlite3;

namespace store {

enum class TextOrder { Text, Date };

// <0, 0 or >0 as a sorts before, with or after b.
int compareTexts(QStringView a, QStringView b, TextOrder order = TextOrder::Text);

// The order a field sorts and compares in: Date for 年月日, Text for every other field.
TextOrder orderOfField(QStringView field);
// The collation name of an order, and the SQL that sorts by `expression` in it.
const char* collationName(TextOrder order);
QString sortKeyExpression(TextOrder order, QStringView expression);
// Whether a text compares equal only to itself (it holds no Latin letter), so that = and <>
// against it need no collation and an index in byte order can serve them.
bool equalsOnlyItself(QStringView text);
// The COLLATE clause (" COLLATE jet_text") for a text literal of a query, from the SQL text just
// before and after it: the collation of the field it is compared with by =, <>, <, >, <=, >=, !=
// or ==. Empty when it is compared with no field, and for = and <> with a text that only equals
// itself.
QString literalCollation(QStringView before, QStringView after, QStringView literal);

// Appends the sort key of UTF-8 text to *key.
void appendSortKey(const char* utf8, int bytes, TextOrder order, std::string* key);

// Registers the collations and key functions on the connection.
int registerCollations(sqlite3* db);

} // namespace store
