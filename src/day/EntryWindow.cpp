#include "day/EntryWindow.h"

#include "calendar/Holidays.h"
#include "controls/Accessible.h"
#include "controls/ClassicFrame.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/TextLimit.h"
#include "controls/WindowSetup.h"
#include "platform/Colors.h"
#include "platform/Services.h"
#include "settings/Settings.h"
#include "shell/Host.h"
#include "store/DayStore.h"
#include "store/ItemRules.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace day {

namespace {

// Sets a level combo's text as the user would: picking the item when it is one of the five,
// otherwise typing the text into its edit part.
void setComboText(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text, Qt::MatchExactly);
    if (index >= 0 && !text.isEmpty()) {
        combo->setCurrentIndex(index);
    } else {
        combo->setCurrentIndex(-1);
        combo->setEditText(text);
    }
}

// A level text ("ﾚﾍﾞﾙ2") and a four-digit time fill their narrow boxes: a slightly condensed face
// and no text margins keep them whole instead of scrolling their first character out of sight.
void fitNarrowText(QWidget* box, QLineEdit* edit) {
    QFont font = box->font();
    font.setStretch(85); // per cent of the normal width
    box->setFont(font);
    edit->setTextMargins(0, 0, 0, 0);
}

QLabel* whiteOnNavy(QWidget* parent, const char* name, const QString& text, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0x00, 0x80));
    pal.setColor(QPalette::WindowText, QColor(0xFF, 0xFF, 0xFF));
    label->setPalette(pal);
    return label;
}

const QString kWriteFailed = QStringLiteral("予定を書き込めませんでした。");
const QString kReadFailed = QStringLiteral("予定を読み込めませんでした。");

} // namespace

