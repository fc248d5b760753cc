// The desktop notification of a ringing alarm: recorded by a fake notification service on a private
// session bus, and, run a second time with no session bus at all, skipped without delaying the box.

#include <QtTest>

#include "alarm/AlarmHooks.h"
#include "alarm/AlarmItems.h"
#include "alarm/DesktopNotifier.h"
#include "support/HelperProcess.h"
#include "support/WindowFixture.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <memory>

using namespace alarmtest;

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

bool noBus() {
    return qEnvironmentVariableIsSet("DADUVOV_TEST_NO_BUS");
}

} // namespace

// Answers Notify and GetCapabilities as a desktop's notification service does, recording each
// notification.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    struct Shown {
        QString summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Shown> shown;
    QList<uint> closed;
    QStringList capabilities;

  public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int) {
        shown.append({summary, body, actions, hints});
        return static_cast<uint>(shown.size()) + 40;
    }
    void CloseNotification(uint id) { closed << id; }
};

class TestAlarmNotify : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void notification_data();
    void notification();
    void actionBringsCalendarForward();
    void notificationWithdrawn_data();
    void notificationWithdrawn();
    void leftByAnEarlierRun_data();
    void leftByAnEarlierRun();
    void noBusAtAll();

  private:
    // One alarm rung through the main window's tick hook with the fake clock and message boxes.
    void ringOne(const QString& item, const std::function<void()>& whileOpen = {});

    testsupport::HelperProcess bus;
    std::unique_ptr<QDBusConnection> serviceBus;
    std::unique_ptr<FakeNotifications> service;
    std::unique_ptr<testsupport::WindowFixture> f;
    alarms::AlarmHooks hooks;
};

void TestAlarmNotify::initTestCase() {
    if (noBus()) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/daduvov-test-bus");
        return;
    }
    QVERIFY2(bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"},
                       [this] { return bus.process.canReadLine(); }),
             "dbus-daemon (package dbus) is needed");
    const QString busAddress = QString::fromUtf8(bus.process.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    serviceBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(busAddress, "service"));
    QVERIFY(serviceBus->isConnected());
    service = std::make_unique<FakeNotifications>();
    QVERIFY(serviceBus->registerObject(kPath, service.get(), QDBusConnection::ExportAllSlots));
    QVERIFY(serviceBus->registerService(kInterface));
}

void TestAlarmNotify::cleanupTestCase() {
    if (serviceBus)
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    bus.stop();
}

void TestAlarmNotify::init() {
    f = std::make_unique<testsupport::WindowFixture>();
    if (service) {
        service->shown.clear();
        service->closed.clear();
        service->capabilities = QStringList{"body", "actions"};
    }
}

void TestAlarmNotify::cleanup() {
    hooks = {};
    f.reset();
    // The calls of this case reach the service before the next case clears what it recorded.
    if (service)
        QTest::qWait(200);
}

void TestAlarmNotify::ringOne(const QString& item, const std::function<void()>& whileOpen) {
    putItems(f->file, {item});
    // The box stays open until the notification is on the desktop.
    f->platform.onMessage = [this, whileOpen](const auto&) {
        QVERIFY(!service || QTest::qWaitFor([this] { return !service->shown.isEmpty(); }));
        if (whileOpen)
            whileOpen();
    };
    hooks = alarms::alarmHooks();
    hooks.tick(f->host);
    QTRY_COMPARE(f->platform.messages.size(), 1);
}

void TestAlarmNotify::notification_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("urgency");
    QTest::newRow("level 1 is critical")
        << "0|1|0930|True|会議 <A&B>|1" << QStringList{"body"} << "会議 <A&B>" << 2;
    QTest::newRow("level 2 is critical") << "0|2|0930|True|薬|2" << QStringList{"body"} << "薬" << 2;
    QTest::newRow("level 3 is normal") << "0|3|0930|True|電話|3" << QStringList{"body"} << "電話" << 1;
    QTest::newRow("no level is normal") << "0|4|0930|True|散歩" << QStringList{"body"} << "散歩" << 1;
    QTest::newRow("a service reading markup gets the text escaped")
        << "0|1|0930|True|<b>太字</b> & 印" << QStringList{"body", "body-markup"}
        << "&lt;b&gt;太字&lt;/b&gt; &amp; 印" << 1;
}

void TestAlarmNotify::notification() {
    if (noBus())
        QSKIP("runs with the private session bus");
    QFETCH(QString, item);
    QFETCH(QStringList, capabilities);
    QFETCH(QString, body);
    QFETCH(int, urgency);
    service->capabilities = capabilities;
    ringOne(item);
    QTRY_COMPARE(service->shown.size(), 1);
    const FakeNotifications::Shown& shown = service->shown.constFirst();
    QCOMPARE(shown.summary, QStringLiteral("Daduvov アラーム 09:30"));
    QCOMPARE(shown.body, body);
    QCOMPARE(shown.hints.value(QStringLiteral("urgency")).toInt(), urgency);
    QCOMPARE(shown.actions.size(), 2);
    QCOMPARE(shown.actions.constFirst(), QStringLiteral("default"));
}

