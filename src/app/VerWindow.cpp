#include "app/VerWindow.h"

#include "controls/Accessible.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/WindowSetup.h"
#include "shell/Host.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

namespace app {

VerWindow::VerWindow(shell::Host& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      host_(host) {
    setObjectName(QStringLiteral("VerWindow"));
    controls::setAccessibleRole(this, QAccessible::Dialog);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setFixedSize(controls::px(3765), controls::px(2265));

    auto* image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(QPixmap(QStringLiteral(":/app/icon.png")));
    image1->setGeometry(12, 12, 64, 64);
    auto* image2 = new QLabel(this);
    image2->setObjectName(QStringLiteral("Image2"));
    image2->setPixmap(QPixmap(QStringLiteral(":/app/clock.png")));
    image2->setGeometry(196, 12, 40, 40);
    auto* image3 = new QLabel(QStringLiteral("Daduvov"), this);
    image3->setObjectName(QStringLiteral("Image3"));
    image3->setFont(controls::gothicFont(14, true, true));
    // Navy on the light theme's window colour, also under a dark theme.
    image3->setStyleSheet(QStringLiteral("color: #000080; background-color: #EFEFEF;"));
    image3->setGeometry(84, 22, 110, 28);

    auto* label = new QLabel(QStringLiteral("Ver.1.0"), this);
    label->setObjectName(QStringLiteral("Label3"));
    label->setFont(controls::gothicFont(9));
    label->setGeometry(84, 56, 110, 18);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setGeometry(88, 110, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    controls::closeOnEscape(this, ok);

    // Larger system fonts: the captions keep to their fixed places.
    controls::fitCaptions(this);
    controls::centreOnScreen(this);
}

void VerWindow::closeEvent(QCloseEvent* event) {
    host_.setMainEnabled(true);
    event->accept();
}

} // namespace app
