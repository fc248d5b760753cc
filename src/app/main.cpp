#include "app/MainWindow.h"
#include "app/Openers.h"
#include "controls/Fonts.h"
#include "platform/Paths.h"
#include "platform/QtServices.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Daduvov"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/icon.png")));
    // The program ends only through the calendar's own shut-down.
    QApplication::setQuitOnLastWindowClosed(false);
    controls::registerFontSubstitutions();

    platform::QtPlatform services;
    services.install();
    const QString folder = platform::programFolder();
    platform::provideDefaultSound(folder);

    app::MainWindow window(folder, app::programOpeners());
    window.startUp();
    return QApplication::exec();
}
