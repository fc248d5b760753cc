#include "store/RecordSourceTranslator.h"

#include "store/Collation.h"

#include <sqlite3.h>

namespace store {

namespace {

struct SqlToken {
    enum Type { Word, Quoted, String, Punct } type;
    qsizetype begin;
    qsizetype end;
    int depth; // parenthesis depth at the token
};

bool isWordChar(QChar c) {
    return c.unicode() >= 0x80 || c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Splits SQL text into words, quoted names, string literals and single punctuation characters,
// skipping blanks and comments, as far as needed to find the clauses at the top level.
std::vector<SqlToken> tokenize(const QString& sql) {
    std::vector<SqlToken> tokens;
    const qsizetype n = sql.size();
    int depth = 0;
    qsizetype i = 0;
    auto quoted = [&](qsizetype start, QChar close, bool doubled) {
        qsizetype j = start + 1;
        while (j < n) {
            if (sql[j] == close) {
                if (doubled && j + 1 < n && sql[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype close = sql.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else if (c == QLatin1Char('\'')) {
            const qsizetype end = quoted(i, c, true);
            tokens.push_back({SqlToken::String, i, end, depth});
            i = end;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            const qsizetype end = quoted(i, close, c != QLatin1Char('['));
            tokens.push_back({SqlToken::Quoted, i, end, depth});
            i = end;
        } else if (isWordChar(c)) {
            qsizetype j = i + 1;
            while (j < n && isWordChar(sql[j]))
                ++j;
            tokens.push_back({SqlToken::Word, i, j, depth});
            i = j;
        } else {
            if (c == QLatin1Char(')'))
                --depth;
            tokens.push_back({SqlToken::Punct, i, i + 1, depth});
            if (c == QLatin1Char('('))
                ++depth;
            ++i;
        }
    }
    return tokens;
}

QString unquoteName(QStringView text) {
    if (text.size() >= 2) {
        const QChar open = text.front();
        if (open == QLatin1Char('[') && text.back() == QLatin1Char(']'))
            return text.mid(1, text.size() - 2).toString();
        if ((open == QLatin1Char('"') || open == QLatin1Char('`')) && text.back() == open) {
            QString name = text.mid(1, text.size() - 2).toString();
            name.replace(QString(2, open), QString(open));
            return name;
        }
    }
    return text.toString();
}

Error unsupported(const QString& why, const QString& source) {
    return {SQLITE_ERROR, why + source};
}

// One record source on its way to the two statements, with its tokens and the positions of its
// clauses at the top level.
class Translation {
  public:
    Translation(const QString& source, const RowAddress& rowAddress, RecordSource* out)
        : source_(source), tokens_(tokenize(source)), rowAddress_(rowAddress), out_(out) {}

    Error run();

  private:
    QStringView text(size_t i) const {
        return QStringView(source_).mid(tokens_[i].begin, tokens_[i].end - tokens_[i].begin);
    }
    bool is(size_t i, const char* keyword) const {
        return i < tokens_.size() && tokens_[i].type == SqlToken::Word && tokens_[i].depth == 0 &&
               text(i).compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
    }
    bool isPunct(size_t i, char c) const {
        return i < tokens_.size() && tokens_[i].type == SqlToken::Punct && tokens_[i].depth == 0 &&
               source_[tokens_[i].begin] == QLatin1Char(c);
    }
    bool isName(size_t i) const {
        return i < end_ && (tokens_[i].type == SqlToken::Word || tokens_[i].type == SqlToken::Quoted);
    }
    bool isClause(size_t i) const;
    Error findStatementEnd();
    Error tableName();
    Error findClauses();
    QString parameterizedConditions(qsizetype* copied);
    QVariant literalValue(size_t i) const;
    QString sortKeys(qsizetype* copied) const;

    const QString& source_;
    const std::vector<SqlToken> tokens_;
    const RowAddress& rowAddress_;
    RecordSource* out_;
    QString rowid_;
    size_t end_ = 0;        // the statement's end: its first ';' at the top level, or the last token
    qsizetype bodyEnd_ = 0; // the same as a position in the text
    size_t from_ = 0;       // FROM
    size_t tableAt_ = 0;    // the table's name
    size_t headEnd_ = 0;    // after the table's name and its alias
    size_t orderAt_ = 0;    // ORDER BY, or end_
    size_t limitAt_ = 0;    // LIMIT, or end_
};

Error Translation::findStatementEnd() {
    end_ = tokens_.size();
    for (size_t i = 0; i < tokens_.size(); ++i) {
        if (isPunct(i, ';')) {
            end_ = i;
            break;
        }
    }
    for (size_t i = end_; i < tokens_.size(); ++i) {
        if (!isPunct(i, ';'))
            return unsupported(QStringLiteral("only one statement is allowed: "), source_);
    }
    if (end_ == 0)
        return unsupported(QStringLiteral("empty record source"), QString());
    bodyEnd_ = end_ < tokens_.size() ? tokens_[end_].begin : source_.size();
    return {};
}

Error Translation::tableName() {
    if (end_ != 1 || !isName(0))
        return unsupported(QStringLiteral("not a table name or a query: "), source_);
    out_->table = unquoteName(text(0));
    const QString table = quoteName(out_->table);
    if (Error error = rowAddress_(out_->table, &rowid_); error.failed())
        return error;
    if (rowid_.isEmpty()) {
        out_->allRowsQuery = QStringLiteral("SELECT * FROM %1").arg(table);
        return {};
    }
    out_->rowidQuery = QStringLiteral("SELECT %2 FROM %1 ORDER BY %2").arg(table, rowid_);
    out_->valueQuery = QStringLiteral("SELECT * FROM %1 WHERE %2=?").arg(table, rowid_);
    return {};
}

bool Translation::isClause(size_t i) const {
    static const char* const clauses[] = {"WHERE", "ORDER",     "LIMIT",   "GROUP", "HAVING",  "WINDOW",
                                          "UNION", "INTERSECT", "EXCEPT",  "JOIN",  "NATURAL", "LEFT",
                                          "INNER", "CROSS",     "INDEXED", "NOT"};
    for (const char* clause : clauses) {
        if (is(i, clause))
            return true;
    }
    return false;
}

// An alias may follow the table; a second table, a join, a grouping or a compound does not give
// rows that can be updated one by one.
Error Translation::findClauses() {
    if (is(1, "DISTINCT"))
        return unsupported(QStringLiteral("a recordset of DISTINCT rows cannot be updated: "), source_);
    from_ = 1;
    while (from_ < end_ && !is(from_, "FROM"))
        ++from_;
    tableAt_ = from_ + 1;
    if (!isName(tableAt_))
        return unsupported(QStringLiteral("no table after FROM: "), source_);
    out_->table = unquoteName(text(tableAt_));
    if (Error error = rowAddress_(out_->table, &rowid_); error.failed())
        return error;

    headEnd_ = tableAt_ + 1;
    if (is(headEnd_, "AS"))
        headEnd_ += 2;
    else if (headEnd_ < end_ && tokens_[headEnd_].type != SqlToken::Punct && !isClause(headEnd_))
        headEnd_ += 1;
    if (headEnd_ > end_)
        return unsupported(QStringLiteral("no alias after AS: "), source_);
    orderAt_ = limitAt_ = end_;
    for (size_t i = headEnd_; i < end_; ++i) {
        if (isPunct(i, ',') && i == headEnd_)
            return unsupported(QStringLiteral("a recordset over several tables cannot be updated: "),
                               source_);
        for (const char* word : {"GROUP", "HAVING", "WINDOW", "UNION", "INTERSECT", "EXCEPT", "JOIN"}) {
            if (is(i, word))
                return unsupported(QStringLiteral("this query gives rows that cannot be updated: "), source_);
        }
        if (orderAt_ == end_ && is(i, "ORDER") && is(i + 1, "BY"))
            orderAt_ = i;
        if (limitAt_ == end_ && is(i, "LIMIT"))
            limitAt_ = i;
    }
    return {};
}

// The value of a condition's literal that becomes a parameter; an invalid QVariant for a token
// that stays as written. A bound value has no affinity, exactly like the literal it replaces.
// Numbers next to a '.' (1.5), numbers inside parentheses (a subquery's ORDER BY 1 names a
// column) and blob literals (x'..') stay as written.
QVariant Translation::literalValue(size_t i) const {
    const SqlToken& t = tokens_[i];
    const bool touchesPrevious =
        t.begin > 0 && (source_[t.begin - 1] == QLatin1Char('.') ||
                        (i > 0 && tokens_[i - 1].end == t.begin && tokens_[i - 1].type == SqlToken::Word));
    const bool touchesNext = t.end < source_.size() && source_[t.end] == QLatin1Char('.');
    if (t.type == SqlToken::String && !touchesPrevious && t.end - t.begin >= 2 &&
        source_[t.end - 1] == QLatin1Char('\'')) {
        QString literal = source_.mid(t.begin + 1, t.end - t.begin - 2);
        literal.replace(QLatin1String("''"), QLatin1String("'"));
        return literal;
    }
    if (t.type == SqlToken::Word && t.depth == 0 && !touchesPrevious && !touchesNext &&
        t.end - t.begin <= 18) {
        bool ok = false;
        const qint64 number = text(i).toLongLong(&ok);
        bool digitsOnly = ok;
        for (const QChar c : text(i))
            digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (digitsOnly)
            return number;
    }
    return QVariant();
}

// The query from its table up to ORDER BY or LIMIT, with the literals of its conditions as
// parameters, so that the queries of every date share one prepared statement. Anything in the
// query's own ORDER BY or LIMIT stays as written.
QString Translation::parameterizedConditions(qsizetype* copied) {
    QString core;
    const size_t conditionsEnd = std::min(orderAt_, limitAt_);
    for (size_t i = headEnd_; i < conditionsEnd; ++i) {
        const QVariant value = literalValue(i);
        if (!value.isValid())
            continue;
        const SqlToken& t = tokens_[i];
        core += source_.mid(*copied, t.begin - *copied) + QLatin1Char('?');
        if (t.type == SqlToken::String) // compared in the file's text order
            core += literalCollation(QStringView(source_).first(t.begin), QStringView(source_).sliced(t.end),
                                     value.toString());
        *copied = t.end;
        out_->args.push_back(value);
    }
    return core;
}

// ORDER BY a field alone sorts by the field's sort key.
QString Translation::sortKeys(qsizetype* copied) const {
    QString sorted;
    for (size_t i = orderAt_ + 2; orderAt_ < end_ && i < limitAt_; ++i) {
        const bool name = tokens_[i].type == SqlToken::Quoted ||
                          (tokens_[i].type == SqlToken::Word && !source_[tokens_[i].begin].isDigit());
        const bool wholeTerm =
            (i == orderAt_ + 2 || isPunct(i - 1, ',')) &&
            (i + 1 >= limitAt_ || isPunct(i + 1, ',') || is(i + 1, "ASC") || is(i + 1, "DESC"));
        if (name && tokens_[i].depth == 0 && wholeTerm) {
            sorted += source_.mid(*copied, tokens_[i].begin - *copied) +
                      sortKeyExpression(orderOfField(unquoteName(text(i))), text(i));
            *copied = tokens_[i].end;
        }
    }
    return sorted;
}

Error Translation::run() {
    if (Error error = findStatementEnd(); error.failed())
        return error;
    if (!is(0, "SELECT"))
        return tableName();
    if (Error error = findClauses(); error.failed())
        return error;

    const QString selectList = source_.mid(tokens_[0].end, tokens_[from_].begin - tokens_[0].end).trimmed();
    const qsizetype tableBegin = tokens_[tableAt_].begin;
    const QString head = source_.mid(tableBegin, tokens_[headEnd_ - 1].end - tableBegin);
    const qsizetype limitBegin = limitAt_ < end_ ? tokens_[limitAt_].begin : bodyEnd_;
    qsizetype copied = tableBegin;
    QString core = parameterizedConditions(&copied);
    core += sortKeys(&copied);
    core = (core + source_.mid(copied, limitBegin - copied)).trimmed();
    const QString limit = source_.mid(limitBegin, bodyEnd_ - limitBegin).trimmed();

    if (rowid_.isEmpty()) {
        out_->allRowsQuery = QStringLiteral("SELECT %1 FROM %2").arg(selectList, core);
        if (!limit.isEmpty())
            out_->allRowsQuery += QLatin1Char(' ') + limit;
        return {};
    }
    out_->rowidQuery = QStringLiteral("SELECT ") + rowid_ + QStringLiteral(" FROM ") + core +
                       (orderAt_ < end_ ? QStringLiteral(", ") : QStringLiteral(" ORDER BY ")) + rowid_;
    if (!limit.isEmpty())
        out_->rowidQuery += QLatin1Char(' ') + limit;
    out_->valueQuery = QStringLiteral("SELECT %1 FROM %2 WHERE %3=?").arg(selectList, head, rowid_);
    return {};
}

} // namespace

QString quoteName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

Error translateRecordSource(const QString& source, const RowAddress& rowAddress, RecordSource* out) {
    *out = RecordSource();
    return Translation(source, rowAddress, out).run();
}

} // namespace store
