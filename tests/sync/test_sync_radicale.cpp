// The sync end to end against a real Radicale: Schedule files synced through the CalDAV client,
// a second client of the collection (python3-caldav) editing it as a phone would, two files on
// one collection, a random run across all three, and the server killed or raced during a sync.

#include "SyncItems.h"
#include "support/CalDavServers.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"
#include "sync/AccountSync.h"
#include "sync/CalDavClient.h"
#include "sync/Engine.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <map>
#include <utility>

using namespace calsync;
using syncitems::day;
using syncitems::fileItems;

namespace {

const QString kUser = QStringLiteral("alice");
const QString kPassword = QStringLiteral("phone-and-desk");

// The real client, with a step of the test run just before the next batch of writes goes out:
// between the sync's listing and its writes, where another client's edit makes a write fail.
class Hooked : public Server {
  public:
    explicit Hooked(Server& inner) : inner_(inner) {}
    std::function<void()> beforeWrites;

    bool takesTodos() const override { return inner_.takesTodos(); }
    Outcome<Changes> changesSince(const QString& token, const QHash<QString, QString>& known) override {
        return inner_.changesSince(token, known);
    }
    Outcome<std::vector<Written>> write(const std::vector<Write>& writes) override {
        if (beforeWrites)
            std::exchange(beforeWrites, {})();
        return inner_.write(writes);
    }

  private:
    Server& inner_;
};

} // namespace

