// One program per program folder: a second start hands over to the first (with the file it was
// given), a socket left behind by a crashed program does not block the next start, other folders
// are independent.

#include "app/SingleInstance.h"
#include "support/RealDialogs.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using app::SingleInstance;

class TestSingleInstance : public QObject {
    Q_OBJECT

    static QString uniqueKey() { return QStringLiteral("/tmp/folder-") + QUuid::createUuid().toString(); }

  private Q_SLOTS:
    void secondStartHandsOverItsFile() {
        const QString key = uniqueKey();
        SingleInstance first(key);
        QCOMPARE(first.start(), SingleInstance::Start::First);
        QSignalSpy opened(&first, &SingleInstance::fileOpenRequested);
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        // Characters that must survive the trip: Japanese, a space, a line break, a colon.
        const QString file = QStringLiteral("/tmp/予定 表\n:2026.SDB");
        SingleInstance second(key);
        QCOMPARE(second.start(file), SingleInstance::Start::AlreadyRunning);
        QVERIFY(activated.wait(2000));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toString(), file);
    }

    // The running program asks about the handed-over file in a real message box; the later start
    // hangs up while the box is open, and its event loop must not free the connection under the
    // reader. A client sending no line's end is cut off.
    void handOverAnsweredInARealBox() {
        const QString key = uniqueKey();
        SingleInstance first(key);
        QCOMPARE(first.start(), SingleInstance::Start::First);
        testsupport::RealDialogs real;
        QStringList asked;
        connect(&first, &SingleInstance::fileOpenRequested, this, [&](const QString& file) {
            testsupport::whenDialogShown([](QWidget* box) {
                QTimer::singleShot(300, box,
                                   [box] { testsupport::buttonTitled(box, QStringLiteral("OK"))->click(); });
            });
            platform::message(QStringLiteral("新規に%1を作成します").arg(file));
            asked << file;
        });
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        SingleInstance second(key);
        QCOMPARE(second.start(QStringLiteral("/tmp/新しい.SDB")), SingleInstance::Start::AlreadyRunning);
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(asked, QStringList{QStringLiteral("/tmp/新しい.SDB")});

        QLocalSocket flood;
        flood.connectToServer(SingleInstance::serverName(key));
        QVERIFY(flood.waitForConnected(2000));
        flood.write(QByteArray(1 << 20, 'x'));
        QTRY_COMPARE(flood.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(activated.size(), 1);
    }

    void otherFoldersAreIndependent() {
        SingleInstance a(uniqueKey());
        SingleInstance b(uniqueKey());
        QCOMPARE(a.start(), SingleInstance::Start::First);
        QCOMPARE(b.start(), SingleInstance::Start::First);
    }

    void socketInPrivateFolder_data() {
        QTest::addColumn<int>("runtimeMode"); // of $XDG_RUNTIME_DIR; 0: unset
        QTest::newRow("private runtime folder") << 0700;
        QTest::newRow("runtime folder open to all") << 0777;
        QTest::newRow("no runtime folder") << 0;
    }

    // Another user listening first at a shared place must not end this program's start.
    void socketInPrivateFolder() {
        QFETCH(int, runtimeMode);
        QTemporaryDir runtime;
        QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), static_cast<mode_t>(runtimeMode)) ==
                    0 ||
                runtimeMode == 0);
        const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
        if (runtimeMode)
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        else
            qunsetenv("XDG_RUNTIME_DIR");
        const QString key = uniqueKey();
        const QString name = SingleInstance::serverName(key);
        QLocalServer squatters[2];
        for (QLocalServer& squatter : squatters)
            squatter.setSocketOptions(QLocalServer::WorldAccessOption);
        QVERIFY(squatters[0].listen(QDir::tempPath() + QLatin1Char('/') + QFileInfo(name).fileName()));
        if (runtimeMode != 0700)
            QVERIFY(squatters[1].listen(runtime.path() + QLatin1Char('/') + QFileInfo(name).fileName()));

        SingleInstance instance(key);
        const SingleInstance::Start started = instance.start();
        qputenv("XDG_RUNTIME_DIR", previous);
        QCOMPARE(started, SingleInstance::Start::First);
        QCOMPARE(QFileInfo(name).absolutePath() == runtime.path(), runtimeMode == 0700);
        struct stat folder {};
        QCOMPARE(::stat(QFile::encodeName(QFileInfo(name).absolutePath()).constData(), &folder), 0);
        QCOMPARE(folder.st_uid, ::getuid());
        QCOMPARE(folder.st_mode & 0077, 0u);
    }

    void staleSocketIsTakenOver() {
        const QString key = uniqueKey();
        QString path;
        {
            QLocalServer probe;
            QVERIFY(probe.listen(SingleInstance::serverName(key)));
            path = probe.fullServerName();
        }
        // A socket file nobody listens on, as a crashed program leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray native = path.toLocal8Bit();
        QVERIFY(static_cast<size_t>(native.size()) < sizeof(addr.sun_path));
        std::copy(native.begin(), native.end(), addr.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        ::close(fd);
        QVERIFY(QFile::exists(path));

        SingleInstance next(key);
        QCOMPARE(next.start(), SingleInstance::Start::First);
        SingleInstance later(key);
        QCOMPARE(later.start(), SingleInstance::Start::AlreadyRunning);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