EntryWindow::EntryWindow(shell::Host& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      host_(host) {
    setObjectName(QStringLiteral("D_input"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Daduvov-予定入力"));
    setWindowIcon(QIcon(QStringLiteral(":/day/entry.png")));
    setFont(controls::gothicFont(9));
    setFixedSize(controls::px(5940), controls::px(4905));
    buildControls();
    connectEvents();
    orderTabs();
    controls::closeOnEscape(this);
    describeControls();
}

// The window may be destroyed together with the main window at program end; it then must not
// call back into the main window, so nothing here touches host_.
EntryWindow::~EntryWindow() = default;

void EntryWindow::buildControls() {
    buildButtons();
    buildHeadings();
    for (int i = 0; i < store::kSlotCount; ++i)
        slotControls_[static_cast<std::size_t>(i)] = buildSlot(i);
}

void EntryWindow::buildButtons() {
    auto button = [this](const char* name, const char* icon, const QString& tip, int left) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(QIcon(QLatin1String(icon)));
        b->setIconSize(QSize(32, 32));
        b->setToolTip(tip);
        controls::placeTwips(b, left, 120, 615, 615);
        return b;
    };
    todayButton_ = button("Command1", ":/day/today.png", QStringLiteral("入力日付を今日にする"), 240);
    writeButton_ = button("Command4", ":/day/write.png", QStringLiteral("予定の書込み"), 840);
    discardButton_ = button("Command3", ":/day/discard.png", QStringLiteral("予定の破棄"), 1440);
    endButton_ = button("Command2", ":/day/end.png", QStringLiteral("予定入力の終了"), 5040);
}

void EntryWindow::buildHeadings() {
    dateLabel_ = new QLabel(this);
    dateLabel_->setObjectName(QStringLiteral("Label1"));
    dateLabel_->setTextFormat(Qt::PlainText);
    dateLabel_->setFont(controls::gothicFont(12, true));
    controls::placeTwips(dateLabel_, 1320, 960, 1455, 255);
    dateSuffixLabel_ = new QLabel(QStringLiteral("の予定入力"), this);
    dateSuffixLabel_->setObjectName(QStringLiteral("Label2"));
    dateSuffixLabel_->setFont(controls::minchoFont(12, true));
    controls::placeTwips(dateSuffixLabel_, 2640, 960, 1695, 255);
    holidayHeading_ = std::make_unique<HolidayHeading>(dateLabel_, dateSuffixLabel_, width() - 8);

    const QFont heading = controls::gothicFont(9.75, true);
    controls::placeTwips(whiteOnNavy(this, "Label3", QStringLiteral("重要度など"), heading), 0, 1440, 1095,
                         495);
    controls::placeTwips(whiteOnNavy(this, "Label4", QStringLiteral("予  定  内  容"), heading), 1200, 1440,
                         3135, 495);
    controls::placeTwips(whiteOnNavy(this, "Label5", QStringLiteral("ALM設定/時刻"), heading), 4440, 1440,
                         1455, 255);
    controls::placeTwips(
        whiteOnNavy(this, "Label6", QStringLiteral("時刻は4桁数字入力"), controls::gothicFont(8.25)), 4440,
        1680, 1455, 255);
}

EntryWindow::SlotControls EntryWindow::buildSlot(int index) {
    const QString n = QString::number(index + 1);
    SlotControls slot;
    // The caption stands on the frame's top line, so the slot's controls keep their places
    // inside the low frame.
    slot.frame = new controls::ClassicFrame(this);
    slot.frame->setObjectName(QStringLiteral("Frame") + n);
    controls::placeTwips(slot.frame, 0, 2040 + 720 * index, 5895, 615);

    slot.level = new QComboBox(slot.frame);
    slot.level->setObjectName(QStringLiteral("Combo") + n);
    slot.level->setEditable(true);
    // A typed level text is only the slot's level text, never a new item of the list, and
    // the edit part shows exactly what was typed.
    slot.level->setInsertPolicy(QComboBox::NoInsert);
    slot.level->setCompleter(nullptr);
    slot.level->setToolTip(QStringLiteral("予定の重要度を選択します"));
    fitNarrowText(slot.level, slot.level->lineEdit());
    controls::placeTwips(slot.level, 120, 240, 855, 300);

    slot.content = new QLineEdit(slot.frame);
    slot.content->setObjectName(QStringLiteral("Text") + n);
    slot.content->setToolTip(QStringLiteral("予定内容を記入します"));
    controls::limitCodePoints(slot.content, store::kContentWidth);
    controls::placeTwips(slot.content, 960, 240, 3375, 270);

    slot.alarm = new QCheckBox(QStringLiteral("ｱﾗｰﾑ"), slot.frame);
    slot.alarm->setObjectName(QStringLiteral("Check") + n);
    slot.alarm->setToolTip(QStringLiteral("アラームの設定"));
    controls::placeTwips(slot.alarm, 4440, 240, 855, 255);

    slot.time = new QLineEdit(slot.frame);
    slot.time->setObjectName(QStringLiteral("Text") + QString::number(index + 1 + store::kSlotCount));
    slot.time->setToolTip(QStringLiteral("アラーム時刻の記入"));
    controls::limitCodePoints(slot.time, store::kTimeWidth);
    fitNarrowText(slot.time, slot.time);
    controls::placeTwips(slot.time, 5280, 240, 495, 270);
    return slot;
}

// Every change of a control marks the window changed, also when a load sets it; a level change
// recolours the content boxes first.
void EntryWindow::connectEvents() {
    connect(todayButton_, &QPushButton::clicked, this, &EntryWindow::todayClicked);
    connect(endButton_, &QPushButton::clicked, this, &EntryWindow::close);
    connect(discardButton_, &QPushButton::clicked, this, &EntryWindow::discardClicked);
    connect(writeButton_, &QPushButton::clicked, this, &EntryWindow::writeClicked);
    const auto markChanged = [this] { changed_ = true; };
    for (const SlotControls& slot : slotControls_) {
        connect(slot.content, &QLineEdit::textChanged, this, markChanged);
        connect(slot.time, &QLineEdit::textChanged, this, markChanged);
        connect(slot.alarm, &QCheckBox::toggled, this, markChanged);
        connect(slot.level, &QComboBox::editTextChanged, this, &EntryWindow::showLevelColours);
        connect(slot.level, &QComboBox::activated, this, &EntryWindow::showLevelColours);
    }
}

// As the window reads: the buttons of the top row from left to right, then each slot's row from
// left to right (level, content, alarm switch, time).
void EntryWindow::orderTabs() {
    QList<QWidget*> order{todayButton_, writeButton_, discardButton_, endButton_};
    for (const SlotControls& slot : slotControls_)
        order << slot.level << slot.content << slot.alarm << slot.time;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

bool EntryWindow::load() {
    date_ = host_.selectedDate();
    showDateHeading();
    const settings::Settings& s = host_.settings();
    if (s.scheduleFile.isEmpty())
        return false;
    for (const SlotControls& slot : slotControls_) {
        slot.level->addItems(store::levelTexts());
        setComboText(slot.level, store::levelText(1));
    }
    if (const store::Error error = loadDay(); error.failed()) {
        // Nothing was loaded: a window left open now would write its empty slots over the
        // stored items of the date, so it closes after telling the user why.
        changed_ = false;
        reportError(kReadFailed, error);
        return false;
    }
    for (int slot = 1; slot <= store::kSlotCount; ++slot) {
        // A user's slot name is shown as written: "&" is not a mnemonic here.
        QString label = settings::itemLabel(s, slot);
        slotControls_[static_cast<std::size_t>(slot - 1)].frame->setTitle(
            label.replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
    changed_ = false;
    controls::centreOnScreen(this);
    slotControls_.front().content->setFocus();
    return true;
}

store::Error EntryWindow::loadDay() {
    const QString& file = host_.settings().scheduleFile;
    if (file.isEmpty())
        return store::cannotOpen(QStringLiteral("先にデータファイルを設定してください"));
    dayStore_.setPath(file);
    // The whole date is read first: a missing table or a locked file shows here, before anything
    // in the window has been cleared.
    std::array<store::SlotItem, store::kSlotCount> stored;
    if (const store::Error error = dayStore_.readDay(date_, stored); error.failed())
        return error;

    for (std::size_t i = 0; i < slotControls_.size(); ++i)
        showSlot(i, stored[i]);
    return {};
}

void EntryWindow::showSlot(std::size_t index, const store::SlotItem& item) {
    const SlotControls& slot = slotControls_[index];
    loaded_[index] = item;
    slot.content->setText(item.content);
    const int level = store::levelNumber(item.levelText);
    setComboText(slot.level, store::levelText(level));
    slot.alarm->setChecked(item.alarm);
    slot.time->setText(item.timeText);
}

void EntryWindow::clearSlots() {
    for (const SlotControls& slot : slotControls_) {
        slot.content->setText(QString());
        setComboText(slot.level, QString());
        slot.alarm->setChecked(false);
        slot.time->setText(QString());
    }
}

bool EntryWindow::saveDay() {
    if (!fileIsSet())
        return false;
    dayStore_.setPath(host_.settings().scheduleFile);
    std::array<store::SlotItem, store::kSlotCount> items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const SlotControls& slot = slotControls_[i];
        items[i] = {slot.content->text(), slot.level->currentText(), slot.alarm->isChecked(),
                    slot.time->text()};
    }
    std::vector<store::SlotConflict> conflicts;
    store::Error error;
    while ((error = dayStore_.saveDay(date_, loaded_, items, &conflicts)).code == store::kChangedElsewhere) {
        if (!confirmOverwrite(conflicts)) {
            offerStoredItems(conflicts);
            return false;
        }
        // Overwrite what the user has now seen; anything newer is asked about again.
        for (const store::SlotConflict& conflict : conflicts)
            loaded_[static_cast<std::size_t>(conflict.slot - 1)] = conflict.stored;
    }
    if (error.failed()) {
        reportError(kWriteFailed, error);
        return false;
    }
    return true;
}

bool EntryWindow::confirmOverwrite(const std::vector<store::SlotConflict>& conflicts) {
    const auto describeItem = [](const store::SlotItem& item) {
        if (item.content.isEmpty())
            return QStringLiteral("（なし）");
        QString text = item.content;
        if (!item.levelText.isEmpty())
            text += QStringLiteral("　") + item.levelText;
        if (item.alarm)
            text += QStringLiteral("　アラーム ") + item.timeText;
        return text;
    };
    QString text = QStringLiteral("他のプログラムがこの日の予定を変更しています。\n");
    for (const store::SlotConflict& conflict : conflicts) {
        text += QStringLiteral("\n【%1】\n　ファイル：%2\n　この画面：%3\n")
                    .arg(settings::itemLabel(host_.settings(), conflict.slot), describeItem(conflict.stored),
                         describeItem(conflict.wanted));
    }
    text += QStringLiteral("\nこの画面の内容で上書きしますか？");
    return platform::message(text, QStringLiteral("データ保存確認"), platform::Icon::Exclamation,
                             platform::Buttons::OverwriteCancel) == platform::Answer::Yes;
}

void EntryWindow::offerStoredItems(const std::vector<store::SlotConflict>& conflicts) {
    if (platform::message(QStringLiteral("他のプログラムが保存した内容をこの画面に読み込みますか？\n"
                                         "（読み込んだ項目について、この画面で入力した内容は失われます）"),
                          QStringLiteral("データ保存確認"), platform::Icon::Question,
                          platform::Buttons::YesNo) != platform::Answer::Yes)
        return;
    for (const store::SlotConflict& conflict : conflicts)
        showSlot(static_cast<std::size_t>(conflict.slot - 1), conflict.stored);
    showLevelColours();
}

void EntryWindow::showLevelColours() {
    const settings::Settings& s = host_.settings();
    for (const SlotControls& slot : slotControls_) {
        const std::optional<int> level = store::levelOfText(slot.level->currentText());
        if (!level)
            continue;
        // The level's colour on white whatever the theme, so that it stays readable.
        QPalette pal = slot.content->palette();
        pal.setColor(QPalette::Text, controls::textColourOnWhite(s.levelColor(*level)));
        pal.setColor(QPalette::Base, Qt::white);
        slot.content->setPalette(pal);
    }
    changed_ = true;
}

void EntryWindow::showDateHeading() {
    holidayHeading_->show(QString()); // the row as laid, before measuring it
    dateLabel_->setText(store::dateString(date_));
    // The date ends where "の予定入力" begins: a long date (2026/12/28) is set a little smaller
    // until it fits in front of it.
    const int room = dateSuffixLabel_->x() - dateLabel_->x();
    QFont font = controls::gothicFont(12, true);
    // Measured at the label's own resolution (a font made here knows only the default one).
    while (font.pointSizeF() > 8 &&
           QFontMetrics(font, dateLabel_).horizontalAdvance(dateLabel_->text()) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    dateLabel_->setFont(font);
    holidayHeading_->show(calendar::holidayName(date_));
    describeDate();
}

void EntryWindow::describeControls() {
    controls::setAccessibleRole(this, QAccessible::Dialog);
    controls::setAccessibleName(todayButton_, QStringLiteral("今日"));
    controls::setAccessibleName(writeButton_, QStringLiteral("書込み"));
    controls::setAccessibleName(discardButton_, QStringLiteral("破棄"));
    controls::setAccessibleName(endButton_, QStringLiteral("終了"));
    controls::fitCaptions(this);
    for (std::size_t i = 0; i < slotControls_.size(); ++i) {
        const SlotControls& slot = slotControls_[i];
        const QString item = QStringLiteral("項目%1 ").arg(i + 1);
        controls::setAccessibleName(slot.content, item + QStringLiteral("内容"));
        controls::setAccessibleName(slot.level, item + QStringLiteral("レベル"));
        controls::setAccessibleName(slot.alarm, item + QStringLiteral("アラーム"));
        controls::setAccessibleName(slot.time, item + QStringLiteral("時刻"));
        // "Written" is said once, after 書込み; a change afterwards takes it back.
        connect(slot.content, &QLineEdit::textEdited, this, [this] { controls::announce(writeButton_, {}); });

        // With larger system fonts the narrow boxes keep their size and their whole text.
        slot.time->setFont(
            controls::fitText(slot.time->font(), QStringLiteral("8888"), slot.time->width() - 8));
        controls::fitComboText(slot.level, store::levelText(5));
    }
}

void EntryWindow::describeDate() {
    // The title is the program's fixed caption; the date goes into the name a reader speaks.
    controls::setAccessibleName(this, windowTitle() + QLatin1Char(' ') + spokenDate(date_));
}

bool EntryWindow::fileIsSet() {
    if (!host_.settings().scheduleFile.isEmpty())
        return true;
    platform::message(QStringLiteral("先にデータファイルを設定してください"));
    return false;
}

void EntryWindow::reportError(const QString& what, const store::Error& error) {
    platform::message(what + QLatin1Char('\n') + store::describe(error), platform::kAppTitle,
                      platform::Icon::Exclamation, platform::Buttons::Ok);
}

bool EntryWindow::askToSave() {
    if (!changed_)
        return true;
    const platform::Answer answer = platform::message(
        QStringLiteral("内容が変更されています。保存しますか？"), QStringLiteral("データ保存確認"),
        platform::Icon::Exclamation, platform::Buttons::YesNo);
    if (answer != platform::Answer::Yes)
        return true;
    // A failed save keeps the flag and stops the action, so the typed items stay in the window.
    if (!saveDay())
        return false;
    changed_ = false;
    return true;
}

void EntryWindow::todayClicked() {
    if (!askToSave())
        return;
    const QDate previous = date_;
    date_ = platform::today();
    if (const store::Error error = loadDay(); error.failed()) {
        // The controls still hold the items of the date shown so far; keep showing that date.
        date_ = previous;
        reportError(kReadFailed, error);
        return;
    }
    host_.setSelectedDate(date_);
    showDateHeading();
    changed_ = false;
}

void EntryWindow::discardClicked() {
    clearSlots();
    if (saveDay())
        changed_ = false;
}

void EntryWindow::writeClicked() {
    controls::announce(writeButton_, {});
    if (saveDay()) {
        changed_ = false;
        controls::announce(writeButton_, QStringLiteral("書き込みました"));
    }
}

void EntryWindow::closeEvent(QCloseEvent* event) {
    if (!askToSave()) {
        event->ignore();
        return;
    }
    host_.setMainEnabled(true);
    dayStore_.close();
    host_.rebuildMonthGrid();
    event->accept();
}

} // namespace day
