#pragma once
// A scripted stand-in for the platform services: dialogs answer from queues, every message is
// recorded with its text, caption, icon and buttons, and the clock is set by the test.

#include "platform/Services.h"

#include <QDateTime>
#include <QList>
#include <QQueue>
#include <QString>
#include <functional>
#include <optional>

namespace testsupport {

struct ShownMessage {
    QString text;
    QString caption;
    platform::Icon icon;
    platform::Buttons buttons;
};

class FakePlatform : public platform::MessageService,
                     public platform::FileDialogService,
                     public platform::ColorDialogService,
                     public platform::HelpService,
                     public platform::ClockService,
                     public platform::ScreenService,
                     public platform::SoundService {
  public:
    FakePlatform();
    ~FakePlatform() override;

    // Installs this fake as the program's services (and restores the previous ones on destruction).
    void install();

    // Message boxes: Yes/No questions take the next queued answer (No when the queue is empty).
    QQueue<platform::Answer> answers;
    QList<ShownMessage> messages;
    // Called while a message box is "open", before it returns (to test re-entrancy).
    std::function<void(const ShownMessage&)> onMessage;

    // File dialog: the next queued path ("" means cancel; an empty queue cancels too).
    QQueue<QString> filePaths;
    QStringList fileFilters;                 // the filter text of every file dialog shown
    QList<platform::DialogPlace> filePlaces; // and where it was asked to open
    // A save dialog's check box: the label of every one shown, and the state the user leaves it
    // in, taken from the queue (left as offered when the queue is empty).
    QStringList saveChoiceLabels;
    QQueue<bool> saveChoices;

    // Colour dialog: the next queued answer (nothing means cancel).
    QQueue<std::optional<qint32>> colors;
    int colorDialogs = 0;

    int helpShown = 0;

    QDateTime clock = QDateTime(QDate(2026, 3, 5), QTime(9, 30, 0));
    QSize screen = QSize(1280, 1024);

    // Sound calls in order: "start:<path>" and "stop".
    QStringList soundCalls;
    bool soundPlaying = false;

    platform::Answer show(const QString& text, const QString& caption, platform::Icon icon,
                          platform::Buttons buttons) override;
    QString openFile(const QString& filter, const platform::DialogPlace& place) override;
    QString saveFile(const QString& filter, const QString& suggestedName, const platform::DialogPlace& place,
                     platform::SaveChoice* choice) override;
    std::optional<qint32> pickColor(qint32 initial) override;
    void showContents() override;
    QDateTime now() const override;
    QSize size() const override;
    void start(const QString& path) override;
    void stop() override;

  private:
    platform::Services previous_;
    bool installed_ = false;
};

} // namespace testsupport
