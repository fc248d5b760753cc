#include "alarm/DesktopNotifier.h"

#include "alarm/AlarmRule.h"
#include "platform/Paths.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <utility>

namespace alarms {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notification itself invokes.
const QString kDefaultAction = QStringLiteral("default");

// Urgency hint values of the notification protocol.
constexpr uchar kNormalUrgency = 1;
constexpr uchar kCriticalUrgency = 2;

// How long closing a notification at the end may wait for the service.
constexpr int kCloseAtEndMs = 300;
// The ledger is the program's own, in a private folder; a larger one is not read.
constexpr qint64 kLedgerBytes = 256 * 1024;
constexpr qsizetype kLedgerEntries = 1000;

QString itemKey(const DueAlarm& item) {
    return item.file + QLatin1Char('\n') + item.date + QLatin1Char('\n') + QString::number(item.slot) +
           QLatin1Char('\n') + item.timeText;
}

} // namespace

DesktopNotifier::DesktopNotifier(std::function<void()> bringForward, QObject* parent)
    : QObject(parent), bringForward_(std::move(bringForward)) {
    setLedgerPath(defaultLedgerPath());
}

DesktopNotifier::~DesktopNotifier() {
    for (auto it = ids_.cbegin(); it != ids_.cend(); ++it)
        close(it.key(), true);
    ids_.clear();
    closeLeftovers(std::exchange(leftovers_, {}), true);
    writeLedger();
}

QString DesktopNotifier::defaultLedgerPath() {
    const QString folder = platform::privateRuntimeFolder();
    return folder.isEmpty() ? QString()
                            : platform::joinPath(folder, QStringLiteral("daduvov-notifications.json"));
}

void DesktopNotifier::setLedgerPath(const QString& path) {
    ledgerPath_ = path;
    readLedger();
}

void DesktopNotifier::readLedger() {
    leftovers_.clear();
    QFile file(ledgerPath_);
    if (ledgerPath_.isEmpty() || file.size() > kLedgerBytes || !file.open(QIODevice::ReadOnly))
        return;
    const QJsonArray entries = QJsonDocument::fromJson(file.read(kLedgerBytes)).array();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const qint64 id = entry.value(QStringLiteral("id")).toInteger(-1);
        if (leftovers_.size() < kLedgerEntries && id >= 0 && id <= 0xFFFFFFFFLL)
            leftovers_.append({entry.value(QStringLiteral("owner")).toString(), static_cast<uint>(id),
                               entry.value(QStringLiteral("key")).toString()});
    }
}

void DesktopNotifier::writeLedger() const {
    if (ledgerPath_.isEmpty())
        return;
    QJsonArray entries;
    auto add = [&entries](const QString& owner, uint id, const QString& key) {
        entries.append(QJsonObject{{QStringLiteral("owner"), owner},
                                   {QStringLiteral("id"), static_cast<qint64>(id)},
                                   {QStringLiteral("key"), key}});
    };
    for (const Shown& left : leftovers_)
        add(left.owner, left.id, left.key);
    for (auto it = ids_.cbegin(); it != ids_.cend(); ++it)
        add(owner_, it.key(), it.value());
    if (entries.isEmpty()) {
        QFile::remove(ledgerPath_);
        return;
    }
    // A ledger that cannot be written only means a crash would leave these on the desktop.
    QSaveFile file(ledgerPath_);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(QJsonDocument(entries).toJson(QJsonDocument::Compact)) >= 0)
        file.commit();
}

void DesktopNotifier::closeLeftovers(const QList<Shown>& leftovers, bool wait) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (leftovers.isEmpty() || !bus.isConnected())
        return;
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"))
        << kService;
    auto closeOwned = [this, leftovers, wait](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return;
        const QString owner = reply.arguments().constFirst().toString();
        for (const Shown& left : leftovers)
            if (left.owner == owner)
                close(left.id, wait);
    };
    if (wait) {
        closeOwned(bus.call(ask, QDBus::Block, kCloseAtEndMs));
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [closeOwned](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        closeOwned(call->reply());
    });
}

