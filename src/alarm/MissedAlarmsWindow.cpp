#include "alarm/MissedAlarmsWindow.h"

#include "alarm/AlarmRule.h"
#include "alarm/MissedAlarms.h"
#include "calendar/MainHost.h"
#include "platform/Colors.h"
#include "platform/Services.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace alarms {

MissedAlarmsWindow::MissedAlarmsWindow(const std::vector<store::ArmedItem>& shown, int more,
                                       const settings::Settings& settings, QWidget* parent)
    : QDialog(parent), lines_(new QListWidget(this)) {
    setObjectName(QStringLiteral("MissedAlarms"));
    setWindowTitle(QStringLiteral("見逃したアラーム"));
    lines_->setObjectName(QStringLiteral("missedLines"));
    lines_->setSelectionMode(QAbstractItemView::NoSelection);
    lines_->setFocusPolicy(Qt::NoFocus);
    for (const store::ArmedItem& item : shown) {
        // List items show their text as plain text.
        auto* line = new QListWidgetItem(
            whenText(item.date, item.timeText) + QStringLiteral("  ") + item.content, lines_);
        line->setForeground(platform::toQColor(settings.levelColor(item.level)));
    }
    if (more > 0)
        new QListWidgetItem(QStringLiteral("他 %1 件").arg(more), lines_);

    auto* buttons = new QDialogButtonBox(this);
    okButton_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    laterButton_ = buttons->addButton(QStringLiteral("後で"), QDialogButtonBox::RejectRole);
    okButton_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lines_);
    layout->addWidget(buttons);
    resize(480, 320);
}

void showMissedAlarms(calendar::MainHost& host, const QDateTime& minute) {
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

    MissedAlarmsWindow window(missed, more, host.settings(), host.mainWindow());
    if (window.exec() != QDialog::Accepted)
        return;
    for (const store::ArmedItem& item : missed) {
        if (const store::Error failure = days.disarm(dateOf(item.date), item.slot)) {
            platform::message(QStringLiteral("アラームを解除できませんでした。\r\n") +
                                  store::describe(failure),
                              platform::kAppTitle, platform::Icon::Critical, platform::Buttons::Ok);
            return;
        }
    }
}

} // namespace alarms
