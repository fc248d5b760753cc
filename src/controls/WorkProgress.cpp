#include "controls/WorkProgress.h"

#include <QProgressDialog>

namespace controls {

namespace {
constexpr int kSteps = 1000;
constexpr int kShowAfterMs = 400;
} // namespace

WorkProgress::WorkProgress(QWidget* parent, const QString& label)
    : dialog_(std::make_unique<QProgressDialog>(label, QStringLiteral("キャンセル"), 0, kSteps, parent)) {
    dialog_->setObjectName(QStringLiteral("workProgress"));
    dialog_->setWindowTitle(QStringLiteral("Daduvov"));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(kShowAfterMs);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
}

WorkProgress::~WorkProgress() = default;

std::function<bool(qint64, qint64)> WorkProgress::callback() {
    QProgressDialog* dialog = dialog_.get();
    return [dialog](qint64 done, qint64 total) {
        const int step =
            total > 0 ? static_cast<int>(std::min<qint64>(kSteps, done * kSteps / total)) : kSteps;
        // A modal progress dialog handles the pending events (the cancel button among them) on
        // every change of its value.
        if (step != dialog->value())
            dialog->setValue(step);
        return !dialog->wasCanceled();
    };
}

} // namespace controls
