#pragma once
// A modal progress dialog with a cancel button for long work that reports through a callback. It
// shows itself only when the work lasts more than a moment; while it runs, the event loop (and
// with it every timer) keeps running.

#include <QString>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace controls {

class WorkProgress {
  public:
    WorkProgress(QWidget* parent, const QString& label);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // For the work: moves the bar, and answers false once the user has cancelled.
    std::function<bool(qint64 done, qint64 total)> callback();
    QProgressDialog* dialog() const { return dialog_.get(); }

  private:
    std::unique_ptr<QProgressDialog> dialog_;
};

} // namespace controls
