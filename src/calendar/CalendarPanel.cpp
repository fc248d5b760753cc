#include "calendar/CalendarPanel.h"

#include "calendar/Holidays.h"
#include "calendar/MonthGrid.h"
#include "controls/Accessible.h"
#include "controls/ClassicFrame.h"
#include "controls/ClockFace.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/ShortcutPriority.h"
#include "controls/SpinButton.h"
#include "platform/Colors.h"
#include "platform/Services.h"
#include "store/DayStore.h"

#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QToolButton>

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

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& r) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(r);
    label->setFont(controls::gothicFont(9));
    setTextColor(label, Qt::black);
    return label;
}

QLineEdit* makeBox(QWidget* parent, const QString& name, const QRect& r) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(r);
    box->setFont(controls::gothicFont(9));
    box->setTextMargins(0, 0, 0, 0);
    // Black on white whatever the theme: the text colour is fixed, so is its ground.
    QPalette pal = box->palette();
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::Base, Qt::white);
    box->setPalette(pal);
    return box;
}

// The clock and date labels: light green on dark blue in a sunken panel.
template <class Display>
Display* makeDisplay(QWidget* parent, const QString& name, const QRect& r, const QString& tip) {
    auto* label = new Display(parent);
    label->setObjectName(name);
    label->setGeometry(r);
    label->setToolTip(tip);
    label->setFont(controls::gothicFont(12, true));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    setBackground(label, QColor(0x00, 0x00, 0x80));
    setTextColor(label, QColor(0x80, 0xFF, 0x80));
    return label;
}

// A day button as a screen reader sees it: its own name only (a blank cell has none, rather than
// the frame's caption, and is not shown to the reader), pressable, and selected when it is the
// Selected date.
class DayButtonAccessible : public QAccessibleWidget {
  public:
    explicit DayButtonAccessible(DayButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return widget()->accessibleName();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        const auto* button = static_cast<const DayButton*>(widget());
        s.selectable = button->isEnabled();
        s.selected = button->isSelectedDay();
        // A blank cell is left out of what a reader reviews.
        s.invisible = s.invisible || widget()->accessibleName().isEmpty();
        s.pressed = button->isDown();
        return s;
    }

    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction() && widget()->isEnabled())
            static_cast<DayButton*>(widget())->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* dayButtonFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(DayButton::staticMetaObject.className()))
        return new DayButtonAccessible(static_cast<DayButton*>(object));
    return nullptr;
}

QString weekdayName(const QDate& date) {
    static const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    return japanese.dayName(date.dayOfWeek());
}

} // namespace

void DayButton::setSelectedDay(bool selected) {
    if (selected == selectedDay_)
        return;
    selectedDay_ = selected;
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void DayButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        Q_EMIT rightPressed();
        return;
    }
    controls::FlatButton::mousePressEvent(event);
}

void DayButton::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && modifiers == Qt::NoModifier) {
        click();
        return;
    }
    if ((enter && modifiers == Qt::ControlModifier) || (event->key() == Qt::Key_Menu && !modifiers) ||
        (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        Q_EMIT rightPressed();
        return;
    }
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Left:
            Q_EMIT stepRequested(-1);
            return;
        case Qt::Key_Right:
            Q_EMIT stepRequested(1);
            return;
        case Qt::Key_Up:
            Q_EMIT stepRequested(-7);
            return;
        case Qt::Key_Down:
            Q_EMIT stepRequested(7);
            return;
        default:
            break;
        }
    }
    controls::FlatButton::keyPressEvent(event);
}

void DayButton::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's right button is reported on its press; the keyboard's menu request here.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        Q_EMIT rightPressed();
        event->accept();
        return;
    }
    controls::FlatButton::contextMenuEvent(event);
}

void DayButton::focusInEvent(QFocusEvent* event) {
    controls::FlatButton::focusInEvent(event);
    Q_EMIT focused();
}

CalendarPanel::CalendarPanel(settings::Settings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings), dayStore_(QString(), kColouringBusyTimeoutMs) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(dayButtonFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    buildControls();
}

