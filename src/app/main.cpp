#include "app/MainWindow.h"
#include "app/Openers.h"
#include "app/SingleInstance.h"
#include "controls/Fonts.h"
#include "exchange/CommandLine.h"
#include "platform/Paths.h"
#include "platform/QtServices.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

int main(int argc, char** argv) {
    // The exchange commands work without a window, so they run before a display is opened.
    {
        QCommandLineParser parser;
        exchange::addExchangeOptions(parser);
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        parser.parse(arguments);
        if (const std::optional<int> status = exchange::runExchangeCommand(parser, platform::programFolder()))
            return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Daduvov"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/icon.png")));
    // The program ends only through the calendar's own shut-down.
    QApplication::setQuitOnLastWindowClosed(false);
    controls::registerFontSubstitutions();
    QApplication::setFont(controls::gothicFont(9));
    // Qt's own dialogs (file and colour choice) speak Japanese like the rest of the program.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    platform::QtPlatform services;
    services.install();
    const QString folder = platform::programFolder();
    // A second start for the same program folder brings the running calendar forward instead.
    app::SingleInstance instance(folder);
    if (instance.start() == app::SingleInstance::Start::AlreadyRunning)
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
    window.startUp();
    return QApplication::exec();
}
