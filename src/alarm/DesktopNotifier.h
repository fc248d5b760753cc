#pragma once
// The desktop notification of an alarm, sent to the freedesktop notification service
// (org.freedesktop.Notifications) on the session bus. Every call is asynchronous: without a
// session bus or without a notification service nothing happens and nothing waits.
//
// The notifications on the desktop are also listed in the user's runtime folder, with the bus
// name of the service that showed them. A program that ended without withdrawing its notifications
// (killed, crashed) leaves them there, and the next start withdraws each when its item is disarmed
// or at its own end, provided the same service still runs (another one would give the ids to
// notifications of other programs).

#include "alarm/AlarmCheck.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

namespace alarms {

class DesktopNotifier : public QObject {
    Q_OBJECT
  public:
    // `bringForward` runs when the user picks the notification's action.
    explicit DesktopNotifier(std::function<void()> bringForward, QObject* parent = nullptr);
    // Withdraws every notification still on the desktop: an alarm of a program that has ended
    // can no longer be answered.
    ~DesktopNotifier() override;

    // The list of notifications on the desktop, by default in the private runtime folder; none when
    // `path` is empty.
    static QString defaultLedgerPath();
    void setLedgerPath(const QString& path);

    // Sends the notification of a ringing item. False when there is no session bus to send it on.
    bool notify(const DueAlarm& item);
    // Withdraws the notification of an item whose box has ended, also one still on its way to the
    // service, or one an earlier run of the program left on the desktop.
    void withdraw(const DueAlarm& item);

    // The arguments of the Notify call; `markup` when the service reads the body as markup.
    static QVariantList notifyArguments(const DueAlarm& item, bool markup);

  Q_SIGNALS:
    // The service answered a Notify call with this id (for tests and diagnostics).
    void shown(uint id);

  private Q_SLOTS:
    void actionInvoked(uint id, const QString& actionKey);
    // The service closed a notification (the user dismissed it, it expired): it is no longer
    // ours to withdraw, and its box stays open.
    void notificationClosed(uint id, uint reason);

  private:
    // A notification shown by the service with bus name `owner`.
    struct Shown {
        QString owner;
        uint id = 0;
        QString key;
    };
    void send(const DueAlarm& item);
    void close(uint id, bool wait);
    // Closes the notifications an earlier run left, if the service that showed them still runs.
    void closeLeftovers(const QList<Shown>& leftovers, bool wait);
    void readLedger();
    void writeLedger() const;

    std::function<void()> bringForward_;
    bool listening_ = false;
    // The service's capabilities once asked; calls made before the answer wait in `pending_`.
    std::optional<QStringList> capabilities_;
    bool askingCapabilities_ = false;
    QList<DueAlarm> pending_;
    QHash<uint, QString> ids_; // notifications on the desktop: id -> item key
    QSet<QString> withdrawn_;  // items withdrawn before the service answered with their id
    QString owner_;            // the bus name of the service that showed ours
    QString ledgerPath_;
    QList<Shown> leftovers_; // shown by an earlier run and not withdrawn
};

} // namespace alarms
