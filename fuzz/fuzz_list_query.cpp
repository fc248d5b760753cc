// Fuzz target: the list window's query builders on arbitrary control texts, each query run
// through a data control against a real Schedule file.
//
// Input: the texts of the filter controls, one per line, in this order: slot (Combo1), level
// (Combo4), alarm (Combo5), the date filter check box (Check1: "1" on, anything else off), the
// sort button (Option1 index), month (Combo2), year (Text2), and the search text (Text1), which
// takes the rest of the input, line feeds included. Missing lines keep the window's defaults.
//
// The Schedule file is made once at start-up. Every query must run (the texts are quoted
// literals, so no text can make one fail, except a NUL character, which ends SQL text), must
// return exactly the rows that the same filter computed here in C++ selects, and must never
// change the file: after every input the file's data version, the connection's change count and
// a snapshot of every row and of the schema are compared with those taken at start-up.

#include "list/QueryBuilder.h"
#include "store/DataControl.h"
#include "store/Like.h"
#include "store/ScheduleFile.h"

#include <QStringList>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

struct Row {
    QString date;
    double slot;
    std::optional<double> level;
    std::optional<QString> content;
    std::optional<QString> alarm;
    QString time;
};

QTemporaryDir* folder = nullptr;
QString schedulePath;
std::vector<Row> rows;
sqlite3* checker = nullptr;
QByteArray snapshotAtStart;
qint64 dataVersionAtStart = 0;

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "fuzz_list_query: %s\n", qPrintable(what));
    std::abort();
}

// Contents that the wildcards and the quoting could trip over.
const char* const kContents[] = {
    "会議",       "It's done",    "''",         "'; DELETE FROM 予定表; --",
    "50% off",    "a_b",          "*",          "?",
    "#1",         "[重要]",       "ＡＢＣ全角", "abc半角",
    "ｶﾀｶﾅ",       "2026/1/5",     "--",         "/* */",
    "\"quoted\"", "日本語の予定", "x",          "Ünïcödé",
};

void makeRows() {
    int n = 0;
    for (int year : {2024, 2025, 2026}) {
        for (int month = 1; month <= 12; month += 1 + (n % 3)) {
            for (int slot = 1; slot <= 4; ++slot, ++n) {
                Row row;
                row.date = QStringLiteral("%1/%2/%3").arg(year).arg(month).arg(1 + n % 28);
                row.slot = slot;
                if (n % 6 != 0)
                    row.level = 1 + n % 5;
                if (n % 17 != 5)
                    row.content = QString::fromUtf8(kContents[n % std::size(kContents)]);
                if (n % 13 != 7)
                    row.alarm = n % 2 ? QStringLiteral("True") : QStringLiteral("False");
                row.time = n % 3 ? QStringLiteral("####") : QStringLiteral("0930");
                rows.push_back(row);
            }
        }
    }
}

QVariant orNull(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}
QVariant orNull(const std::optional<QString>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<QString>());
}

void makeScheduleFile() {
    schedulePath = folder->filePath(QStringLiteral("fuzz.sdb"));
    if (store::createScheduleFile(schedulePath).failed())
        fail(QStringLiteral("cannot create the Schedule file"));
    store::DataControl data;
    data.setDatabaseName(schedulePath);
    data.setRecordSource(store::kDayTable);
    if (data.refresh().failed())
        fail(QStringLiteral("cannot open the Schedule file"));
    for (const Row& row : rows) {
        const store::Error error = data.appendRow({{QStringLiteral("年月日"), row.date},
                                                   {QStringLiteral("項目番号"), row.slot},
                                                   {QStringLiteral("レベル"), orNull(row.level)},
                                                   {QStringLiteral("内容"), orNull(row.content)},
                                                   {QStringLiteral("アラーム"), orNull(row.alarm)},
                                                   {QStringLiteral("時刻"), row.time}});
        if (error.failed())
            fail(QStringLiteral("cannot add a row: ") + error.message);
    }
    data.setRecordSource(store::kTodoTable);
    if (data.refresh().failed() ||
        data.appendRow({{QStringLiteral("やるべき事"), QStringLiteral("買い物")}}).failed())
        fail(QStringLiteral("cannot add a ToDo row"));
}

qint64 dataVersion() {
    sqlite3_stmt* stmt = nullptr;
    qint64 version = -1;
    if (sqlite3_prepare_v2(checker, "PRAGMA data_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return version;
}

// Every row of both tables and the schema, as one text.
QByteArray snapshot() {
    static const char* const queries[] = {
        "SELECT rowid, quote(年月日), quote(項目番号), quote(レベル), quote(内容), quote(アラーム), "
        "quote(時刻) FROM 予定表 ORDER BY rowid",
        "SELECT rowid, quote(年月日), quote(項目番号), quote(キーワード), quote(やるべき事), "
        "quote(チェック), quote(時刻) FROM ToDoリスト ORDER BY rowid",
        "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name",
    };
    QByteArray out;
    for (const char* sql : queries) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(checker, sql, -1, &stmt, nullptr) != SQLITE_OK)
            fail(QStringLiteral("snapshot query refused: ") + QString::fromUtf8(sqlite3_errmsg(checker)));
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                out += reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                out += '|';
            }
            out += '\n';
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            fail(QStringLiteral("snapshot query failed"));
        out += "--\n";
    }
    return out;
}

