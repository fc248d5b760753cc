#pragma once
// The desktop notification of an alarm, sent to the freedesktop notification service
// (org.freedesktop.Notifications) on the session bus. Every call is asynchronous: without a
// session bus or without a notification service nothing happens and nothing waits.

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

    // Sends the notification of a ringing item. False when there is no session bus to send it on.
    bool notify(const DueAlarm& item);
    // Withdraws the notification of an item whose box has ended, also one still on its way to the
    // service.
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
    void send(const DueAlarm& item);
    void close(uint id, bool wait);

    std::function<void()> bringForward_;
    bool listening_ = false;
    // The service's capabilities once asked; calls made before the answer wait in `pending_`.
    std::optional<QStringList> capabilities_;
    bool askingCapabilities_ = false;
    QList<DueAlarm> pending_;
    QHash<uint, QString> ids_; // notifications on the desktop: id -> item key
    QSet<QString> withdrawn_;  // items withdrawn before the service answered with their id
};

} // namespace alarms