void CalendarPanel::buildControls() {
    setFixedSize(202, 208);
    setBackground(this, kWindowGrey);

    frame_ = new controls::ClassicFrame(QStringLiteral("カレンダー"), this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setGeometry(8, 8, 185, 161);
    frame_->setFont(controls::gothicFont(9, true));
    frame_->setToolTip(QStringLiteral("左ｸﾘｯｸで予定表示、右ｸﾘｯｸで予定入力"));
    setBackground(frame_, kWindowGrey);
    setTextColor(frame_, QColor(0x00, 0x00, 0xC0));

    buildMonthControls();
    buildWeekdayHeader();
    buildDayButtons();
    buildClock();
    describeControls();

    // Tab follows the layout: year, its arrows, month, its arrows, then the days (one stop; the
    // arrow keys move between them).
    QWidget::setTabOrder(yearBox_, yearSpin_);
    QWidget::setTabOrder(yearSpin_, monthBox_);
    QWidget::setTabOrder(monthBox_, monthSpin_);
    QWidget::setTabOrder(monthSpin_, dayButton(1));

    // The menu's Ctrl keys work also while the year or month box has the focus.
    controls::giveWindowShortcutsPriority(this);
}

void CalendarPanel::buildMonthControls() {
    yearLabel_ = makeLabel(frame_, QStringLiteral("Label9"), QStringLiteral("年："),
                           controls::twipsRect(120, 240, 375, 255));
    monthLabel_ = makeLabel(frame_, QStringLiteral("Label8"), QStringLiteral("月："),
                            controls::twipsRect(1560, 240, 375, 255));
    for (QLabel* label : {yearLabel_, monthLabel_}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setBackground(label, kWindowGrey);
    }
    yearBox_ = makeBox(frame_, QStringLiteral("Text1"), controls::twipsRect(480, 240, 615, 270));
    monthBox_ = makeBox(frame_, QStringLiteral("Text2"), controls::twipsRect(1920, 240, 375, 270));

    yearSpin_ = new controls::SpinButton(Qt::Horizontal, frame_);
    yearSpin_->setObjectName(QStringLiteral("SpinButton1"));
    yearSpin_->setGeometry(controls::twipsRect(1080, 240, 375, 255));
    yearSpin_->setRange(kMinYear, kMaxYear);
    yearSpin_->setValue(kMinYear);
    monthSpin_ = new controls::SpinButton(Qt::Horizontal, frame_);
    monthSpin_->setObjectName(QStringLiteral("SpinButton2"));
    monthSpin_->setGeometry(controls::twipsRect(2280, 240, 375, 255));
    monthSpin_->setRange(0, 13);
    monthSpin_->setValue(1);

    connect(yearSpin_, &controls::SpinButton::valueChanged, this, &CalendarPanel::yearSpinChanged);
    connect(monthSpin_, &controls::SpinButton::valueChanged, this, &CalendarPanel::monthSpinChanged);
    connect(yearBox_, &QLineEdit::editingFinished, this, &CalendarPanel::boxEdited);
    connect(monthBox_, &QLineEdit::editingFinished, this, &CalendarPanel::boxEdited);
}

void CalendarPanel::buildWeekdayHeader() {
    const QStringList names = {QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"),
                               QStringLiteral("水"), QStringLiteral("木"), QStringLiteral("金"),
                               QStringLiteral("土")};
    for (int k = 0; k < 7; ++k) {
        QLabel* label = makeLabel(frame_, QStringLiteral("Label%1").arg(k + 1), names[k],
                                  controls::twipsRect(120 + 360 * k, 600, 375, 255));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(controls::gothicFont(9, true));
        const QColor bg = k == 0   ? QColor(0xFF, 0xC0, 0xC0)
                          : k == 6 ? QColor(0xC0, 0xFF, 0xFF)
                                   : QColor(Qt::white);
        setBackground(label, bg);
        weekdayLabels_[static_cast<size_t>(k)] = label;
    }
}

void CalendarPanel::buildDayButtons() {
    for (int n = 1; n <= kAllButtons; ++n) {
        auto* button = new DayButton(frame_);
        button->setObjectName(QStringLiteral("Command%1").arg(n));
        button->setGeometry(buttonRect(n));
        button->setFont(controls::gothicFont(9));
        button->setAutoDefault(false);
        paintButton(button, kBlankColor);
        buttons_[static_cast<size_t>(n - 1)] = button;
        if (n > kDayButtons) {
            button->setEnabled(false); // spare cells of the sixth row: never used
            button->setFocusPolicy(Qt::NoFocus);
            continue;
        }
        connect(button, &QPushButton::clicked, this, [this, n] {
            if (!selectClickedDay(n))
                return;
            markSelectedDay();
            Q_EMIT dayClicked();
        });
        connect(button, &DayButton::rightPressed, this, [this, n] {
            if (selectClickedDay(n))
                Q_EMIT dayRightPressed();
        });
        connect(button, &DayButton::stepRequested, this, [this, n](int days) { stepFocus(n, days); });
        connect(button, &DayButton::focused, this, [this, n] { setTabDay(n); });
    }
}

void CalendarPanel::buildClock() {
    clockFace_ = makeDisplay<controls::ClockFace>(this, QStringLiteral("Label10"), QRect(8, 176, 73, 25),
                                                  QStringLiteral("現在時刻"));
    dateLabel_ = makeDisplay<QLabel>(this, QStringLiteral("Label11"), QRect(88, 176, 105, 25),
                                     QStringLiteral("今日の日付"));
    dateLabel_->setAlignment(Qt::AlignCenter);

    clockFormat_ = clockFormat(QLocale::system().timeFormat(QLocale::ShortFormat));
    markRetry_.setSingleShot(true);
    markRetry_.setInterval(kMarkRetryMs);
    connect(&markRetry_, &QTimer::timeout, this, &CalendarPanel::rebuildMonthGrid);
    clockTimer_ = new QTimer(this);
    clockTimer_->setObjectName(QStringLiteral("Timer1"));
    // One tick just after each second begins: the clock turns over within a few milliseconds of
    // the second (a 100 ms timer would take up to 100 ms, and wake the program ten times as
    // often), and the alarm check runs once a second. Each tick sets the next from the time then,
    // so a clock that is set or a machine that slept is followed from the next tick on.
    clockTimer_->setSingleShot(true);
    clockTimer_->setTimerType(Qt::PreciseTimer);
    connect(clockTimer_, &QTimer::timeout, this, &CalendarPanel::tick);
}

bool CalendarPanel::selectClickedDay(int n) {
    const std::optional<QDate> date = clickedDate(n);
    if (date)
        selected_ = *date;
    return date.has_value();
}

void CalendarPanel::initialiseFromToday() {
    const QDate today = platform::today();
    shown_ = {today.year(), today.month()};
    showMonthInControls();
    selected_ = today;
    clockFace_->setText(QLocale::system().toString(platform::now().time(), clockFormat_));
    dateLabel_->setText(store::dateString(today));
    clockTimer_->start(untilNextSecond());
}

int CalendarPanel::untilNextSecond() {
    // The machine's clock, not the platform's: the timer waits in real time.
    const qint64 ms = QDateTime::currentMSecsSinceEpoch() % 1000;
    return static_cast<int>(1000 - ms) + kTickAfterSecondMs;
}

void CalendarPanel::tick() {
    // Also while the month is not coloured. Nothing is asked of the file once it has answered,
    // until the kernel reports a change to it; a file that could not answer (locked, missing) is
    // asked again after a while.
    if (!settings_.scheduleFile.isEmpty()) {
        if (readOnlyNotice_.take(settings_.scheduleFile))
            readOnlyAnswered_.clear();
        if (readOnlyAnswered_ != settings_.scheduleFile &&
            (!readOnlyRetry_.isValid() || readOnlyRetry_.hasExpired(kReadOnlyRetryMs))) {
            readOnlyRetry_.start();
            reportReadOnlyFile();
        }
    }
    clockTimer_->start(untilNextSecond());
    // A tick that comes early finds the second on show and does nothing else.
    const qint64 second = platform::epochSecond();
    if (second == shownSecond_)
        return;
    shownSecond_ = second;
    clockFace_->setText(QLocale::system().toString(platform::now().time(), clockFormat_));
    // Queued: what listens (the alarm check) may open a message box, and a timer does not fire
    // again while its own handler runs; the clock must keep going while the box is open.
    QMetaObject::invokeMethod(this, &CalendarPanel::ticked, Qt::QueuedConnection);
}

void CalendarPanel::paintButton(DayButton* button, qint32 color) {
    button->setFaceColor(platform::toQColor(color));
    if (button->palette().color(QPalette::ButtonText) != QColor(Qt::black)) {
        QPalette pal = button->palette();
        pal.setColor(QPalette::ButtonText, Qt::black);
        button->setPalette(pal);
    }
}

YearMonth CalendarPanel::boxesMonth() const {
    return {parseYear(yearBox_->text()).value_or(shown_.year),
            parseMonth(monthBox_->text()).value_or(shown_.month)};
}

void CalendarPanel::showMonthInControls() {
    const QString year = QString::number(shown_.year);
    if (yearBox_->text() != year)
        yearBox_->setText(year);
    const QString month = QString::number(shown_.month);
    if (monthBox_->text() != month)
        monthBox_->setText(month);
    const QSignalBlocker yearBlock(yearSpin_);
    const QSignalBlocker monthBlock(monthSpin_);
    yearSpin_->setValue(shown_.year);
    monthSpin_->setValue(shown_.month);
}

bool CalendarPanel::isMarkedDay(const QStringList& markedDates, int day) const {
    if (!settings_.markDaysWithItems)
        return false;
    return markedDates.contains(store::dateString(shown_.year, shown_.month, day));
}

void CalendarPanel::rebuildMonthGrid() {
    ++builds_;
    // Typed text that is no whole number in range never reaches the grid: the month on show
    // keeps that part, and the boxes show it again.
    shown_ = boxesMonth();
    showMonthInControls();

    // One query for the whole month instead of one per day; a failing query colours nothing.
    dayStore_.setPath(settings_.scheduleFile);
    QStringList marked;
    if (settings_.markDaysWithItems && !settings_.scheduleFile.isEmpty()) {
        QStringList keys;
        for (int d = 1; d <= 31; ++d)
            keys << store::dateString(shown_.year, shown_.month, d);
        // A file held locked by another program leaves the month uncoloured for a moment rather
        // than freezing the calendar for the connection's lock wait on every step; the month is
        // coloured again once the lock may be gone.
        const store::Result<QStringList> found = dayStore_.datesWithItems(keys);
        if (found.ok())
            marked = found.value();
        else if (found.error().locked() && !markRetry_.isActive())
            markRetry_.start();
        reportReadOnlyFile();
    }

    markedDates_ = marked;
    const std::array<int, kDayButtons> days = layMonth(shown_.year, shown_.month);
    for (int n = 1; n <= kDayButtons; ++n) {
        DayButton* button = dayButton(n);
        const int day = days[static_cast<size_t>(n - 1)];
        if (day == 0) {
            button->setText(QString());
            button->setToolTip(QString());
            button->setEnabled(false);
            paintButton(button, kBlankColor);
            continue;
        }
        button->setText(QString::number(day));
        button->setToolTip(dayTip(QDate(shown_.year, shown_.month, day)));
        button->setEnabled(true);
        paintButton(button, isMarkedDay(marked, day) ? settings_.markedDayColor : kBlankColor);
    }
    markSelectedDay();
    placeTabDay();
}

int CalendarPanel::buttonOfDay(int day) const {
    for (int n = 1; n <= kDayButtons; ++n)
        if (dayButton(n)->isEnabled() && leadingNumber(dayButton(n)->text()) == day)
            return n;
    return 0;
}

void CalendarPanel::setTabDay(int n) {
    for (int k = 1; k <= kDayButtons; ++k)
        if (dayButton(k)->isEnabled())
            dayButton(k)->setFocusPolicy(k == n ? Qt::StrongFocus : Qt::ClickFocus);
}

void CalendarPanel::placeTabDay() {
    const QWidget* focus = window()->focusWidget();
    for (int n = 1; n <= kDayButtons; ++n) {
        if (dayButton(n) == focus && dayButton(n)->isEnabled()) {
            setTabDay(n);
            return;
        }
    }
    const bool selectedShown = shown_.year == selected_.year() && shown_.month == selected_.month();
    const int n = buttonOfDay(selectedShown ? selected_.day() : 1);
    setTabDay(n > 0 ? n : buttonOfDay(1));
}

bool CalendarPanel::focusDay(const QDate& date) {
    if (!date.isValid() || shown_.year != date.year() || shown_.month != date.month())
        return false;
    const int n = buttonOfDay(date.day());
    if (n == 0)
        return false;
    setTabDay(n);
    dayButton(n)->setFocus(Qt::OtherFocusReason);
    return true;
}

QDate CalendarPanel::focusedDay() const {
    const QWidget* focus = window()->focusWidget();
    for (int n = 1; n <= kDayButtons; ++n)
        if (dayButton(n) == focus && dayButton(n)->isEnabled())
            return buttonDate(n);
    return {};
}

void CalendarPanel::stepFocus(int n, int days) {
    const std::optional<QDate> from = clickedDate(n);
    if (!from)
        return;
    const QDate to = from->addDays(days);
    if (to.year() < kMinYear || to.year() > kMaxYear)
        return;
    if (to.year() != shown_.year || to.month() != shown_.month) {
        yearBox_->setText(QString::number(to.year()));
        monthBox_->setText(QString::number(to.month()));
        rebuildMonthGrid();
    }
    focusDay(to);
}

QString CalendarPanel::dayTip(const QDate& date) const {
    // A day without a holiday keeps the calendar frame's tip; a holiday's name stands above it.
    const QString holiday = holidayName(date);
    if (holiday.isEmpty())
        return {};
    return holiday + u'\n' + frame_->toolTip();
}

void CalendarPanel::reportReadOnlyFile() {
    if (readOnlyAnswered_ == settings_.scheduleFile)
        return;
    dayStore_.setPath(settings_.scheduleFile);
    const store::Result<QString> status = dayStore_.readOnlyStatus();
    if (!status.ok())
        return; // asked again later
    const QString reason = status.value();
    const bool again = readOnlyReported_ == settings_.scheduleFile;
    readOnlyAnswered_ = settings_.scheduleFile;
    if (reason.isEmpty() || again)
        return;
    readOnlyReported_ = settings_.scheduleFile;
    // Queued: the month may be rebuilt from the clock's timer, which a modal box would hold up.
    QMetaObject::invokeMethod(
        this,
        [reason] {
            platform::message(reason, platform::kAppTitle, platform::Icon::Exclamation,
                              platform::Buttons::Ok);
        },
        Qt::QueuedConnection);
}

void CalendarPanel::describeControls() {
    controls::setAccessibleName(yearBox_, QStringLiteral("年"));
    controls::setAccessibleName(monthBox_, QStringLiteral("月"));
    controls::setAccessibleName(yearSpin_, QStringLiteral("年の切り替え"));
    controls::setAccessibleName(monthSpin_, QStringLiteral("月の切り替え"));
    controls::setAccessibleName(yearSpin_->downButton(), QStringLiteral("前の年"));
    controls::setAccessibleName(yearSpin_->upButton(), QStringLiteral("次の年"));
    controls::setAccessibleName(monthSpin_->downButton(), QStringLiteral("前の月"));
    controls::setAccessibleName(monthSpin_->upButton(), QStringLiteral("次の月"));

    // With larger system fonts the fixed boxes keep their size; their texts get smaller instead
    // of losing their first or last characters.
    controls::fitCaptions(this);
    const auto fitBox = [](QLineEdit* box, const QString& widest) {
        box->setFont(controls::fitText(box->font(), widest, box->width() - 8));
    };
    fitBox(yearBox_, QStringLiteral("8888"));
    fitBox(monthBox_, QStringLiteral("88"));
    const QString widestTime = QLocale::system().toString(QTime(20, 58, 58), clockFormat_);
    clockFace_->setFont(
        controls::fitText(clockFace_->font(), widestTime, clockFace_->contentsRect().width()));
    dateLabel_->setFont(controls::fitText(dateLabel_->font(), store::dateString(2088, 12, 28),
                                          dateLabel_->contentsRect().width()));
}

void CalendarPanel::describeDays() {
    const QString month = QStringLiteral("%1年%2月").arg(shown_.year).arg(shown_.month);
    for (controls::SpinButton* spin : {yearSpin_, monthSpin_})
        controls::announce(spin, month);
    for (int n = 1; n <= kDayButtons; ++n) {
        DayButton* button = dayButton(n);
        const int day = leadingNumber(button->text());
        const QDate date(shown_.year, shown_.month, day);
        if (day == 0 || !date.isValid() || !button->isEnabled()) {
            button->setFocusPolicy(Qt::NoFocus);
            controls::setAccessibleName(button, QString());
            button->setSelectedDay(false);
            continue;
        }
        button->setFocusPolicy(Qt::StrongFocus);
        QStringList parts{QStringLiteral("%1月%2日").arg(date.month()).arg(date.day()), weekdayName(date)};
        if (const QString holiday = holidayName(date); !holiday.isEmpty())
            parts << holiday;
        if (isMarkedDay(markedDates_, day))
            parts << QStringLiteral("予定あり");
        const bool selected = date == selected_;
        if (selected)
            parts << QStringLiteral("選択中");
        controls::setAccessibleName(button, parts.join(QLatin1Char(' ')));
        button->setSelectedDay(selected);
    }
}

void CalendarPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A new theme: the buttons take their colours again (a marked day may use a system colour).
    if (event->type() == QEvent::PaletteChange && builds_ > 0 && !repainting_) {
        repainting_ = true;
        rebuildMonthGrid();
        repainting_ = false;
    }
}

