#include "calendar/CalendarPanel.h"

#include "calendar/MonthGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/SpinButton.h"
#include "platform/Colors.h"
#include "platform/Services.h"
#include "store/DayRecords.h"

#include <QLocale>
#include <QMouseEvent>

namespace calendar {

namespace {

const QColor kWindowGrey(0xC0, 0xC0, 0xC0);
// How long the colouring waits for a Schedule file another program holds locked.
constexpr int kColouringBusyTimeoutMs = 50;

void setBackground(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void setTextColor(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    w->setPalette(pal);
}

} // namespace

void DayButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        Q_EMIT rightPressed();
        return;
    }
    QPushButton::mousePressEvent(event);
}

CalendarPanel::CalendarPanel(settings::Settings& settings, store::DataControl& data1, QWidget* parent)
    : QWidget(parent), settings_(settings), data1_(data1) {
    buildControls();
}

void CalendarPanel::buildControls() {
    setFixedSize(202, 208);
    setBackground(this, kWindowGrey);

    Frame1 = new QGroupBox(QStringLiteral("カレンダー"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(8, 8, 185, 161);
    Frame1->setFont(controls::gothicFont(9, true));
    Frame1->setToolTip(QStringLiteral("左ｸﾘｯｸで予定表示、右ｸﾘｯｸで予定入力"));
    setBackground(Frame1, kWindowGrey);
    setTextColor(Frame1, QColor(0x00, 0x00, 0xC0));

    const QFont plain = controls::gothicFont(9);
    auto makeLabel = [&](const QString& name, const QString& text, const QRect& r) {
        auto* label = new QLabel(text, Frame1);
        label->setObjectName(name);
        label->setGeometry(r);
        label->setFont(plain);
        setTextColor(label, Qt::black);
        return label;
    };
    Label9 =
        makeLabel(QStringLiteral("Label9"), QStringLiteral("年："), controls::twipsRect(120, 240, 375, 255));
    Label9->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setBackground(Label9, kWindowGrey);
    Label8 =
        makeLabel(QStringLiteral("Label8"), QStringLiteral("月："), controls::twipsRect(1560, 240, 375, 255));
    Label8->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setBackground(Label8, kWindowGrey);

    auto makeBox = [&](const QString& name, const QRect& r) {
        auto* box = new QLineEdit(Frame1);
        box->setObjectName(name);
        box->setGeometry(r);
        box->setFont(plain);
        box->setTextMargins(0, 0, 0, 0);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Text, Qt::black);
        box->setPalette(pal);
        return box;
    };
    Text1 = makeBox(QStringLiteral("Text1"), controls::twipsRect(480, 240, 615, 270));
    Text2 = makeBox(QStringLiteral("Text2"), controls::twipsRect(1920, 240, 375, 270));

    SpinButton1 = new controls::SpinButton(Qt::Horizontal, Frame1);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    SpinButton1->setGeometry(controls::twipsRect(1080, 240, 375, 255));
    SpinButton1->setRange(kMinYear, kMaxYear);
    SpinButton1->setValue(kMinYear);
    SpinButton2 = new controls::SpinButton(Qt::Horizontal, Frame1);
    SpinButton2->setObjectName(QStringLiteral("SpinButton2"));
    SpinButton2->setGeometry(controls::twipsRect(2280, 240, 375, 255));
    SpinButton2->setRange(0, 13);
    SpinButton2->setValue(1);

    const QStringList names = {QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"),
                               QStringLiteral("水"), QStringLiteral("木"), QStringLiteral("金"),
                               QStringLiteral("土")};
    for (int k = 0; k < 7; ++k) {
        QLabel* label = makeLabel(QStringLiteral("Label%1").arg(k + 1), names[k],
                                  controls::twipsRect(120 + 360 * k, 600, 375, 255));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(controls::gothicFont(9, true));
        const QColor bg = k == 0   ? QColor(0xFF, 0xC0, 0xC0)
                          : k == 6 ? QColor(0xC0, 0xFF, 0xFF)
                                   : QColor(Qt::white);
        setBackground(label, bg);
        weekdayLabels_[static_cast<size_t>(k)] = label;
    }

    for (int n = 1; n <= kAllButtons; ++n) {
        auto* button = new DayButton(Frame1);
        button->setObjectName(QStringLiteral("Command%1").arg(n));
        button->setGeometry(buttonRect(n));
        button->setFont(plain);
        button->setAutoDefault(false);
        paintButton(button, kBlankColor);
        buttons_[static_cast<size_t>(n - 1)] = button;
        if (n > kDayButtons) {
            button->setEnabled(false); // spare cells of the sixth row: never used
            continue;
        }
        connect(button, &QPushButton::clicked, this, [this, n] {
            selected_ = buttonDate(n);
            DISP_MYDATE();
            Q_EMIT dayClicked();
        });
        connect(button, &DayButton::rightPressed, this, [this, n] {
            selected_ = buttonDate(n);
            Q_EMIT dayRightPressed();
        });
    }

    auto makeDisplay = [&](const QString& name, const QRect& r, const QString& tip) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setGeometry(r);
        label->setToolTip(tip);
        label->setFont(controls::gothicFont(12, true));
        label->setAlignment(Qt::AlignCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        setBackground(label, QColor(0x00, 0x00, 0x80));
        setTextColor(label, QColor(0x80, 0xFF, 0x80));
        return label;
    };
    Label10 = makeDisplay(QStringLiteral("Label10"), QRect(8, 176, 73, 25), QStringLiteral("現在時刻"));
    Label11 = makeDisplay(QStringLiteral("Label11"), QRect(88, 176, 105, 25), QStringLiteral("今日の日付"));

    clockFormat_ = clockFormat(QLocale::system().timeFormat(QLocale::ShortFormat));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &CalendarPanel::tick);

    connect(SpinButton1, &controls::SpinButton::valueChanged, this, &CalendarPanel::yearSpinChanged);
    connect(SpinButton2, &controls::SpinButton::valueChanged, this, &CalendarPanel::monthSpinChanged);
    connect(Text1, &QLineEdit::editingFinished, this, &CalendarPanel::yearBoxEdited);
    connect(Text2, &QLineEdit::editingFinished, this, &CalendarPanel::monthBoxEdited);
}

