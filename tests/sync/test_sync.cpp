// The two-way sync: the planner's decisions on a table of cases, whole syncs of real Schedule
// files with a collection in memory, and a long random run across two files and a third client.

#include "SyncItems.h"
#include "store/ScheduleLayout.h"
#include "support/FilePermissions.h"
#include "support/MemoryServer.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"
#include "sync/Engine.h"
#include "sync/Mapping.h"
#include "sync/Planner.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace calsync;
using syncitems::day;
using syncitems::fileItems;
using syncitems::kRange;
using testsupport::MemoryServer;

Q_DECLARE_METATYPE(store::SlotItem)

namespace {

ItemValue value(const QString& date, const QString& content, const QString& time = {}) {
    return {day(date), time, content, 0, false};
}

QByteArray eventText(const QString& uid, const QString& date, const QString& summary,
                     const QByteArray& more = {}) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:" + uid.toUtf8() +
           "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:" + day(date).toString("yyyyMMdd").toLatin1() +
           "\r\nSUMMARY:" + summary.toUtf8() + "\r\n" + more + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

// The items of the server within the range, sorted.
QStringList serverItems(const MemoryServer& server) {
    QStringList items;
    for (auto it = server.resources().cbegin(); it != server.resources().cend(); ++it)
        syncitems::addResourceItems(items, it.key(), it->data);
    items.sort();
    return items;
}

void removeTodo(const QString& file, const QString& text) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::kTodoTable);
    QVERIFY(data.refresh().ok());
    for (int row = 0; row < data.recordCount(); ++row) {
        if (data.value(row, 3).value().toString() == text) {
            data.moveTo(row);
            QVERIFY(data.remove().ok());
            return;
        }
    }
    QFAIL("no such ToDo entry");
}

QString kinds(const Plan& plan) {
    static const char* const names[] = {"Rebase", "Pull",  "PullDelete", "Push",  "PushDelete",
                                        "Create", "Place", "KeepBoth",   "Forget"};
    QStringList list;
    for (const Action& action : plan.actions)
        list << QLatin1String(names[static_cast<int>(action.kind)]);
    return list.join(QLatin1Char(','));
}

} // namespace

