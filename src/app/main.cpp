#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/Openers.h"
#include "app/SingleInstance.h"
#include "controls/Fonts.h"
#include "platform/Paths.h"
#include "platform/QtServices.h"
#include "store/ScheduleFile.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts when it finds no display to open. Without one (and no platform chosen through
// QT_QPA_PLATFORM or -platform) the program says so in one line and ends with status 1.
bool requireDisplay(int argc, char** argv) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            return true;
    std::fputs("daduvov: 画面がありません。DISPLAY を設定するか xvfb-run daduvov で起動してください / "
               "no display: set DISPLAY or start it inside a virtual screen with xvfb-run daduvov\n",
               stderr);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Help, version, autostart and the exchange commands end here, before a display is needed.
    const app::CommandLine commandLine = app::readCommandLine(argc, argv);
    if (commandLine.exitCode)
        return *commandLine.exitCode;

    if (!requireDisplay(argc, argv))
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Daduvov"));
    // Ties the windows to the installed menu entry (its name and icon in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("daduvov"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("daduvov"), QIcon(QStringLiteral(":/app/icon.png"))));
    // The program ends only through the calendar's own shut-down.
    QApplication::setQuitOnLastWindowClosed(false);
    controls::registerFontSubstitutions();
    QApplication::setFont(controls::gothicFont(9));
    // Qt's own dialogs (file and colour choice) speak Japanese like the rest of the program.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    // Indexing a large Schedule file on its first open takes seconds: a wait cursor meanwhile.
    store::setLongWorkHook([](bool started) {
        if (started)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
        QApplication::sync(); // the event loop is not running: send the change now
    });

    platform::QtPlatform services;
    services.install();
    const QString folder = platform::programFolder();
    // A second start for the same program folder brings the running calendar forward instead.
    app::SingleInstance instance(folder);
    if (instance.start(commandLine.scheduleFile) == app::SingleInstance::Start::AlreadyRunning)
        return 0;
    platform::provideDefaultSound(folder);

    app::MainWindow window(folder, app::programOpeners());
    QObject::connect(&instance, &app::SingleInstance::activationRequested, &window, [&window] {
        if (window.isMinimized())
            window.showNormal();
        window.show();
        window.raise();
        window.activateWindow();
    });
    QObject::connect(&instance, &app::SingleInstance::fileOpenRequested, &window,
                     &app::MainWindow::openScheduleFile);
    window.openScheduleFile(commandLine.scheduleFile);
    window.startUp();
    return QApplication::exec();
}