void CalendarPanel::initialiseFromToday() {
    const QDate today = platform::today();
    Text1->setText(QString::number(today.year()));
    SpinButton1->setValue(today.year());
    Text2->setText(QString::number(today.month()));
    SpinButton2->setValue(today.month());
    selected_ = QDate(today.year(), Text2->text().toInt(), today.day());
    Label10->setText(QLocale::system().toString(platform::now().time(), clockFormat_));
    Label11->setText(store::dateString(today));
    Timer1->start();
}

void CalendarPanel::tick() {
    Label10->setText(QLocale::system().toString(platform::now().time(), clockFormat_));
    // Queued: what listens (the alarm check) may open a message box, and a timer does not fire
    // again while its own handler runs; the clock must keep going while the box is open.
    QMetaObject::invokeMethod(this, &CalendarPanel::ticked, Qt::QueuedConnection);
}

void CalendarPanel::paintButton(QPushButton* button, qint32 color) {
    const QColor c = platform::toQColor(color);
    if (button->palette().color(QPalette::Button) == c && button->autoFillBackground())
        return;
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, c);
    pal.setColor(QPalette::Window, c);
    pal.setColor(QPalette::ButtonText, Qt::black);
    button->setPalette(pal);
    button->setAutoFillBackground(true);
}

void CalendarPanel::restoreInvalidBoxes() {
    // Typed text that is no whole number in range never reaches the grid: the last good value,
    // which the spin button holds, comes back. A valid number is written back in plain form.
    const std::optional<int> year = parseYear(Text1->text());
    const QString yearText = QString::number(year.value_or(SpinButton1->value()));
    if (Text1->text() != yearText)
        Text1->setText(yearText);
    const std::optional<int> month = parseMonth(Text2->text());
    const int goodMonth = SpinButton2->value() >= 1 && SpinButton2->value() <= 12 ? SpinButton2->value() : 1;
    const QString monthText = QString::number(month.value_or(goodMonth));
    if (Text2->text() != monthText)
        Text2->setText(monthText);
}

bool CalendarPanel::CALEN_COLOR(const QStringList& markedDates, int day) const {
    if (!settings_.KARE_ON)
        return false;
    return markedDates.contains(Text1->text() + QLatin1Char('/') + Text2->text() + QLatin1Char('/') +
                                QString::number(day));
}