class TestSync : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { env_ = std::make_unique<testsupport::TestEnv>(); }
    void cleanup() { env_.reset(); }

    // An item written as a new resource, or as an edit of a resource, reads back as the same
    // item: otherwise every sync would find it changed again.
    void mappingRoundTrip_data() {
        QTest::addColumn<store::SlotItem>("item");
        QTest::newRow("plain") << store::SlotItem{"会議", {}, false, store::kEmptyTime};
        QTest::newRow("timed with level and alarm") << store::SlotItem{"会議", "ﾚﾍﾞﾙ3", true, "0930"};
        QTest::newRow("all day with alarm") << store::SlotItem{"誕生日", "ﾚﾍﾞﾙ5", true, store::kEmptyTime};
        QTest::newRow("time text no clock shows") << store::SlotItem{"変な時刻", {}, false, "930"};
        QTest::newRow("late evening") << store::SlotItem{"年越し", "ﾚﾍﾞﾙ1", false, "2345"};
        QTest::newRow("eighty characters") << store::SlotItem{QString(80, QChar(0x3042)), {}, false, "0800"};
    }

    void mappingRoundTrip() {
        QFETCH(store::SlotItem, item);
        const ItemValue wanted = valueOf(QDate(2026, 3, 1), item);
        const QByteArray created = newResource(QStringLiteral("u1"), wanted, 2);
        const std::vector<ServerItem> read = readResource(QStringLiteral("u1.ics"), created, kRange).items;
        QCOMPARE(read.size(), size_t(1));
        QCOMPARE(read[0].value, wanted);
        QCOMPARE(read[0].preferredSlot, 2);
        // The same item written over another one.
        const ItemValue other = value("2026/2/1", "前の予定", "1200");
        const std::optional<QByteArray> edited =
            editResource(newResource(QStringLiteral("u2"), other, 1), {{QString(), other, wanted, 2}});
        QVERIFY(edited);
        QCOMPARE(readResource(QStringLiteral("u2.ics"), *edited, kRange).items.at(0).value, wanted);
    }

    // A series from another program, in a time zone of its own: an occurrence edited becomes an
    // override and one deleted an EXDATE; the other occurrences stay as they were.
    void occurrenceEdits() {
        const QByteArray series = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\n"
                                  "UID:s1\r\nDTSTAMP:20260101T000000Z\r\n"
                                  "DTSTART;TZID=Europe/Berlin:20260302T020000\r\n"
                                  "DTEND;TZID=Europe/Berlin:20260302T030000\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\n"
                                  "SUMMARY:朝会\r\nLOCATION:本社\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        const std::vector<ServerItem> before = readResource(QStringLiteral("s1.ics"), series, kRange).items;
        QCOMPARE(before.size(), size_t(4));
        QCOMPARE(before[0].value.time, QStringLiteral("1000")); // 02:00 in Berlin is 10:00 in Tokyo
        ItemValue moved = before[1].value;
        moved.content = QStringLiteral("休み");
        moved.time = QStringLiteral("1100");
        const std::optional<QByteArray> edited =
            editResource(series, {{before[1].occurrence, before[1].value, moved, 1},
                                  {before[2].occurrence, before[2].value, std::nullopt, 1}});
        QVERIFY(edited);
        QVERIFY(edited->contains("RECURRENCE-ID;TZID=Europe/Berlin:20260309T020000"));
        QVERIFY(edited->contains("EXDATE;TZID=Europe/Berlin:20260316T020000"));
        QCOMPARE(edited->count("LOCATION:本社"), 2);
        const std::vector<ServerItem> after = readResource(QStringLiteral("s1.ics"), *edited, kRange).items;
        QCOMPARE(after.size(), size_t(3));
        QCOMPARE(after[0].value, before[0].value);
        QCOMPARE(after[1].value, before[3].value);
        QCOMPARE(after[2].occurrence, before[1].occurrence);
        QCOMPARE(after[2].value, moved);
        // Edited again, the override is changed in place.
        ItemValue again = moved;
        again.content = QStringLiteral("休み2");
        const std::optional<QByteArray> twice =
            editResource(*edited, {{before[1].occurrence, moved, again, 1}});
        QVERIFY(twice);
        QCOMPARE(twice->count("RECURRENCE-ID"), 1);
        QCOMPARE(readResource(QStringLiteral("s1.ics"), *twice, kRange).items.at(2).value, again);
    }

    void planner_data() {
        QTest::addColumn<std::vector<LocalItem>>("local");
        QTest::addColumn<std::vector<ServerItem>>("server");
        QTest::addColumn<std::vector<Pairing>>("pairs");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<int>("conflicts");
        const ItemValue a = value("2026/3/1", "会議");
        const ItemValue a2 = value("2026/3/1", "会議2");
        const ItemValue a3 = value("2026/3/1", "会議3");
        const ItemValue moved = value("2026/3/2", "会議");
        const Pairing pa{"a.ics", "", a.date, 1, a};
        using L = std::vector<LocalItem>;
        using S = std::vector<ServerItem>;
        using P = std::vector<Pairing>;
        QTest::newRow("nothing changed") << L{{1, a}} << S{{"a.ics", "", a, 0}} << P{pa} << "" << 0;
        QTest::newRow("edited here") << L{{1, a2}} << S{{"a.ics", "", a, 0}} << P{pa} << "Push" << 0;
        QTest::newRow("edited there") << L{{1, a}} << S{{"a.ics", "", a2, 0}} << P{pa} << "Pull" << 0;
        QTest::newRow("moved there") << L{{1, a}} << S{{"a.ics", "", moved, 0}} << P{pa} << "Pull" << 0;
        QTest::newRow("deleted here") << L{} << S{{"a.ics", "", a, 0}} << P{pa} << "PushDelete" << 0;
        QTest::newRow("deleted there") << L{{1, a}} << S{} << P{pa} << "PullDelete" << 0;
        QTest::newRow("same edit both") << L{{1, a2}} << S{{"a.ics", "", a2, 0}} << P{pa} << "Rebase" << 0;
        QTest::newRow("edited both") << L{{1, a2}} << S{{"a.ics", "", a3, 0}} << P{pa} << "KeepBoth" << 1;
        QTest::newRow("edited here, moved there")
            << L{{1, a2}} << S{{"a.ics", "", moved, 0}} << P{pa} << "Forget,Create,Place" << 1;
        QTest::newRow("deleted here, edited there")
            << L{} << S{{"a.ics", "", a2, 0}} << P{pa} << "Forget,Place" << 1;
        QTest::newRow("edited here, deleted there") << L{{1, a2}} << S{} << P{pa} << "Forget,Create" << 1;
        QTest::newRow("deleted both") << L{} << S{} << P{pa} << "Forget" << 0;
        QTest::newRow("first meeting: same item")
            << L{{2, a}} << S{{"b.ics", "", a, 0}} << P{} << "Rebase" << 0;
        ItemValue leveled = a;
        leveled.level = 3;
        QTest::newRow("first meeting: same item, another level")
            << L{{2, leveled}} << S{{"b.ics", "", a, 0}} << P{} << "Push" << 0;
        QTest::newRow("first meeting: different items")
            << L{{2, a}} << S{{"b.ics", "", a2, 0}} << P{} << "Create,Place" << 0;
        QTest::newRow("one occurrence paired, one new")
            << L{{1, a}} << S{{"r.ics", "20260301", a, 0}, {"r.ics", "20260302", moved, 0}}
            << P{{"r.ics", "20260301", a.date, 1, a}} << "Place" << 0;
    }

    void planner() {
        QFETCH(std::vector<LocalItem>, local);
        QFETCH(std::vector<ServerItem>, server);
        QFETCH(std::vector<Pairing>, pairs);
        QFETCH(QString, actions);
        QFETCH(int, conflicts);
        const Plan plan = planSync({local, server, pairs});
        QCOMPARE(kinds(plan), actions);
        QCOMPARE(static_cast<int>(plan.conflicts.size()), conflicts);
    }

    void massDeleteThreshold_data() {
        QTest::addColumn<int>("deletes");
        QTest::addColumn<int>("items");
        QTest::addColumn<bool>("stops");
        QTest::newRow("a few of a few") << 3 << 4 << false;
        QTest::newRow("eleven of forty") << 11 << 40 << true;
        QTest::newRow("eleven of sixty") << 11 << 60 << false;
        QTest::newRow("fifty-one of a thousand") << 51 << 1000 << true;
    }

    void massDeleteThreshold() {
        QFETCH(int, deletes);
        QFETCH(int, items);
        QFETCH(bool, stops);
        Plan here;
        here.deletesHere = deletes;
        here.localCount = items;
        here.serverCount = 100000;
        QCOMPARE(massDelete(here), stops);
        Plan there;
        there.deletesThere = deletes;
        there.serverCount = items;
        there.localCount = 100000;
        QCOMPARE(massDelete(there), stops);
    }

    // Steps, one a line: "local DATE SLOT TEXT" (TEXT "-" deletes), "server HREF DATE TEXT",
    // "drop HREF", "recur HREF DATE COUNT TEXT", "sync", "sync!" (mass delete allowed),
    // "fail N" (the server goes away after N writes), "failList", "collection NAME".
    void scenarios_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("file");
        QTest::addColumn<QStringList>("server");
        QTest::addColumn<int>("conflicts");
        QTest::addColumn<int>("notShown");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("dataHas"); // text the collection's resources hold
        const QStringList one{"2026/3/1 会議"};
        QTest::newRow("added here") << QStringList{"local 2026/3/1 1 会議", "sync"} << one << one << 0 << 0
                                    << true << QString();
        QTest::newRow("added there") << QStringList{"server a 2026/3/1 会議", "sync"} << one << one << 0 << 0
                                     << true << QString();
        QTest::newRow("edited here") << QStringList{"local 2026/3/1 1 案", "sync", "local 2026/3/1 1 会議",
                                                    "sync"}
                                     << one << one << 0 << 0 << true << QString();
        QTest::newRow("edited there")
            << QStringList{"server a 2026/3/1 案", "sync", "server a 2026/3/1 会議", "sync"} << one << one
            << 0 << 0 << true << QString();
        QTest::newRow("deleted here")
            << QStringList{"local 2026/3/1 1 会議", "sync", "local 2026/3/1 1 -", "sync"} << QStringList{}
            << QStringList{} << 0 << 0 << true << QString();
        QTest::newRow("deleted there") << QStringList{"server a 2026/3/1 会議", "sync", "drop a", "sync"}
                                       << QStringList{} << QStringList{} << 0 << 0 << true << QString();
        const QStringList both{"2026/3/1 ここ", "2026/3/1 そこ"};
        QTest::newRow("moved there") << QStringList{"server a 2026/3/2 会議", "sync",
                                                    "server a 2026/3/1 会議", "sync"}
                                     << one << one << 0 << 0 << true << QString();
        QTest::newRow("edited on both sides, no free slot")
            << QStringList{"server a 2026/3/1 会議",
                           "local 2026/3/1 2 二",
                           "local 2026/3/1 3 三",
                           "local 2026/3/1 4 四",
                           "sync",
                           "server a 2026/3/1 そこ",
                           "local 2026/3/1 1 ここ",
                           "sync"}
            << QStringList{"2026/3/1 ここ", "2026/3/1 三", "2026/3/1 二", "2026/3/1 四"}
            << QStringList{"2026/3/1 ここ", "2026/3/1 そこ", "2026/3/1 三", "2026/3/1 二", "2026/3/1 四"} << 1
            << 1 << true << QString();
        QTest::newRow("edited on both sides")
            << QStringList{"server a 2026/3/1 会議", "sync", "server a 2026/3/1 そこ",
                           "local 2026/3/1 1 ここ", "sync"}
            << QStringList{"2026/3/1 ここ", "2026/3/1 そこ"} << QStringList{"2026/3/1 ここ", "2026/3/1 そこ"}
            << 1 << 0 << true << QString();
        QTest::newRow("deleted here, edited there")
            << QStringList{"server a 2026/3/1 会議", "sync", "server a 2026/3/1 そこ", "local 2026/3/1 1 -",
                           "sync"}
            << QStringList{"2026/3/1 そこ"} << QStringList{"2026/3/1 そこ"} << 1 << 0 << true << QString();
        QTest::newRow("edited here, deleted there")
            << QStringList{"server a 2026/3/1 会議", "sync", "drop a", "local 2026/3/1 1 ここ", "sync"}
            << QStringList{"2026/3/1 ここ"} << QStringList{"2026/3/1 ここ"} << 1 << 0 << true << QString();
        const QStringList merged{"2026/3/1 会議", "2026/3/2 ここだけ", "2026/3/3 そこだけ"};
        QTest::newRow("first sync merges")
            << QStringList{"local 2026/3/1 2 会議", "local 2026/3/2 1 ここだけ", "server a 2026/3/1 会議",
                           "server b 2026/3/3 そこだけ", "sync"}
            << merged << merged << 0 << 0 << true << QString();
        QTest::newRow("fifth item not shown")
            << QStringList{"local 2026/3/1 1 一", "local 2026/3/1 2 二",  "local 2026/3/1 3 三",
                           "local 2026/3/1 4 四", "server e 2026/3/1 五", "sync"}
            << QStringList{"2026/3/1 一", "2026/3/1 三", "2026/3/1 二", "2026/3/1 四"}
            << QStringList{"2026/3/1 一", "2026/3/1 三", "2026/3/1 二", "2026/3/1 五", "2026/3/1 四"} << 0
            << 1 << true << QString();
        QTest::newRow("occurrence edited here")
            << QStringList{"recur r 2026/3/1 3 朝会", "sync", "local 2026/3/2 1 休み", "sync"}
            << QStringList{"2026/3/1 朝会", "2026/3/2 休み", "2026/3/3 朝会"}
            << QStringList{"2026/3/1 朝会", "2026/3/2 休み", "2026/3/3 朝会"} << 0 << 0 << true
            << QStringLiteral("RECURRENCE-ID");
        QTest::newRow("occurrence deleted here")
            << QStringList{"recur r 2026/3/1 3 朝会", "sync", "local 2026/3/2 1 -", "sync"}
            << QStringList{"2026/3/1 朝会", "2026/3/3 朝会"} << QStringList{"2026/3/1 朝会", "2026/3/3 朝会"}
            << 0 << 0 << true << QStringLiteral("EXDATE");
        QTest::newRow("occurrences carried out of the range stay")
            << QStringList{"recur r 2026/3/1 3 朝会", "sync", "range 2026/3/2", "sync"}
            << QStringList{"2026/3/1 朝会", "2026/3/2 朝会", "2026/3/3 朝会"}
            << QStringList{"2026/3/1 朝会", "2026/3/2 朝会", "2026/3/3 朝会"} << 0 << 0 << true << QString();
        QTest::newRow("unreadable on the server, kept here")
            << QStringList{"server a 2026/3/1 会議", "sync", "garble a", "sync"} << one << QStringList{} << 0
            << 1 << true << QString();
        QTest::newRow("recurrence out of range")
            << QStringList{"recur r 2030/3/1 3 遠い", "sync"} << QStringList{} << QStringList{} << 0 << 1
            << true << QString();
        QStringList twelve;
        QStringList deleteAll;
        QStringList kept;
        for (int d = 1; d <= 12; ++d) {
            twelve << QStringLiteral("local 2026/4/%1 1 予定%1").arg(d);
            deleteAll << QStringLiteral("local 2026/4/%1 1 -").arg(d);
            kept << QStringLiteral("2026/4/%1 予定%1").arg(d);
        }
        kept.sort();
        QTest::newRow("mass delete stops") << twelve + QStringList{"sync"} + deleteAll + QStringList{"sync"}
                                           << QStringList{} << kept << 0 << 0 << false << QString();
        QTest::newRow("mass delete allowed")
            << twelve + QStringList{"sync"} + deleteAll + QStringList{"sync!"} << QStringList{}
            << QStringList{} << 0 << 0 << true << QString();
        const QStringList three{"2026/3/1 一", "2026/3/2 二", "2026/3/3 三"};
        QTest::newRow("cut off mid-batch, then finished") << QStringList{"local 2026/3/1 1 一",
                                                                         "local 2026/3/2 1 二",
                                                                         "local 2026/3/3 1 三",
                                                                         "fail 1",
                                                                         "sync",
                                                                         "sync"}
                                                          << three << three << 0 << 0 << true << QString();
        QTest::newRow("cut off before any write, then finished")
            << QStringList{"local 2026/3/1 1 一",
                           "local 2026/3/2 1 二",
                           "local 2026/3/3 1 三",
                           "fail 0",
                           "sync",
                           "sync"}
            << three << three << 0 << 0 << true << QString();
        QTest::newRow("saved by another program during the sync")
            << QStringList{"local 2026/3/1 1 案",       "sync", "local 2026/3/1 1 案2",
                           "meanwhile 2026/3/1 1 会議", "sync", "sync"}
            << one << one << 0 << 0 << true << QString();
        QTest::newRow("listing fails") << QStringList{"local 2026/3/1 1 会議", "failList", "sync"} << one
                                       << QStringList{} << 0 << 0 << false << QString();
        QTest::newRow("edit keeps what the file does not hold")
            << QStringList{"described a 2026/3/1 案", "sync", "local 2026/3/1 1 会議", "sync"} << one << one
            << 0 << 0 << true << QStringLiteral("LOCATION:本社");
        const QStringList todo{"ToDo 買い物"};
        QTest::newRow("ToDo added here")
            << QStringList{"todo 買い物", "sync"} << todo << todo << 0 << 0 << true << QString();
        QTest::newRow("ToDo added there")
            << QStringList{"vtodo t 買い物", "sync"} << todo << todo << 0 << 0 << true << QString();
        QTest::newRow("ToDo deleted here") << QStringList{"vtodo t 買い物", "sync", "untodo 買い物", "sync"}
                                           << QStringList{} << QStringList{} << 0 << 0 << true << QString();
        QTest::newRow("ToDo deleted there")
            << QStringList{"todo 買い物", "vtodo t 買い物", "sync", "drop t", "sync"} << QStringList{}
            << QStringList{} << 0 << 0 << true << QString();
        QTest::newRow("ToDo changed there") << QStringList{"vtodo t 買物", "sync", "vtodo t 買い物", "sync"}
                                            << todo << todo << 0 << 0 << true << QString();
        QTest::newRow("ToDo deleted here, changed there")
            << QStringList{"vtodo t 買物", "sync", "untodo 買物", "vtodo t 買い物", "sync"} << todo << todo
            << 1 << 0 << true << QString();
        QTest::newRow("ToDos not taken") << QStringList{"notodos", "todo 買い物", "sync"} << todo
                                         << QStringList{} << 0 << 0 << true << QString();
        QTest::newRow("another collection starts afresh")
            << QStringList{"server a 2026/3/1 会議", "sync", "collection other", "sync"} << one << one << 0
            << 0 << true << QString();
    }

    void scenarios() {
        QFETCH(QString, dataHas);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, file);
        QFETCH(QStringList, server);
        QFETCH(int, conflicts);
        QFETCH(int, notShown);
        QFETCH(bool, ok);
        const QString path = env_->makeScheduleFile();
        std::map<QString, MemoryServer> servers;
        QString collection = QStringLiteral("main");
        exchange::DateRange range = kRange;
        SyncReport report;
        for (const QString& step : steps) {
            const QStringList w = step.split(QLatin1Char(' '));
            const bool fresh = !servers.contains(collection);
            MemoryServer& s = servers[collection];
            s.todos = s.todos || fresh;
            if (w[0] == "local") {
                const store::SlotItem item{w[3] == "-" ? QString() : w[3], {}, false, store::kEmptyTime};
                QVERIFY(testrows::putSlot(path, day(w[1]), w[2].toInt(), item));
            } else if (w[0] == "server") {
                s.put(w[1], eventText(w[1], w[2], w[3]));
            } else if (w[0] == "described") {
                s.put(w[1], eventText(w[1], w[2], w[3], "DESCRIPTION:詳細\\, 会議室\r\nLOCATION:本社\r\n"));
            } else if (w[0] == "todo") {
                testrows::addTodos(path, {w[1]});
            } else if (w[0] == "untodo") {
                removeTodo(path, w[1]);
            } else if (w[0] == "vtodo") {
                s.put(w[1], "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VTODO\r\nUID:" +
                                w[1].toUtf8() + "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + w[2].toUtf8() +
                                "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
            } else if (w[0] == "notodos") {
                s.todos = false;
            } else if (w[0] == "garble") {
                s.put(w[1], "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:2026");
            } else if (w[0] == "drop") {
                s.remove(w[1]);
            } else if (w[0] == "recur") {
                s.put(w[1],
                      eventText(w[1], w[2], w[4], "RRULE:FREQ=DAILY;COUNT=" + w[3].toLatin1() + "\r\n"));
            } else if (w[0] == "meanwhile") {
                // Another program saves a slot while the sync waits for the server.
                s.beforeWrites = [path, w] {
                    QVERIFY(testrows::putSlot(path, day(w[1]), w[2].toInt(),
                                              {w[3], {}, false, store::kEmptyTime}));
                };
            } else if (w[0] == "range") {
                range.first = day(w[1]);
            } else if (w[0] == "fail") {
                s.failAfterWrites = w[1].toInt();
            } else if (w[0] == "failList") {
                s.failListing = true;
            } else if (w[0] == "collection") {
                collection = w[1];
            } else {
                report = runSync(path, collection, s, {range, w[0] == "sync!"});
                s.failAfterWrites = -1;
            }
        }
        QCOMPARE(fileItems(path), file);
        QCOMPARE(serverItems(servers[collection]), server);
        QCOMPARE(static_cast<int>(report.conflicts.size()), conflicts);
        QCOMPARE(static_cast<int>(report.notShown.size()), notShown);
        QCOMPARE(report.ok(), ok);
        QByteArray data;
        for (const MemoryServer::Stored& stored : servers[collection].resources())
            data += stored.data;
        QVERIFY2(data.contains(dataHas.toUtf8()), data.constData());
    }

    // A file that cannot be written is refused before the server is asked anything.
    void readOnlyFile() {
        const QString path = env_->makeScheduleFile();
        QVERIFY(testrows::putSlot(path, QDate(2026, 3, 1), 1, {"会議", {}, false, store::kEmptyTime}));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const testsupport::PermissionsApply permissions;
        MemoryServer server;
        const SyncReport report = runSync(path, QStringLiteral("main"), server, {kRange, false});
        QVERIFY(!report.ok());
        QVERIFY(!report.failure.isEmpty());
        QCOMPARE(server.listings, 0);
        QVERIFY(server.resources().isEmpty());
    }

    // Random edits, deletions and syncs across two files and a third client that edits the
    // collection directly; at the end, after a few syncs, both files and the server hold the same
    // items, none doubled, and every item nobody touched since it was made is still there.
    void randomRun() {
        const QString files[2] = {env_->makeScheduleFile(QStringLiteral("a.sdb")),
                                  env_->makeScheduleFile(QStringLiteral("b.sdb"))};
        MemoryServer server;
        server.put(QStringLiteral("r"), eventText(QStringLiteral("r"), QStringLiteral("2026/5/3"),
                                                  QStringLiteral("朝会"), "RRULE:FREQ=WEEKLY;COUNT=5\r\n"));
        QRandomGenerator random(20261208);
        QSet<QString> untouched{QStringLiteral("朝会")};
        int made = 0;
        int conflicts = 0;
        int uids = 0;
        QHashSeed::setDeterministicGlobalSeed();
        const auto someDate = [&] { return QDate(2026, 5, 1).addDays(random.bounded(60)); };
        const auto fresh = [&] {
            const QString content = QStringLiteral("c%1").arg(++made);
            untouched.insert(content);
            return content;
        };
        int cut = 0;
        const auto sync = [&](int which, bool faulty = false) {
            server.failAfterWrites = faulty ? static_cast<int>(random.bounded(3)) : -1;
            const SyncReport report = runSync(files[which], QStringLiteral("main"), server, {kRange, false},
                                              [&] { return QStringLiteral("n%1").arg(++uids); });
            server.failAfterWrites = -1;
            cut += report.ok() ? 0 : 1;
            QVERIFY2(report.ok() || faulty, qPrintable(report.failure));
            conflicts += static_cast<int>(report.conflicts.size());
        };
        for (int round = 0; round < 300; ++round) {
            const int which = static_cast<int>(random.bounded(2));
            const QString& file = files[which];
            const QStringList rows = testrows::dayRows(file);
            const QStringList row =
                rows.isEmpty() ? QStringList() : rows[random.bounded(rows.size())].split(QLatin1Char('|'));
            const QStringList hrefs = server.hrefs();
            const QString href = hrefs.isEmpty() ? QString() : hrefs[random.bounded(hrefs.size())];
            switch (random.bounded(9)) {
            case 0: {
                QVERIFY(syncitems::addInFreeSlot(file, someDate(), fresh));
                break;
            }
            case 1:
            case 2:
                if (row.size() < 4)
                    break;
                untouched.remove(row[3]);
                QVERIFY(testrows::putSlot(
                    file, day(row[0]), row[1].toInt(),
                    {random.bounded(2) ? fresh() : QString(), {}, false, store::kEmptyTime}));
                break;
            case 3:
                server.put(
                    QStringLiteral("p%1").arg(made),
                    eventText(QStringLiteral("p%1").arg(made), store::dateString(someDate()), fresh()));
                break;
            case 4: {
                if (href.isEmpty() || server.resources()[href].data.contains("RRULE"))
                    break;
                const std::vector<ServerItem> items =
                    readResource(href, server.resources()[href].data, kRange).items;
                if (items.empty())
                    break;
                untouched.remove(items.front().value.content);
                if (random.bounded(2))
                    server.remove(href);
                else
                    server.put(href, eventText(href, store::dateString(items.front().value.date), fresh()));
                break;
            }
            case 8:
                // The server goes away part-way through the sync's writes.
                sync(which, true);
                break;
            default:
                sync(which);
                break;
            }
        }
        for (int round = 0; round < 3; ++round) {
            sync(0);
            sync(1);
        }
        const QStringList onServer = serverItems(server);
        QCOMPARE(fileItems(files[0]), onServer);
        QCOMPARE(fileItems(files[1]), onServer);
        QSet<QString> contents;
        for (const QString& item : onServer) {
            const QString content = item.section(QLatin1Char(' '), 1);
            QVERIFY2(!contents.contains(content) || content == QStringLiteral("朝会"), qPrintable(item));
            contents.insert(content);
        }
        for (const QString& content : std::as_const(untouched))
            QVERIFY2(contents.contains(content), qPrintable(content));
        QVERIFY(onServer.size() > 20);
        // The run went through conflicts and through syncs cut off part-way.
        QVERIFY(conflicts > 0);
        QVERIFY(cut > 0);
    }

  private:
    std::unique_ptr<testsupport::TestEnv> env_;
};

QTEST_GUILESS_MAIN(TestSync)
#include "test_sync.moc"