void CalendarPanel::clearDayMarker() {
    const QFont plain = controls::gothicFont(9);
    for (int n = 1; n <= kDayButtons; ++n)
        if (dayButton(n)->font() != plain)
            dayButton(n)->setFont(plain);
}

void CalendarPanel::markSelectedDay() {
    clearDayMarker();
    if (shown_.year != selected_.year() || shown_.month != selected_.month()) {
        describeDays();
        return;
    }
    for (int n = 1; n <= kDayButtons; ++n) {
        if (leadingNumber(dayButton(n)->text()) == selected_.day()) {
            dayButton(n)->setFont(controls::markerFont(controls::gothicFont(9)));
            break;
        }
    }
    describeDays();
}

QDate CalendarPanel::buttonDate(int n) const {
    return QDate(shown_.year, shown_.month, leadingNumber(dayButton(n)->text()));
}

std::optional<QDate> CalendarPanel::clickedDate(int n) {
    if (boxesMonth() != shown_)
        rebuildMonthGrid();
    const QDate date = buttonDate(n);
    if (!date.isValid() || !dayButton(n)->isEnabled())
        return std::nullopt;
    return date;
}

void CalendarPanel::showToday() {
    const QDate today = platform::today();
    selected_ = today;
    yearBox_->setText(QString::number(today.year()));
    monthBox_->setText(QString::number(today.month()));
    rebuildMonthGrid();
}

void CalendarPanel::yearSpinChanged(int value) {
    yearBox_->setText(QString::number(value));
    if (!monthBox_->text().isEmpty())
        rebuildMonthGrid();
}

void CalendarPanel::monthSpinChanged(int value) {
    if (value == 0 || value == 13) {
        const int year = yearSpin_->value() + (value == 0 ? -1 : 1);
        if (year < kMinYear || year > kMaxYear) {
            // The year would leave 100..3000: the step is refused and the month stays.
            const QSignalBlocker block(monthSpin_);
            monthSpin_->setValue(value == 0 ? 1 : 12);
            return;
        }
        monthBox_->setText(value == 0 ? QStringLiteral("12") : QStringLiteral("1"));
        yearBox_->setText(QString::number(year));
    } else {
        monthBox_->setText(QString::number(value));
    }
    if (!yearBox_->text().isEmpty())
        rebuildMonthGrid();
}

void CalendarPanel::boxEdited() {
    if (boxesMonth() != shown_)
        rebuildMonthGrid();
    else
        showMonthInControls();
}

} // namespace calendar
