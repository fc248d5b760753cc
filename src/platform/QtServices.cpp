#include "platform/QtServices.h"

#include "platform/Colors.h"
#include "platform/FileFilter.h"
#include "platform/HelpViewer.h"
#include "platform/LoopingSound.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLibrary>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace platform {

namespace {

// The sound module: next to the program, where the installed program keeps its modules, and
// where this build made it (for the tests, which run from their own folders).
std::unique_ptr<LoopingSound> loadSoundModule() {
    const QString name = QStringLiteral("libdaduvov_sound.so");
    const QString programDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {programDir + QLatin1Char('/') + name,
                                    programDir + QStringLiteral("/../lib/daduvov/") + name,
                                    QStringLiteral(DADUVOV_SOUND_MODULE_BUILT)};
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary module(path);
        const auto create =
            reinterpret_cast<CreateLoopingSoundFunction>(module.resolve(kCreateLoopingSoundSymbol));
        if (create)
            return std::unique_ptr<LoopingSound>(create()); // the module stays loaded
    }
    return nullptr;
}

} // namespace

QtSound::QtSound(QObject* parent) : QObject(parent) {}

QtSound::~QtSound() = default;

QString QtSound::builtInSound() {
    return builtInSoundUrl();
}

bool QtSound::usingBuiltIn() const {
    return player_ && player_->usingBuiltIn();
}

bool QtSound::active() const {
    return player_ && player_->active();
}

QSoundEffect* QtSound::effect() const {
    return player_ ? player_->effect() : nullptr;
}

void QtSound::start(const QString& path) {
    if (!player_ && !loadFailed_) {
        player_ = loadSoundModule();
        loadFailed_ = !player_;
    }
    if (player_)
        player_->start(path);
}

void QtSound::stop() {
    if (player_)
        player_->stop();
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

// A message box is as wide as its text needs. With a short text (an alarm's item) that leaves the
// title bar too little room beside the window icon and the title buttons, and the window manager
// elides the caption ("D... ov"). A strut across the box keeps room for the caption in a bold
// title font and, on either side, for three title buttons of about one and a half lines each.
void keepCaptionRoom(QMessageBox* box, const QString& caption) {
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (!grid)
        return;
    QFont titleFont = box->font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int buttons = 3 * metrics.height() * 3 / 2;
    const int width = metrics.horizontalAdvance(caption) + 2 * buttons;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

void setNeverDialogParent(QWidget* window) {
    window->setProperty(kNeverDialogParent, true);
}

QWidget* dialogParent(QWidget* owner) {
    QWidget* active = owner ? owner->window() : QApplication::activeWindow();
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
    // After the icon: setting it lays the box out anew.
    keepCaptionRoom(box, caption);
    if (buttons == Buttons::Ok) {
        box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box->exec();
        // Escape and the close box also count as OK (the button is the escape button); no button
        // at all means the box was ended from outside.
        const bool seen = box && box->clickedButton();
        delete box.data();
        return seen ? Answer::Ok : Answer::No;
    }
    // Two answers; Escape and the close box give the second.
    const bool overwrite = buttons == Buttons::OverwriteCancel;
    QPushButton* yes = box->addButton(overwrite ? QStringLiteral("上書き") : QStringLiteral("はい(&Y)"),
                                      QMessageBox::YesRole);
    QPushButton* no = box->addButton(overwrite ? QStringLiteral("取消") : QStringLiteral("いいえ(&N)"),
                                     QMessageBox::NoRole);
    // Overwriting another program's item is never the default.
    box->setDefaultButton(overwrite ? no : yes);
    box->setEscapeButton(no);
    box->exec();
    const bool answeredYes = box && box->clickedButton() == yes;
    delete box.data();
    return answeredYes ? Answer::Yes : Answer::No;
}

QString QtPlatform::startFolder(const DialogPlace& place) const {
    for (const QString& folder : {lastFolder_, place.firstFolder, programFolder()}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

QFileDialog* QtPlatform::makeFileDialog(const QString& caption, const QString& filter,
                                        const DialogPlace& place) const {
    // On the heap: a parent that goes away while the dialog is open takes the dialog with it.
    auto* dialog = new QFileDialog(dialogParent(place.owner), caption);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters(qtNameFilters(filter));
    dialog->setDirectory(startFolder(place));
    return dialog;
}

QString QtPlatform::runFileDialog(QFileDialog* dialog) {
    const QPointer<QFileDialog> watched = dialog;
    const bool accepted = dialog->exec() == QDialog::Accepted && watched;
    const QStringList chosen = accepted ? dialog->selectedFiles() : QStringList();
    delete watched.data();
    if (chosen.isEmpty())
        return QString();
    const QString path = QFileInfo(chosen.constFirst()).absoluteFilePath();
    lastFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QString QtPlatform::openFile(const QString& filter, const DialogPlace& place) {
    QFileDialog* dialog = makeFileDialog(QStringLiteral("ファイルを開く"), filter, place);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile); // a name that does not exist yet may be typed
    return runFileDialog(dialog);
}

QString QtPlatform::saveFile(const QString& filter, const QString& suggestedName, const DialogPlace& place,
                             SaveChoice* choice) {
    QFileDialog* dialog = makeFileDialog(QStringLiteral("名前を付けて保存"), filter, place);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // After the filters: in save mode a filter set or picked rewrites the name's extension.
    dialog->setDefaultSuffix(QFileInfo(suggestedName).suffix());
    dialog->selectFile(suggestedName);
    // Picking a filter gives the typed name that filter's extension, which Qt copies from the
    // case-folded pattern; the name would be saved as "daduvov.[iI][cC][sS]".
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog] {
        const QString name = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        const QString plain = unfoldedName(name);
        if (plain != name)
            dialog->selectFile(plain);
    });
    // The check box goes below the file name and type: Qt's own dialog lays itself out in a grid.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()); choice && grid) {
        auto* box = new QCheckBox(choice->label, dialog);
        box->setObjectName(QStringLiteral("saveChoice"));
        box->setChecked(choice->checked);
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
        // The state is taken when the dialog is accepted, before runFileDialog deletes it.
        QObject::connect(dialog, &QDialog::accepted, dialog,
                         [box, choice] { choice->checked = box->isChecked(); });
    }
    return runFileDialog(dialog);
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

qint64 QtPlatform::epochSecond() const {
    return QDateTime::currentSecsSinceEpoch();
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