// Picking the notification brings the hidden calendar forward; an action of another program's
// notification does not.
void TestAlarmNotify::actionBringsCalendarForward() {
    if (noBus())
        QSKIP("runs with the private session bus");
    const auto invoke = [this](uint id) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        QVERIFY(serviceBus->send(signal));
    };
    ringOne(QStringLiteral("0|1|0930|True|会議"), [&] {
        invoke(7);
        QTest::qWait(200);
        QVERIFY(!f->host.window.isVisible());
        invoke(41);
        QTRY_VERIFY(f->host.window.isVisible());
    });
}

void TestAlarmNotify::notificationWithdrawn_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QList<uint>>("closed");
    QTest::newRow("its box was answered") << "box" << QList<uint>{41};
    QTest::newRow("the program ends") << "end" << QList<uint>{41};
    QTest::newRow("the user dismissed it first") << "dismissed" << QList<uint>{};
}

// An alarm's notification goes away with its box, or when the program ends; one the user dismissed
// is not closed again (nor taken for an answer).
void TestAlarmNotify::notificationWithdrawn() {
    if (noBus())
        QSKIP("runs with the private session bus");
    QFETCH(QString, how);
    QFETCH(QList<uint>, closed);
    if (how == QLatin1String("box")) {
        ringOne(QStringLiteral("0|1|0930|True|会議|1"));
    } else {
        auto notifier = std::make_unique<alarms::DesktopNotifier>(std::function<void()>{});
        QVERIFY(notifier->notify({f->file, QStringLiteral("2026/3/5"), 1, "0930", "会議", 1}));
        QSignalSpy shown(notifier.get(), &alarms::DesktopNotifier::shown);
        QVERIFY(shown.wait(5000));
        if (how == QLatin1String("dismissed")) {
            QDBusMessage signal =
                QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("NotificationClosed"));
            signal << 41u << 2u;
            QVERIFY(serviceBus->send(signal));
            QTest::qWait(200);
        }
        notifier.reset();
    }
    QTest::qWait(200);
    QCOMPARE(service->closed, closed);
}

void TestAlarmNotify::leftByAnEarlierRun_data() {
    QTest::addColumn<bool>("sameService");
    QTest::addColumn<QList<uint>>("closed");
    QTest::newRow("closed when its item is disarmed") << true << QList<uint>{41};
    // A service started since gives the id to another program's notification.
    QTest::newRow("another service: left alone") << false << QList<uint>{};
}

// A run that ended without withdrawing its notification (killed) leaves it listed; the next run
// withdraws it when the missed-alarm list disarms its item.
void TestAlarmNotify::leftByAnEarlierRun() {
    if (noBus())
        QSKIP("runs with the private session bus");
    QFETCH(bool, sameService);
    QFETCH(QList<uint>, closed);
    const alarms::DueAlarm item{f->file, QStringLiteral("2026/3/5"), 1, "0930", "会議", 1};
    const QString ledger = alarms::DesktopNotifier::defaultLedgerPath();
    QVERIFY(!ledger.isEmpty());
    QByteArray left;
    {
        alarms::DesktopNotifier earlier({});
        QSignalSpy shown(&earlier, &alarms::DesktopNotifier::shown);
        QVERIFY(earlier.notify(item));
        QVERIFY(shown.wait(5000));
        QFile file(ledger);
        QVERIFY(file.open(QIODevice::ReadOnly));
        left = file.readAll();
    } // ends as a killed run would not: put its list back afterwards
    QTest::qWait(200);
    service->closed.clear();
    if (!sameService)
        left.replace(serviceBus->baseService().toUtf8(), ":1.9999");
    QFile file(ledger);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(left) == left.size());
    file.close();

    alarms::DesktopNotifier next({});
    next.withdraw({item.file, item.date, item.slot, item.timeText, QString(), 0});
    QTest::qWait(300);
    QCOMPARE(service->closed, closed);
}

// Without a session bus the box still shows at once, and nothing is sent.
void TestAlarmNotify::noBusAtAll() {
    if (!noBus())
        QSKIP("runs with DADUVOV_TEST_NO_BUS set");
    ringOne(QStringLiteral("0|1|0930|True|会議|1"));
    alarms::DesktopNotifier notifier({});
    QVERIFY(!notifier.notify({f->file, QStringLiteral("2026/3/5"), 1, "0930", "会議", 1}));
}

QTEST_MAIN(TestAlarmNotify)
#include "test_alarm_notify.moc"
