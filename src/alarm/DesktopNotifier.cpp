#include "alarm/DesktopNotifier.h"

#include "alarm/AlarmRule.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
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

} // namespace

DesktopNotifier::DesktopNotifier(std::function<void()> bringForward, QObject* parent)
    : QObject(parent), bringForward_(std::move(bringForward)) {}

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
                                 SLOT(actionInvoked(uint, QString)));
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
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> id = *w;
        if (!id.isError()) {
            ids_.insert(id.value());
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
