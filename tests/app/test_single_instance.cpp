// One program per program folder: a second start hands over to the first (with the file it was
// given), a socket left behind by a crashed program does not block the next start, other folders
// are independent.

#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QSignalSpy>
#include <QUuid>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using app::SingleInstance;

class TestSingleInstance : public QObject {
    Q_OBJECT

    static QString uniqueKey() { return QStringLiteral("/tmp/folder-") + QUuid::createUuid().toString(); }

  private Q_SLOTS:
    void secondStartHandsOver() {
        const QString key = uniqueKey();
        SingleInstance first(key);
        QCOMPARE(first.start(), SingleInstance::Start::First);
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        SingleInstance second(key);
        QCOMPARE(second.start(), SingleInstance::Start::AlreadyRunning);
        QVERIFY(activated.wait(2000));
    }

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

    void otherFoldersAreIndependent() {
        SingleInstance a(uniqueKey());
        SingleInstance b(uniqueKey());
        QCOMPARE(a.start(), SingleInstance::Start::First);
        QCOMPARE(b.start(), SingleInstance::Start::First);
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
