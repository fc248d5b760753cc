#include "alarm/MissedAlarmsWindow.h"

#include "alarm/AlarmRule.h"
#include "alarm/MissedAlarms.h"
#include "controls/Accessible.h"
#include "platform/Colors.h"
#include "platform/Services.h"
#include "shell/Host.h"
#include "store/ItemRules.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace alarms {

MissedAlarmsWindow::MissedAlarmsWindow(const std::vector<store::ArmedItem>& shown, int more,
                                       const settings::Settings& settings, const QString& readOnlyReason,
                                       QWidget* parent)
    : QDialog(parent), lines_(new QListWidget(this)), hint_(new QLabel(this)) {
    setObjectName(QStringLiteral("MissedAlarms"));
    setWindowTitle(QStringLiteral("見逃したアラーム"));
    lines_->setObjectName(QStringLiteral("missedLines"));
    lines_->setAccessibleName(QStringLiteral("見逃したアラームの一覧"));
    lines_->setSelectionMode(QAbstractItemView::NoSelection);
    // Reached with Tab, so that the lines can be read and scrolled from the keyboard; the focus
    // starts on the default button.
    lines_->setFocusPolicy(Qt::TabFocus);
    for (const store::ArmedItem& item : shown) {
        // List items show their text as plain text.
        auto* line = new QListWidgetItem(
            whenText(item.date, item.timeText) + QStringLiteral("  ") + item.content, lines_);
        line->setForeground(controls::textColourOnWhite(settings.levelColor(item.level)));
        // The level's colour on white whatever the theme; the level is also spoken.
        line->setBackground(QColor(Qt::white));
        line->setData(Qt::AccessibleTextRole, line->text() + QLatin1Char(' ') +
                                                  (item.level > 0 ? QStringLiteral("レベル%1").arg(item.level)
                                                                  : QStringLiteral("レベルなし")));
    }
    if (more > 0)
        new QListWidgetItem(QStringLiteral("他 %1 件").arg(more), lines_);

    hint_->setObjectName(QStringLiteral("missedHint"));
    hint_->setTextFormat(Qt::PlainText);
    hint_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    if (readOnlyReason.isEmpty()) {
        hint_->setText(
            QStringLiteral("OK: アラームを解除します　後で: 次に起動したときにもう一度お知らせします"));
        okButton_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        laterButton_ = buttons->addButton(QStringLiteral("後で"), QDialogButtonBox::RejectRole);
        okButton_->setDefault(true);
    } else {
        hint_->setText(
            QStringLiteral(
                "このスケジュールファイルは読み取り専用のため、ここではアラームを解除できません。\n") +
            readOnlyReason);
        laterButton_ = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
        laterButton_->setDefault(true);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lines_);
    layout->addWidget(hint_);
    layout->addWidget(buttons);
    resize(480, 320);
    (okButton_ ? okButton_ : laterButton_)->setFocus();
}

void MissedAlarmsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QWidget* calendar = parentWidget() ? parentWidget()->window() : nullptr;
    if (!calendar)
        return;
    // At start-up the list may come before the calendar is on screen: its place is known already,
    // its window manager's frame (and this window's own) not yet, so room is left for both.
    constexpr int kUnknownFrames = 8;
    const QRect beside = calendar->isVisible()
                             ? calendar->frameGeometry()
                             : calendar->geometry().adjusted(-kUnknownFrames, 0, kUnknownFrames, 0);
    const QScreen* screen = calendar->screen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    const QSize size = frameGeometry().size();
    QPoint at(beside.right() + 1, beside.top());
    if (room.isValid() && at.x() + size.width() > room.right() + 1)
        at.setX(beside.left() - size.width()); // no room on the right: on the left
    if (room.isValid()) {
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
    }
    move(at);
}

void showMissedAlarms(shell::Host& host, const QDateTime& minute,
                      const std::function<void(const DueAlarm&)>& disarmed) {
    const QString file = host.settings().scheduleFile;
    if (file.isEmpty())
        return;
    store::DayStore days(file);
    store::Result<std::vector<store::ArmedItem>> found = missedAlarms(days, minute);
    // A file that cannot be opened is reported by the calendar; any other failure to read would
    // pass for "no alarm was missed".
    if (!found.ok()) {
        if (!found.error().fileUnusable())
            platform::message(QStringLiteral("見逃したアラームを確認できませんでした。\r\n") +
                                  store::describe(found.error()),
                              platform::kAppTitle, platform::Icon::Exclamation, platform::Buttons::Ok);
        return;
    }
    std::vector<store::ArmedItem>& missed = found.value();
    if (missed.empty())
        return;
    const int more = std::max(0, static_cast<int>(missed.size()) - kMissedAlarmLines);
    missed.resize(std::min<size_t>(missed.size(), kMissedAlarmLines));

    MissedAlarmsWindow window(missed, more, host.settings(), days.readOnlyReason(), host.mainWindow());
    if (window.exec() != QDialog::Accepted)
        return;
    for (const store::ArmedItem& item : missed) {
        if (const store::Error failure = days.disarm(store::dateOfString(item.date), item.slot);
            failure.failed()) {
            platform::message(QStringLiteral("アラームを解除できませんでした。\r\n") +
                                  store::describe(failure),
                              platform::kAppTitle, platform::Icon::Critical, platform::Buttons::Ok);
            return;
        }
        if (disarmed)
            disarmed({file, item.date, item.slot, item.timeText, item.content, item.level});
    }
}

} // namespace alarms
