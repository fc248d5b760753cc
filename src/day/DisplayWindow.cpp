#include "day/DisplayWindow.h"

#include "calendar/Holidays.h"
#include "controls/Accessible.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "platform/Colors.h"
#include "settings/Settings.h"
#include "shell/Host.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

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

DisplayWindow::DisplayWindow(shell::Host& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), host_(host),
      background_(QStringLiteral(":/day/output.jpg")) {
    setObjectName(QStringLiteral("D_output"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("データ表示"));
    setFont(controls::gothicFont(9));
    setFixedSize(controls::px(3015), controls::px(2415));

    buildDateHeading();
    buildItemBoxes();
    buildOkButton();
    showDate();
    describeControls();
    controls::centreOnScreen(this);
}

void DisplayWindow::describeControls() {
    controls::setAccessibleRole(this, QAccessible::Dialog);
    controls::setAccessibleName(this, windowTitle() + QLatin1Char(' ') + spokenDate(host_.selectedDate()));
    controls::fitCaptions(this);
    for (QLabel* label : findChildren<QLabel*>()) {
        if (std::find(itemBoxes_.begin(), itemBoxes_.end(), label) != itemBoxes_.end())
            continue;
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(pal);
    }
}

void DisplayWindow::buildDateHeading() {
    dateLabel_ = new QLabel(this);
    dateLabel_->setObjectName(QStringLiteral("Label5"));
    dateLabel_->setTextFormat(Qt::PlainText);
    dateLabel_->setFont(controls::gothicFont(12, true));
    dateLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    controls::placeTwips(dateLabel_, 120, 120, 1455, 255);

    auto* suffix = new QLabel(QStringLiteral("の予定"), this);
    suffix->setObjectName(QStringLiteral("Label6"));
    suffix->setFont(controls::gothicFont(12, true, true));
    controls::placeTwips(suffix, 1680, 120, 855, 255);
    holidayHeading_ = std::make_unique<HolidayHeading>(dateLabel_, suffix, width() - 8);
}

void DisplayWindow::buildItemBoxes() {
    for (int i = 0; i < store::kSlotCount; ++i) {
        auto* box = new ItemBox(this);
        box->setObjectName(QStringLiteral("Label") + QString::number(i + 1));
        // Item texts are the user's own: never taken as markup.
        box->setTextFormat(Qt::PlainText);
        box->setFont(controls::gothicFont(8.25, true));
        box->setAutoFillBackground(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xFF));
        pal.setColor(QPalette::WindowText, controls::textColourOnWhite(settings::kButtonTextColor));
        box->setPalette(pal);
        controls::placeTwips(box, 120, 480 + 360 * i, 2655, 255);
        itemBoxes_[static_cast<std::size_t>(i)] = box;
    }
}

void DisplayWindow::buildOkButton() {
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("Command1"));
    okButton_->setToolTip(QStringLiteral("予定表示の終了"));
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    controls::placeTwips(okButton_, 1920, 1920, 855, 375);
    connect(okButton_, &QPushButton::clicked, this, [this] {
        close();
        host_.setMainEnabled(true);
    });
    setFocusProxy(okButton_);
    okButton_->setFocus();
}

void DisplayWindow::showDate() {
    dateLabel_->setText(QLocale::system().toString(host_.selectedDate(), QLocale::ShortFormat));
    // A long date format in the wider stand-in face would be cut at the left.
    QFont dateFont = dateLabel_->font();
    while (dateFont.pointSizeF() > 8 && QFontMetrics(dateFont).horizontalAdvance(dateLabel_->text()) >
                                            dateLabel_->contentsRect().width()) {
        dateFont.setPointSizeF(dateFont.pointSizeF() - 0.5);
        dateLabel_->setFont(dateFont);
    }
    holidayHeading_->show(calendar::holidayName(host_.selectedDate()));
}

void DisplayWindow::setItem(int slot, const QString& content, int level) {
    QLabel* label = itemBoxes_[static_cast<std::size_t>(std::clamp(slot, 1, store::kSlotCount) - 1)];
    label->setText(content);
    // The level, shown by colour, is also spoken.
    if (!content.isEmpty())
        controls::setAccessibleName(label, content + QLatin1Char(' ') +
                                               (level > 0 && level <= store::kLevelCount
                                                    ? QStringLiteral("レベル%1").arg(level)
                                                    : QStringLiteral("レベルなし")));
    if (level < 0 || level > store::kLevelCount)
        return;
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, controls::textColourOnWhite(host_.settings().levelColor(level)));
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