void DesktopNotifier::withdraw(const DueAlarm& item) {
    const QString key = itemKey(item);
    for (qsizetype i = 0; i < pending_.size(); ++i) {
        if (itemKey(pending_[i]) == key) {
            pending_.removeAt(i); // never sent
            return;
        }
    }
    for (auto it = ids_.cbegin(); it != ids_.cend(); ++it) {
        if (it.value() == key) {
            const uint id = it.key();
            ids_.erase(it);
            close(id, false);
            writeLedger();
            return;
        }
    }
    QList<Shown> earlier;
    for (qsizetype i = leftovers_.size() - 1; i >= 0; --i)
        if (leftovers_[i].key == key)
            earlier << leftovers_.takeAt(i);
    if (!earlier.isEmpty()) {
        closeLeftovers(earlier, false);
        writeLedger();
        return;
    }
    if (capabilities_)
        withdrawn_.insert(key); // its Notify is on its way: closed as soon as its id comes
}

void DesktopNotifier::close(uint id, bool wait) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    call << id;
    // At the end the call must leave before the program does; otherwise nothing waits for it.
    if (wait)
        bus.call(call, QDBus::Block, kCloseAtEndMs);
    else
        bus.asyncCall(call);
}

void DesktopNotifier::notificationClosed(uint id, uint reason) {
    Q_UNUSED(reason);
    if (ids_.remove(id))
        writeLedger();
}

QVariantList DesktopNotifier::notifyArguments(const DueAlarm& item, bool markup) {
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(item.level == 1 || item.level == 2 ? kCriticalUrgency : kNormalUrgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("daduvov"));
    hints.insert(QStringLiteral("category"), QStringLiteral("x-daduvov.alarm"));
    // A service that reads markup would take "<" or "&" in the content as tags or entities.
    const QString body = markup ? item.content.toHtmlEscaped() : item.content;
    return {QStringLiteral("Daduvov"),
            0u,
            QStringLiteral("daduvov"),
            QStringLiteral("Daduvov アラーム ") + clockText(item.timeText),
            body,
            QStringList{kDefaultAction, QStringLiteral("カレンダーを表示")},
            hints,
            -1};
}

bool DesktopNotifier::notify(const DueAlarm& item) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!listening_) {
        listening_ = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                 SLOT(actionInvoked(uint, QString))) &&
                     bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                                 SLOT(notificationClosed(uint, uint)));
    }
    if (capabilities_) {
        send(item);
        return true;
    }
    pending_ << item;
    if (askingCapabilities_)
        return true;
    askingCapabilities_ = true;
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        askingCapabilities_ = false;
        const QDBusPendingReply<QStringList> reply = *call;
        const QList<DueAlarm> waiting = std::exchange(pending_, {});
        if (reply.isError())
            return; // no service: nothing is shown, and the next alarm asks again
        capabilities_ = reply.value();
        for (const DueAlarm& item : waiting)
            send(item);
    });
    return true;
}

void DesktopNotifier::send(const DueAlarm& item) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call.setArguments(notifyArguments(item, capabilities_->contains(QStringLiteral("body-markup"))));
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key = itemKey(item)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> id = *w;
                if (!id.isError()) {
                    if (withdrawn_.remove(key)) {
                        close(id.value(), false);
                    } else {
                        owner_ = w->reply().service();
                        ids_.insert(id.value(), key);
                        writeLedger();
                    }
                    Q_EMIT shown(id.value());
                } else {
                    capabilities_.reset(); // the service went away: ask again next time
                }
            });
}

void DesktopNotifier::actionInvoked(uint id, const QString& actionKey) {
    Q_UNUSED(actionKey);
    if (ids_.contains(id) && bringForward_)
        bringForward_();
}

} // namespace alarms
