#include "day/DisplayWindow.h"

#include "calendar/MainHost.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "platform/Colors.h"
#include "settings/Settings.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>

namespace day {

namespace {

// A white box with a thin black border; the text inside takes the colour of its level.
class ItemBox : public QLabel {
  public:
    explicit ItemBox(QWidget* parent) : QLabel(parent) { setContentsMargins(2, 1, 1, 1); }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        QPainter painter(this);
        painter.setPen(QColor(0, 0, 0));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

} // namespace

DisplayWindow::DisplayWindow(calendar::MainHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), host_(host),
      background_(QStringLiteral(":/day/output.jpg")) {
    setObjectName(QStringLiteral("D_output"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("データ表示"));
    setFont(controls::gothicFont(9));
    setFixedSize(controls::px(3015), controls::px(2415));

    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setTextFormat(Qt::PlainText);
    Label5->setFont(controls::gothicFont(12, true));
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    controls::placeTwips(Label5, 120, 120, 1455, 255);

    Label6 = new QLabel(QStringLiteral("の予定"), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setFont(controls::gothicFont(12, true, true));
    controls::placeTwips(Label6, 1680, 120, 855, 255);

    std::array<QLabel**, 4> items{&Label1, &Label2, &Label3, &Label4};
    for (int i = 0; i < 4; ++i) {
        auto* label = new ItemBox(this);
        label->setObjectName(QStringLiteral("Label") + QString::number(i + 1));
        // Item texts are the user's own: never taken as markup.
        label->setTextFormat(Qt::PlainText);
        label->setFont(controls::gothicFont(8.25, true));
        label->setAutoFillBackground(true);
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xFF));
        pal.setColor(QPalette::WindowText, platform::toQColor(settings::kButtonTextColor));
        label->setPalette(pal);
        controls::placeTwips(label, 120, 480 + 360 * i, 2655, 255);
        *items[static_cast<std::size_t>(i)] = label;
    }

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("予定表示の終了"));
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    controls::placeTwips(Command1, 1920, 1920, 855, 375);
    connect(Command1, &QPushButton::clicked, this, [this] {
        close();
        host_.setMainEnabled(true);
    });
    setFocusProxy(Command1);
    Command1->setFocus();

    Label5->setText(QLocale::system().toString(host.selectedDate(), QLocale::ShortFormat));
    // A long date format in the wider stand-in face would be cut at the left: step the size
    // down until the whole date fits its place.
    QFont dateFont = Label5->font();
    while (dateFont.pointSizeF() > 8 &&
           QFontMetrics(dateFont).horizontalAdvance(Label5->text()) > Label5->contentsRect().width()) {
        dateFont.setPointSizeF(dateFont.pointSizeF() - 0.5);
        Label5->setFont(dateFont);
    }
    controls::centreOnScreen(this);
}

QLabel* DisplayWindow::itemLabel(int slot) const {
    switch (slot) {
    case 1:
        return Label1;
    case 2:
        return Label2;
    case 3:
        return Label3;
    default:
        return Label4;
    }
}

void DisplayWindow::setItem(int slot, const QString& content, int level) {
    QLabel* label = itemLabel(slot);
    label->setText(content);
    if (level < 0 || level > 5)
        return;
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, platform::toQColor(host_.settings().levelColor(level)));
    label->setPalette(pal);
}

void DisplayWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The picture is one pixel smaller than the window each way; the frame grey fills the rest.
    painter.fillRect(rect(), QColor(0xB4, 0xB4, 0xB4));
    painter.drawPixmap(0, 0, background_);
}

// The window has no title bar: besides OK, Escape closes it from the keyboard.
void DisplayWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DisplayWindow::closeEvent(QCloseEvent* event) {
    host_.setMainEnabled(true);
    event->accept();
}

} // namespace day
