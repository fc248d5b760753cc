#pragma once
// The Qt platform's own dialogs in a test, answered as a user would: real message boxes (and file
// dialogs) over the services installed, and timers that act on the modal dialog once it shows.

#include "platform/QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace testsupport {

// Real message boxes, and real file dialogs when asked for, until this object goes.
class RealDialogs {
  public:
    explicit RealDialogs(bool files = false) : previous_(platform::services()) {
        platform::Services mixed = previous_;
        mixed.messages = &qt_;
        if (files)
            mixed.files = &qt_;
        platform::install(mixed);
    }
    ~RealDialogs() { platform::install(previous_); }
    RealDialogs(const RealDialogs&) = delete;
    RealDialogs& operator=(const RealDialogs&) = delete;

  private:
    platform::QtPlatform qt_;
    platform::Services previous_;
};

// Runs `act` once on the next modal dialog, as soon as it is on screen.
inline void whenDialogShown(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(dialog);
    });
    poll->start();
}

// The dialog's button whose text starts with `prefix`, or nullptr.
inline QAbstractButton* buttonTitled(QWidget* dialog, const QString& prefix) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->text().startsWith(prefix))
            return b;
    return nullptr;
}

// While it lives, answers every real message box that opens with the button titled `answer`
// (the first button when empty), keeping the box's text. With several answers, the n-th box gets
// the n-th answer, and the boxes after the last get the last.
class BoxAnswerer : public QObject {
  public:
    explicit BoxAnswerer(const QString& answer = QString()) : BoxAnswerer(QStringList{answer}) {}
    explicit BoxAnswerer(const QStringList& answers) {
        connect(&timer_, &QTimer::timeout, this, [this, answers] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            const QString answer = answers.value(std::min(texts.size(), answers.size() - 1));
            texts << box->text();
            QAbstractButton* button = answer.isEmpty() ? box->buttons().value(0) : buttonTitled(box, answer);
            if (button)
                button->click();
        });
        timer_.start(20);
    }
    QStringList texts;

  private:
    QTimer timer_;
};

} // namespace testsupport
