#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/Openers.h"
#include "app/SingleInstance.h"
#include "controls/CaretRest.h"
#include "controls/Fonts.h"
#include "platform/LocalZone.h"
#include "platform/Paths.h"
#include "platform/QtServices.h"
#include "store/ScheduleFile.h"
#include "syncview/SyncRunner.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Whether something listens on a local socket; `abstract` names one in the abstract namespace.
bool socketAnswers(const QByteArray& path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path + offset, path.constData(), static_cast<size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                               static_cast<size_t>(path.size()) + (abstract ? 0 : 1));
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return answers;
}

// Whether a local X display answers: ":N" or ":N.S" listens at /tmp/.X11-unix/XN, in the file
// system or the abstract namespace (a display on another host is taken as reachable).
bool xDisplayReachable() {
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return false;
    if (!display.startsWith(':'))
        return true;
    const QByteArray socket = "/tmp/.X11-unix/X" + display.mid(1).split('.').value(0);
    return socketAnswers(socket, true) || socketAnswers(socket, false);
}

// Whether a Wayland compositor's socket is there.
bool waylandReachable() {
    const QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (name.startsWith(QLatin1Char('/')))
        return socketAnswers(QFile::encodeName(name), false);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && socketAnswers(QFile::encodeName(runtime + QLatin1Char('/') + name), false);
}

// Qt aborts when the platform it is to use cannot be opened. Without one that can (the platform
// chosen through QT_QPA_PLATFORM or -platform, else X11 or Wayland) the program says so in one
// line and ends with status 1.
bool requireDisplay(int argc, char** argv) {
    QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            chosen = argv[i + 1];
    const QList<QByteArray> candidates =
        chosen.isEmpty() ? QList<QByteArray>{"xcb", "wayland"} : chosen.split(';');
    for (const QByteArray& candidate : candidates) {
        const QByteArray name = candidate.split(':').value(0).trimmed();
        if (name == "xcb"                ? xDisplayReachable()
            : name.startsWith("wayland") ? waylandReachable()
                                         : !name.isEmpty())
            return true;
    }
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
    // Under X the window contents go to the server through the connection rather than shared
    // memory: a shared-memory put makes the next paint wait for the server's answer and brings a
    // completion event, three wake-ups for each turn of the clock where one suffices. The
    // program's windows are small; an explicit setting of the variable is kept.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    // Local time without a look at /etc/localtime at every conversion (several each second).
    const platform::LocalZone localZone;
    QApplication::setApplicationName(QStringLiteral("Daduvov"));
    // Ties the windows to the installed menu entry (its name and icon in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("daduvov"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The installed menu entry's icon, from the program itself: looking it up in the icon theme
    // reads every theme's index at each start, the costliest single step of the start-up.
    QIcon windowIcon;
    for (const int size : {16, 32, 64})
        windowIcon.addFile(QStringLiteral(":/window-icon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(windowIcon);
    // The program ends only through the calendar's own shut-down.
    QApplication::setQuitOnLastWindowClosed(false);
    controls::registerFontSubstitutions();
    QApplication::setFont(controls::gothicFont(9));
    // Qt's own dialogs (file and colour choice) speak Japanese like the rest of the program.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);
    // The text cursor stops blinking while nobody types: an idle calendar is not woken for it.
    const controls::CaretRest caretRest;

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
    const int code = QApplication::exec();
    // A sync that did not stop in time still uses what the destructors would tear down; its
    // writes are transactions of their own, so ending here leaves the Schedule file whole.
    if (syncview::SyncRunner::leftRunning())
        std::_Exit(code);
    return code;
}