void CalendarPanel::kareSET() {
    ++builds_;
    restoreInvalidBoxes();
    const int year = Text1->text().toInt();
    const int month = Text2->text().toInt();

    // One query for the whole month instead of one per day; a failing query colours nothing.
    data1_.setDatabaseName(settings_.START_FILE);
    QStringList marked;
    if (settings_.KARE_ON && !settings_.START_FILE.isEmpty()) {
        QStringList keys;
        for (int d = 1; d <= 31; ++d)
            keys << Text1->text() + QLatin1Char('/') + Text2->text() + QLatin1Char('/') + QString::number(d);
        // A file held locked by another program leaves the month uncoloured for now rather than
        // freezing the calendar for the connection's lock wait on every step.
        if (!data1_.openDatabase()) {
            const store::ShortLockWait wait(data1_, kColouringBusyTimeoutMs);
            marked = store::datesWithItems(data1_, keys);
        }
    }

    const std::array<int, kDayButtons> days = layMonth(year, month);
    for (int n = 1; n <= kDayButtons; ++n) {
        DayButton* button = dayButton(n);
        const int day = days[static_cast<size_t>(n - 1)];
        if (day == 0) {
            button->setText(QString());
            button->setEnabled(false);
            paintButton(button, kBlankColor);
            continue;
        }
        button->setText(QString::number(day));
        button->setEnabled(true);
        paintButton(button, CALEN_COLOR(marked, day) ? settings_.kareCRL : kBlankColor);
    }
    DISP_MYDATE();
}

void CalendarPanel::FONT_CLR() {
    const QFont plain = controls::gothicFont(9);
    for (int n = 1; n <= kDayButtons; ++n)
        if (dayButton(n)->font() != plain)
            dayButton(n)->setFont(plain);
}

void CalendarPanel::DISP_MYDATE() {
    FONT_CLR();
    if (leadingNumber(Text1->text()) != selected_.year() || leadingNumber(Text2->text()) != selected_.month())
        return;
    for (int n = 1; n <= kDayButtons; ++n) {
        if (leadingNumber(dayButton(n)->text()) == selected_.day()) {
            dayButton(n)->setFont(controls::markerFont(controls::gothicFont(9)));
            break;
        }
    }
}

QDate CalendarPanel::buttonDate(int n) const {
    const_cast<CalendarPanel*>(this)->restoreInvalidBoxes();
    return QDate(Text1->text().toInt(), Text2->text().toInt(), leadingNumber(dayButton(n)->text()));
}

void CalendarPanel::kyou() {
    const QDate today = platform::today();
    selected_ = today;
    Text1->setText(QString::number(today.year()));
    SpinButton1->setValue(today.year());
    Text2->setText(QString::number(today.month()));
    SpinButton2->setValue(today.month());
    kareSET();
}

void CalendarPanel::yearSpinChanged(int value) {
    Text1->setText(QString::number(value));
    if (!Text2->text().isEmpty())
        kareSET();
}

void CalendarPanel::monthSpinChanged(int value) {
    if (value == 0 || value == 13) {
        const int year = SpinButton1->value() + (value == 0 ? -1 : 1);
        if (year < kMinYear || year > kMaxYear) {
            // The year would leave 100..3000: the step is refused and the month stays.
            SpinButton2->setValue(value == 0 ? 1 : 12);
            return;
        }
        SpinButton2->setValue(value == 0 ? 12 : 1);
        Text2->setText(value == 0 ? QStringLiteral("12") : QStringLiteral("1"));
        SpinButton1->setValue(year);
        Text1->setText(QString::number(SpinButton1->value()));
    } else {
        Text2->setText(QString::number(value));
    }
    if (!Text1->text().isEmpty())
        kareSET();
}

void CalendarPanel::yearBoxEdited() {
    const std::optional<int> year = parseYear(Text1->text());
    if (!year) {
        restoreInvalidBoxes();
        return;
    }
    if (*year != SpinButton1->value())
        SpinButton1->setValue(*year); // rebuilds through the spin's change handler
    else
        Text1->setText(QString::number(*year));
}

void CalendarPanel::monthBoxEdited() {
    const std::optional<int> month = parseMonth(Text2->text());
    if (!month) {
        restoreInvalidBoxes();
        return;
    }
    if (*month != SpinButton2->value())
        SpinButton2->setValue(*month);
    else
        Text2->setText(QString::number(*month));
}

} // namespace calendar