list::FilterState stateFrom(const QString& input) {
    list::FilterState state;
    QStringList lines = input.split(QLatin1Char('\n'));
    auto take = [&](QString& field) {
        if (!lines.isEmpty())
            field = lines.takeFirst();
    };
    take(state.slot);
    take(state.level);
    take(state.alarm);
    QString check;
    take(check);
    state.dateFilter = check == QLatin1String("1");
    QString sort;
    take(sort);
    if (!sort.isNull())
        state.sortIndex = sort.toInt();
    take(state.month);
    take(state.year);
    if (!lines.isEmpty())
        state.search = lines.join(QLatin1Char('\n'));
    return state;
}

// The same filters, computed row by row.
int choice(const QString& text, const QString& prefix, const QString& suffix, int last) {
    for (int n = 1; n <= last; ++n)
        if (text == prefix + QString::number(n) + suffix)
            return n;
    return 0;
}

struct Filter {
    explicit Filter(const list::FilterState& state)
        : slot(choice(state.slot, QStringLiteral("項目"), QString(), 4)),
          level(choice(state.level, QStringLiteral("ﾚﾍﾞﾙ"), QString(), 5)),
          alarm(state.alarm == QLatin1String("True") || state.alarm == QLatin1String("False") ? state.alarm
                                                                                              : QString()),
          dateFilter(state.dateFilter), yearPattern(state.year + QStringLiteral("/*")),
          monthPattern(
              QStringLiteral("*/%1/*").arg(choice(state.month, QString(), QStringLiteral("月"), 12))),
          anyMonth(choice(state.month, QString(), QStringLiteral("月"), 12) == 0),
          searchPattern(QLatin1Char('*') + state.search + QLatin1Char('*')) {}

    bool date(const Row& row) const {
        return store::jetLike(yearPattern, row.date) && (anyMonth || store::jetLike(monthPattern, row.date));
    }
    bool condition(const Row& row) const {
        return (!slot || row.slot == slot) && (!level || (row.level && *row.level == level)) &&
               (alarm.isEmpty() || (row.alarm && *row.alarm == alarm)) && (!dateFilter || date(row));
    }
    bool search(const Row& row) const {
        return condition(row) && row.content && store::jetLike(searchPattern, *row.content);
    }

    int slot;
    int level;
    QString alarm;
    bool dateFilter;
    QString yearPattern;
    QString monthPattern;
    bool anyMonth;
    QString searchPattern;
};

template <class Predicate> int expectedCount(Predicate matches) {
    int count = 0;
    for (const Row& row : rows)
        count += matches(row) ? 1 : 0;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = new QTemporaryDir();
    if (!folder->isValid())
        fail(QStringLiteral("no temporary folder"));
    makeRows();
    makeScheduleFile();
    if (sqlite3_open_v2(schedulePath.toUtf8().constData(), &checker, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        fail(QStringLiteral("cannot open the checking connection"));
    snapshotAtStart = snapshot();
    dataVersionAtStart = dataVersion();
    std::atexit([] {
        sqlite3_close(checker);
        delete folder;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const list::FilterState state = stateFrom(input);
    const Filter filter(state);
    const bool hasNul = input.contains(QChar());

    struct Query {
        const char* name;
        QString sql;
        int expected;
    };
    const Query queries[] = {
        {"date filter", list::dateFilterQuery(state),
         expectedCount([&](const Row& row) { return filter.date(row); })},
        {"combined filter", list::combinedFilterQuery(state),
         expectedCount([&](const Row& row) { return filter.condition(row); })},
        {"search", list::searchQuery(state),
         expectedCount([&](const Row& row) { return filter.search(row); })},
        {"ascending sort", list::sortQuery(state, list::SortOrder::Ascending),
         expectedCount([&](const Row& row) { return filter.condition(row); })},
        {"descending sort", list::sortQuery(state, list::SortOrder::Descending),
         expectedCount([&](const Row& row) { return filter.condition(row); })},
    };

    // One data control for many inputs, as the list window keeps its own; it is closed now and
    // then, which also frees the statements it prepared.
    static store::DataControl control;
    static int inputsSinceOpen = 0;
    if (++inputsSinceOpen > 256) {
        control.close();
        inputsSinceOpen = 1;
    }
    control.setDatabaseName(schedulePath);
    for (const Query& query : queries) {
        control.setRecordSource(query.sql);
        const store::Error error = control.refresh();
        if (error.failed()) {
            if (hasNul)
                continue; // refused cleanly: the recordset is empty
            fail(QStringLiteral("%1 query refused (%2): %3\n  %4")
                     .arg(QString::fromLatin1(query.name))
                     .arg(error.code)
                     .arg(error.message, query.sql));
        }
        if (control.recordCount() != query.expected)
            fail(QStringLiteral("%1 query gives %2 rows, the filter selects %3\n  %4")
                     .arg(QString::fromLatin1(query.name))
                     .arg(control.recordCount())
                     .arg(query.expected)
                     .arg(query.sql));
        // Read a few rows the way the grid does.
        for (int row = 0; row < std::min(control.recordCount(), 3); ++row) {
            for (int column = 0; column < control.fieldNames().size(); ++column)
                (void)control.value(row, column);
        }
    }
    if (control.connection() && sqlite3_total_changes(control.connection()->handle()) != 0)
        fail(QStringLiteral("a list query changed rows"));

    if (dataVersion() != dataVersionAtStart || snapshot() != snapshotAtStart)
        fail(QStringLiteral("the Schedule file changed"));
    return 0;
}
