// The sync account file: kept apart from the Schedule file, keyed by the file's canonical path,
// and a file that cannot be read is a failure, never "no account".

#include "sync/Account.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace calsync;

class TestSyncAccount : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    QString schedule() const { return folder.filePath(QStringLiteral("schedules/a.SDB")); }

  private slots:
    void initTestCase() {
        QVERIFY(folder.isValid());
        qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toUtf8());
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("schedules"))));
        QFile file(schedule());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void init() { QFile::remove(accountsFile()); }

    void storedAndFoundThroughAnotherPath() {
        QVERIFY(readAccount(schedule()).failure.isEmpty());
        QVERIFY(!readAccount(schedule()).account);
        Account account;
        account.schedule = scheduleKey(schedule());
        account.server = QStringLiteral("https://example.com/");
        account.user = QStringLiteral("alice");
        account.collection = QStringLiteral("https://example.com/alice/cal/");
        account.calendarName = QStringLiteral("仕事");
        account.takesTodos = true;
        account.pinnedFingerprint = QStringLiteral("AB:CD");
        QCOMPARE(saveAccount(account), QString());
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther;
        QVERIFY((QFile::permissions(accountsFile()) & others) == 0);

        // The same file named through a link and a detour is the same account.
        const QString link = folder.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("schedules")), link));
        const AccountRead read = readAccount(link + QStringLiteral("/../schedules/a.SDB"));
        QVERIFY(read.failure.isEmpty());
        QVERIFY(read.account);
        QCOMPARE(read.account->collection, account.collection);
        QCOMPARE(read.account->calendarName, account.calendarName);
        QVERIFY(read.account->takesTodos);
        QCOMPARE(read.account->pinnedFingerprint, account.pinnedFingerprint);
        QVERIFY(!readAccount(folder.filePath(QStringLiteral("other.SDB"))).account);
    }

    void unreadableFileIsAFailure_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not JSON") << QByteArray("{\"accounts\": {");
        QTest::newRow("not an object") << QByteArray("[1, 2]");
        QTest::newRow("too large") << QByteArray(2 * 1024 * 1024, ' ');
    }

    void unreadableFileIsAFailure() {
        QFETCH(QByteArray, bytes);
        QVERIFY(QDir().mkpath(accountFolder()));
        QFile file(accountsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const AccountRead read = readAccount(schedule());
        QVERIFY(!read.account);
        QVERIFY(!read.failure.isEmpty());
        // Nor is a broken file replaced, losing the other accounts in it.
        Account account;
        account.schedule = scheduleKey(schedule());
        account.user = QStringLiteral("alice");
        account.collection = QStringLiteral("https://example.com/c/");
        QVERIFY(!saveAccount(account).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSyncAccount)
#include "test_sync_account.moc"