class TestSyncRadicale : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    testsupport::Radicale radicale;
    std::unique_ptr<testsupport::TestEnv> env;
    QUrl collection;
    int calendars = 0;
    int uids = 0;

    Account accountOf(const QString& file) const {
        Account account;
        account.schedule = file;
        account.user = kUser;
        account.collection = collection.toString();
        account.takesTodos = true;
        return account;
    }

    // A new, empty calendar at `server`, synced from now on.
    void newCalendar(const testsupport::Radicale& server) {
        collection = server.url(QStringLiteral("/alice/c%1/").arg(++calendars));
        Http http({kUser, kPassword, {}});
        const auto made =
            http.run({"MKCALENDAR",
                      collection,
                      testsupport::mkcalendarBody(QStringLiteral("予定"),
                                                  {QStringLiteral("VEVENT"), QStringLiteral("VTODO")}),
                      {{"Content-Type", "application/xml"}}});
        QVERIFY2(made.ok() && made.value().status == 201, qPrintable(made.failure().detail));
    }

    SyncReport sync(const QString& file, std::function<void()> beforeWrites = {}) {
        const Account account = accountOf(file);
        const std::unique_ptr<CalDavClient> client = clientFor(account, kPassword);
        Hooked server(*client);
        server.beforeWrites = std::move(beforeWrites);
        return runSync(file, collectionIdentity(account), server, {syncitems::kRange, false},
                       [this] { return QStringLiteral("n%1").arg(++uids); });
    }

    // The collection's items as the sync reads them, sorted; "<failed>" when it cannot be listed.
    QStringList serverItems() {
        const std::unique_ptr<CalDavClient> client = clientFor(accountOf(QString()), kPassword);
        const auto listed = client->changesSince(QString(), {});
        if (!listed.ok())
            return {QStringLiteral("<failed>")};
        QStringList items;
        for (const Resource& resource : listed.value().changed)
            syncitems::addResourceItems(items, resource.href, resource.data);
        items.sort();
        return items;
    }

    QString phone(const QStringList& commands) {
        return testsupport::phoneClient(QFINDTESTDATA("phone_client.py"), collection, kUser, kPassword,
                                        commands);
    }

    // What the phone shows, in the form of fileItems.
    QStringList phoneItems() {
        QStringList items;
        for (const QString& line :
             phone({QStringLiteral("list")}).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(QLatin1Char('\t'));
            if (fields.size() != 4)
                return {QStringLiteral("<unreadable>: ") + line};
            items << syncitems::itemText(fields[1], fields[2] == QLatin1String("-") ? QString() : fields[2],
                                         fields[3]);
        }
        items.sort();
        return items;
    }

  private slots:
    void initTestCase() {
        QVERIFY(folder.isValid());
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("radicale")));
        QVERIFY2(radicale.start(folder.filePath(QStringLiteral("radicale")), {{kUser, kPassword}}),
                 "Radicale did not start (Debian package radicale)");
    }
    void init() {
        env = std::make_unique<testsupport::TestEnv>();
        newCalendar(radicale);
    }
    void cleanup() { env.reset(); }

    // Steps, one a line: "phone COMMAND…" (phone_client.py's commands), "local F DATE SLOT TEXT"
    // (F a file, a or b; TEXT "-" empties the slot), "sync F", "race UID TEXT" (the phone edits
    // the event during the next sync, after its listing and before its writes). The conflicts
    // are those of every sync together.
    void scenarios_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("a");
        QTest::addColumn<QStringList>("b");
        QTest::addColumn<QStringList>("server");
        QTest::addColumn<int>("conflicts");
        const QStringList edited{"2026/3/12 0930 打合せ", "2026/3/15 誕生日", "2026/3/16 ランチ"};
        QTest::newRow("the phone adds, edits, moves and deletes")
            << QStringList{"phone add u1 2026/3/10 0930 会議",
                           "phone add u2 2026/3/11 - 誕生日",
                           "phone add u3 2026/3/12 - 歯医者",
                           "sync a",
                           "phone edit u1 打合せ",
                           "phone move u1 2026/3/12",
                           "phone move u2 2026/3/15",
                           "phone delete u3",
                           "local a 2026/3/16 1 ランチ",
                           "sync a"}
            << edited << QStringList{} << edited << 0;
        const QStringList converged{"2026/3/10 会議室変更", "2026/3/21 Bの予定", "2026/3/22 Aの予定2"};
        QTest::newRow("two files converge") << QStringList{"phone add u1 2026/3/10 - 会議",
                                                           "sync a",
                                                           "sync b",
                                                           "local a 2026/3/20 1 Aの予定",
                                                           "local b 2026/3/21 1 Bの予定",
                                                           "phone edit u1 会議室変更",
                                                           "sync a",
                                                           "sync b",
                                                           "sync a",
                                                           "local b 2026/3/20 1 -",
                                                           "local a 2026/3/22 1 Aの予定2",
                                                           "sync b",
                                                           "sync a",
                                                           "sync b"}
                                            << converged << converged << converged << 0;
        const QStringList both{"2026/3/10 A案", "2026/3/10 B案"};
        QTest::newRow("edited in both files")
            << QStringList{"phone add u1 2026/3/10 - 会議", "sync a", "sync b", "local a 2026/3/10 1 A案",
                           "local b 2026/3/10 1 B案",       "sync a", "sync b", "sync a"}
            << both << both << both << 1;
        const QStringList raced{"2026/3/10 ここ", "2026/3/10 そこ"};
        QTest::newRow("the phone edits between listing and write")
            << QStringList{"phone add u1 2026/3/10 - 会議",
                           "sync a",
                           "local a 2026/3/10 1 ここ",
                           "race u1 そこ",
                           "sync a",
                           "sync a"}
            << raced << QStringList{} << raced << 2; // the refused write, then both kept
    }

    void scenarios() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, a);
        QFETCH(QStringList, b);
        QFETCH(QStringList, server);
        QFETCH(int, conflicts);
        std::map<QString, QString> files;
        for (const QString& name : {QStringLiteral("a"), QStringLiteral("b")})
            files[name] = env->makeScheduleFile(name + QStringLiteral(".sdb"));
        std::function<void()> race;
        int conflicted = 0;
        for (const QString& step : steps) {
            const QStringList w = step.split(QLatin1Char(' '));
            if (w[0] == QLatin1String("phone")) {
                QVERIFY(phone({step.mid(6)}) != QLatin1String("<failed>"));
            } else if (w[0] == QLatin1String("local")) {
                const store::SlotItem item{w[4] == "-" ? QString() : w[4], {}, false, store::kEmptyTime};
                QVERIFY(testrows::putSlot(files[w[1]], day(w[2]), w[3].toInt(), item));
            } else if (w[0] == QLatin1String("race")) {
                race = [this, w] {
                    QVERIFY(phone({QStringLiteral("edit %1 %2").arg(w[1], w[2])}) != "<failed>");
                };
            } else {
                const SyncReport report = sync(files[w[1]], std::exchange(race, {}));
                QVERIFY2(report.ok(), qPrintable(report.failure));
                conflicted += static_cast<int>(report.conflicts.size());
            }
        }
        QCOMPARE(fileItems(files["a"]), a);
        QCOMPARE(fileItems(files["b"]), b);
        QCOMPARE(serverItems(), server);
        QCOMPARE(phoneItems(), server);
        QCOMPARE(conflicted, conflicts);
    }

    // Random edits, deletions and syncs across two files and the phone. At the end, after a few
    // syncs, both files, the server and the phone hold the same items, none doubled, and every
    // item nobody touched since it was made is still there.
    void randomRun() {
        const QString files[2] = {env->makeScheduleFile(QStringLiteral("a.sdb")),
                                  env->makeScheduleFile(QStringLiteral("b.sdb"))};
        QRandomGenerator random(20261208);
        QSet<QString> untouched;
        int made = 0;
        const auto someDate = [&] { return QDate(2026, 5, 1).addDays(random.bounded(20)); };
        const auto fresh = [&] {
            const QString content = QStringLiteral("c%1").arg(++made);
            untouched.insert(content);
            return content;
        };
        int conflicts = 0;
        const auto syncFile = [&](int which) {
            const SyncReport report = sync(files[which]);
            QVERIFY2(report.ok(), qPrintable(report.failure));
            conflicts += static_cast<int>(report.conflicts.size());
        };
        for (int round = 0; round < 100; ++round) {
            const int which = static_cast<int>(random.bounded(2));
            const QString& file = files[which];
            switch (random.bounded(7)) {
            case 0: {
                QVERIFY(syncitems::addInFreeSlot(file, someDate(), fresh));
                break;
            }
            case 1: {
                const QStringList rows = testrows::dayRows(file);
                if (rows.isEmpty())
                    break;
                const QStringList row = rows[random.bounded(rows.size())].split(QLatin1Char('|'));
                untouched.remove(row[3]);
                QVERIFY(testrows::putSlot(
                    file, day(row[0]), row[1].toInt(),
                    {random.bounded(2) ? fresh() : QString(), {}, false, store::kEmptyTime}));
                break;
            }
            case 2:
                QVERIFY(phone({QStringLiteral("add p%1 %2 - %3")
                                   .arg(made)
                                   .arg(store::dateString(someDate()), fresh())}) != "<failed>");
                break;
            case 3: {
                const QStringList events = phone({QStringLiteral("list")}).split('\n', Qt::SkipEmptyParts);
                if (events.isEmpty())
                    break;
                const QStringList event = events[random.bounded(events.size())].split(QLatin1Char('\t'));
                QCOMPARE(event.size(), 4);
                untouched.remove(event[3]);
                QVERIFY(phone({random.bounded(2) ? QStringLiteral("delete ") + event[0]
                                                 : QStringLiteral("edit %1 %2").arg(event[0], fresh())}) !=
                        "<failed>");
                break;
            }
            default:
                syncFile(which);
                break;
            }
        }
        for (int round = 0; round < 3; ++round) {
            syncFile(0);
            syncFile(1);
        }
        const QStringList onServer = serverItems();
        QCOMPARE(fileItems(files[0]), onServer);
        QCOMPARE(fileItems(files[1]), onServer);
        QCOMPARE(phoneItems(), onServer);
        QSet<QString> contents;
        for (const QString& item : onServer) {
            const QString content = item.section(QLatin1Char(' '), 1);
            QVERIFY2(!contents.contains(content), qPrintable(item));
            contents.insert(content);
        }
        for (const QString& content : std::as_const(untouched))
            QVERIFY2(contents.contains(content), qPrintable(content));
        QVERIFY(onServer.size() > 12);
        // The run went through conflicts.
        QVERIFY(conflicts > 0);
    }

    // A first sync of a few hundred items with the server killed while the writes run: the file
    // keeps every item, and the next sync (the server back on the same storage) finishes the
    // work without doubling any; a second file then receives exactly those items.
    void serverKilledDuringSync() {
        testsupport::Radicale mortal;
        const QString storage = folder.filePath(QStringLiteral("mortal"));
        QVERIFY(QDir().mkpath(storage));
        QVERIFY(mortal.start(storage, {{kUser, kPassword}}));
        newCalendar(mortal);
        const QString file = env->makeScheduleFile(QStringLiteral("a.sdb"));
        QList<testrows::DayRow> rows;
        for (int i = 0; i < 300; ++i)
            rows.append({store::dateString(QDate(2026, 1, 1).addDays(i / 2)), double(i % 2 + 1), QVariant(),
                         QStringLiteral("予定%1").arg(i)});
        testrows::addDays(file, rows);
        const QStringList items = fileItems(file);
        QCOMPARE(items.size(), 300);

        const SyncReport cut =
            sync(file, [this, &mortal] { QTimer::singleShot(150, this, [&mortal] { mortal.kill(); }); });
        QVERIFY2(!cut.ok(), "the kill came after the last write; nothing was tested");
        QCOMPARE(fileItems(file), items);
        QTRY_COMPARE_WITH_TIMEOUT(mortal.helper.process.state(), QProcess::NotRunning, 10000);
        QVERIFY(mortal.start(storage, {{kUser, kPassword}}));
        const SyncReport finished = sync(file);
        QVERIFY2(finished.ok(), qPrintable(finished.failure));
        QCOMPARE(fileItems(file), items);
        QCOMPARE(serverItems(), items);
        const QString other = env->makeScheduleFile(QStringLiteral("b.sdb"));
        QVERIFY(sync(other).ok());
        QCOMPARE(fileItems(other), items);
    }
};

QTEST_GUILESS_MAIN(TestSyncRadicale)
#include "test_sync_radicale.moc"
