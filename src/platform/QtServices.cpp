#include "platform/QtServices.h"

#include "platform/Colors.h"
#include "platform/FileFilter.h"
#include "platform/HelpViewer.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSoundEffect>
#include <QUrl>

namespace platform {

QtSound::QtSound(QObject* parent) : QObject(parent), effect_(new QSoundEffect(this)) {
    effect_->setLoopCount(QSoundEffect::Infinite);
    connect(effect_, &QSoundEffect::statusChanged, this, &QtSound::onStatusChanged);
    connect(effect_, &QSoundEffect::playingChanged, this, &QtSound::onPlayingChanged);
}

QtSound::~QtSound() {
    active_ = false;
    effect_->stop();
}

QString QtSound::builtInSound() {
    return QStringLiteral("qrc:/sounds/alarm.wav");
}

void QtSound::onStatusChanged() {
    // The file turned out to be unplayable (decoding runs in the background, so this can come
    // after start() has returned): play the built-in sound instead, but only while the alarm is
    // still sounding. A failing built-in sound ends it; nothing is retried.
    if (effect_->status() != QSoundEffect::Error || !active_ || usingBuiltIn_)
        return;
    usingBuiltIn_ = true;
    playSource(QUrl(builtInSound()));
}

void QtSound::onPlayingChanged() {
    // A play that was still pending when stop() came (the sample was loading) must not start
    // the sound afterwards.
    if (effect_->isPlaying() && !active_)
        effect_->stop();
}

void QtSound::playSource(const QUrl& url) {
    effect_->stop();
    // Setting the same source again would not reload it; a source that failed before is loaded
    // afresh by going through an empty one.
    if (effect_->source() == url && effect_->status() == QSoundEffect::Error)
        effect_->setSource(QUrl());
    if (effect_->source() != url)
        effect_->setSource(url);
    effect_->setLoopCount(QSoundEffect::Infinite);
    effect_->play();
}

void QtSound::start(const QString& path) {
    active_ = true;
    usingBuiltIn_ = path.isEmpty() || !QFileInfo(path).isFile();
    playSource(usingBuiltIn_ ? QUrl(builtInSound())
                             : QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    // The status may already be known (a source loaded before).
    onStatusChanged();
}

void QtSound::stop() {
    active_ = false;
    effect_->stop();
}

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() {
    delete help_;
}

void QtPlatform::install() {
    platform::install({this, this, this, this, this, this, &sound_});
}

namespace {

constexpr char kNeverDialogParent[] = "daduvovNeverDialogParent";

} // namespace

void setNeverDialogParent(QWidget* window) {
    window->setProperty(kNeverDialogParent, true);
}

QWidget* dialogParent() {
    QWidget* active = QApplication::activeWindow();
    // A window that closes itself on its own schedule would delete a dialog opened over it
    // while the dialog runs; such a dialog gets no parent and is modal for the whole program.
    if (active && active->property(kNeverDialogParent).toBool())
        return nullptr;
    return active;
}

Answer QtPlatform::show(const QString& text, const QString& caption, Icon icon, Buttons buttons) {
    // On the heap and watched: a parent that goes away while the box is open takes the box with
    // it, and the answer is then the one of the escape button.
    const QPointer<QMessageBox> box = new QMessageBox(dialogParent());
    box->setWindowTitle(caption);
    // Message texts carry what the user typed or stored (an item's content, a path): never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    switch (icon) {
    case Icon::None:
        box->setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box->setIcon(QMessageBox::Warning);
        break;
    case Icon::Question:
        box->setIcon(QMessageBox::Question);
        break;
    case Icon::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    if (buttons == Buttons::Ok) {
        box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box->exec();
        delete box.data();
        return Answer::Ok;
    }
    QPushButton* yes = box->addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(no);
    box->exec();
    const bool answeredYes = box && box->clickedButton() == yes;
    delete box.data();
    return answeredYes ? Answer::Yes : Answer::No;
}

QString QtPlatform::openFile(const QString& filter) {
    const QPointer<QFileDialog> dialog = new QFileDialog(dialogParent(), QStringLiteral("ファイルを開く"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile); // a name that does not exist yet may be typed
    dialog->setNameFilters(qtNameFilters(filter));
    dialog->setDirectory(lastFolder_.isEmpty() ? programFolder() : lastFolder_);
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    const QStringList chosen = accepted ? dialog->selectedFiles() : QStringList();
    delete dialog.data();
    if (chosen.isEmpty())
        return QString();
    const QString path = QFileInfo(chosen.constFirst()).absoluteFilePath();
    lastFolder_ = QFileInfo(path).absolutePath();
    return path;
}

std::optional<qint32> QtPlatform::pickColor(qint32 initial) {
    const QColor c = QColorDialog::getColor(toQColor(initial), dialogParent(), QStringLiteral("色の設定"),
                                            QColorDialog::DontUseNativeDialog);
    if (!c.isValid())
        return std::nullopt;
    return fromQColor(c);
}

void QtPlatform::showContents() {
    if (!help_)
        help_ = new HelpViewer;
    help_->showContents();
}

QDateTime QtPlatform::now() const {
    return QDateTime::currentDateTime();
}

QSize QtPlatform::size() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}

void provideDefaultSound(const QString& programFolder) {
    const QString target = joinPath(programFolder, QStringLiteral("daduvov.WAV"));
    if (QFileInfo::exists(target))
        return;
    if (QFile::copy(QStringLiteral(":/sounds/alarm.wav"), target))
        QFile::setPermissions(target,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

} // namespace platform
