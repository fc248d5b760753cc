#include "day/EntryWindow.h"

#include "calendar/MainHost.h"
#include "controls/ClassicFrame.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "day/DayItems.h"
#include "platform/Colors.h"
#include "platform/Services.h"
#include "settings/Settings.h"
#include "store/DayStore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <sqlite3.h>

namespace day {

namespace {

// Keeps a text box within `limit` characters counted as code points. QLineEdit::setMaxLength
// counts UTF-16 units, so an emoji would use up two of the field's characters; the box therefore
// allows twice the units and this validator cuts the text back to `limit` code points, dropping
// what was just inserted before the cursor (as maxLength cuts the tail of an insertion). A
// surrogate half left alone by such a cut is dropped too, so only whole characters are stored.
class CodePointLimit : public QValidator {
  public:
    CodePointLimit(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& input, int& pos) const override {
        for (qsizetype i = 0; i < input.size();) {
            const QChar c = input.at(i);
            if (c.isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()) {
                i += 2;
            } else if (c.isSurrogate()) {
                input.remove(i, 1);
                if (i < pos)
                    --pos;
            } else {
                ++i;
            }
        }
        qsizetype excess = codePoints(input) - limit_;
        while (excess > 0) {
            qsizetype end = pos > 0 ? pos : input.size();
            const qsizetype width =
                end >= 2 && input.at(end - 1).isLowSurrogate() && input.at(end - 2).isHighSurrogate() ? 2 : 1;
            input.remove(end - width, width);
            if (pos > 0)
                pos -= static_cast<int>(width);
            --excess;
        }
        return Acceptable;
    }

  private:
    static qsizetype codePoints(const QString& s) {
        qsizetype n = 0;
        for (qsizetype i = 0; i < s.size(); ++i)
            if (!s.at(i).isLowSurrogate())
                ++n;
        return n;
    }

    int limit_;
};

void limitLength(QLineEdit* box, int codePoints) {
    box->setMaxLength(2 * codePoints);
    box->setValidator(new CodePointLimit(codePoints, box));
}

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

EntryWindow::EntryWindow(calendar::MainHost& host, QWidget* parent)
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
}

// The window may be destroyed together with the main window at program end; it then must not
// call back into the main window, so nothing here touches host_.
EntryWindow::~EntryWindow() = default;

void EntryWindow::buildControls() {
    auto button = [this](const char* name, const char* icon, const QString& tip, int left) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(QIcon(QLatin1String(icon)));
        b->setIconSize(QSize(32, 32));
        b->setToolTip(tip);
        controls::placeTwips(b, left, 120, 615, 615);
        return b;
    };
    Command1 = button("Command1", ":/day/today.png", QStringLiteral("入力日付を今日にする"), 240);
    Command4 = button("Command4", ":/day/write.png", QStringLiteral("予定の書込み"), 840);
    Command3 = button("Command3", ":/day/discard.png", QStringLiteral("予定の破棄"), 1440);
    Command2 = button("Command2", ":/day/end.png", QStringLiteral("予定入力の終了"), 5040);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setFont(controls::gothicFont(12, true));
    controls::placeTwips(Label1, 1320, 960, 1455, 255);
    Label2 = new QLabel(QStringLiteral("の予定入力"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(controls::minchoFont(12, true));
    controls::placeTwips(Label2, 2640, 960, 1695, 255);

    const QFont heading = controls::gothicFont(9.75, true);
    Label3 = whiteOnNavy(this, "Label3", QStringLiteral("重要度など"), heading);
    controls::placeTwips(Label3, 0, 1440, 1095, 495);
    Label4 = whiteOnNavy(this, "Label4", QStringLiteral("予  定  内  容"), heading);
    controls::placeTwips(Label4, 1200, 1440, 3135, 495);
    Label5 = whiteOnNavy(this, "Label5", QStringLiteral("ALM設定/時刻"), heading);
    controls::placeTwips(Label5, 4440, 1440, 1455, 255);
    Label6 = whiteOnNavy(this, "Label6", QStringLiteral("時刻は4桁数字入力"), controls::gothicFont(8.25));
    controls::placeTwips(Label6, 4440, 1680, 1455, 255);

    std::array<QGroupBox**, 4> frame{&Frame1, &Frame2, &Frame3, &Frame4};
    std::array<QComboBox**, 4> combo{&Combo1, &Combo2, &Combo3, &Combo4};
    std::array<QLineEdit**, 4> content{&Text1, &Text2, &Text3, &Text4};
    std::array<QCheckBox**, 4> check{&Check1, &Check2, &Check3, &Check4};
    std::array<QLineEdit**, 4> time{&Text5, &Text6, &Text7, &Text8};
    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i + 1);
        // The caption stands on the frame's top line, so the slot's controls keep their places
        // inside the low frame.
        auto* f = new controls::ClassicFrame(this);
        f->setObjectName(QStringLiteral("Frame") + n);
        controls::placeTwips(f, 0, 2040 + 720 * i, 5895, 615);
        *frame[i] = f;

        auto* c = new QComboBox(f);
        c->setObjectName(QStringLiteral("Combo") + n);
        c->setEditable(true);
        // A typed level text is only the slot's level text, never a new item of the list, and
        // the edit part shows exactly what was typed.
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
        c->setToolTip(QStringLiteral("予定の重要度を選択します"));
        controls::placeTwips(c, 120, 240, 855, 300);
        *combo[i] = c;

        auto* t = new QLineEdit(f);
        t->setObjectName(QStringLiteral("Text") + n);
        t->setToolTip(QStringLiteral("予定内容を記入します"));
        limitLength(t, store::kContentWidth);
        controls::placeTwips(t, 960, 240, 3375, 270);
        *content[i] = t;

        auto* k = new QCheckBox(QStringLiteral("ｱﾗｰﾑ"), f);
        k->setObjectName(QStringLiteral("Check") + n);
        k->setToolTip(QStringLiteral("アラームの設定"));
        controls::placeTwips(k, 4440, 240, 855, 255);
        *check[i] = k;

        auto* m = new QLineEdit(f);
        m->setObjectName(QStringLiteral("Text") + QString::number(i + 5));
        m->setToolTip(QStringLiteral("アラーム時刻の記入"));
        limitLength(m, store::kTimeWidth);
        // Four digits fill the narrow box: a slightly condensed face and no text margins keep
        // a time such as 0930 whole instead of scrolling its first digit out of sight.
        QFont timeFont = m->font();
        timeFont.setStretch(85); // per cent of the normal width
        m->setFont(timeFont);
        m->setTextMargins(0, 0, 0, 0);
        controls::placeTwips(m, 5280, 240, 495, 270);
        *time[i] = m;
    }
}

// Every change of a control marks the window changed, also when a load sets it; a level change
// recolours the content boxes first.
void EntryWindow::connectEvents() {
    connect(Command1, &QPushButton::clicked, this, &EntryWindow::todayClicked);
    connect(Command2, &QPushButton::clicked, this, &EntryWindow::close);
    connect(Command3, &QPushButton::clicked, this, &EntryWindow::discardClicked);
    connect(Command4, &QPushButton::clicked, this, &EntryWindow::writeClicked);
    const auto markChanged = [this] { changed_ = true; };
    for (QLineEdit* box : contents())
        connect(box, &QLineEdit::textChanged, this, markChanged);
    for (QLineEdit* box : times())
        connect(box, &QLineEdit::textChanged, this, markChanged);
    for (QCheckBox* box : checks())
        connect(box, &QCheckBox::toggled, this, markChanged);
    for (QComboBox* box : combos()) {
        connect(box, &QComboBox::editTextChanged, this, &EntryWindow::SET_COLOR);
        connect(box, &QComboBox::activated, this, &EntryWindow::SET_COLOR);
    }
}

void EntryWindow::orderTabs() {
    const QList<QWidget*> order{Text1,  Combo1,   Text2,    Combo2,   Text3,  Combo3,  Text4,
                                Combo4, Command1, Command2, Command4, Check1, Check2,  Check3,
                                Check4, Text5,    Text6,    Text7,    Text8,  Command3};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

bool EntryWindow::load() {
    date_ = host_.selectedDate();
    showDateHeading();
    const settings::Settings& s = host_.settings();
    if (s.scheduleFile.isEmpty())
        return false;
    for (QComboBox* combo : combos()) {
        combo->addItems(store::levelTexts());
        setComboText(combo, store::levelText(1));
    }
    if (const store::Error error = DATA_READ()) {
        // Nothing was loaded: a window left open now would write its empty slots over the
        // stored items of the date, so it closes after telling the user why.
        changed_ = false;
        reportError(kReadFailed, error);
        return false;
    }
    const std::array<QGroupBox*, 4> frame = frames();
    for (int slot = 1; slot <= 4; ++slot) {
        // A user's slot name is shown as written: "&" is not a mnemonic here.
        QString label = settings::itemLabel(s, slot);
        frame[static_cast<std::size_t>(slot - 1)]->setTitle(
            label.replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
    changed_ = false;
    controls::centreOnScreen(this);
    Text1->setFocus();
    return true;
}

store::Error EntryWindow::DATA_READ() {
    const QString& file = host_.settings().scheduleFile;
    if (file.isEmpty())
        return {SQLITE_CANTOPEN, QStringLiteral("先にデータファイルを設定してください")};
    dayStore_.setPath(file);
    // The whole date is read first: a missing table or a locked file shows here, before anything
    // in the window has been cleared.
    std::array<store::SlotItem, store::kSlotCount> stored;
    if (const store::Error error = dayStore_.readDay(date_, stored))
        return error;

    for (QLineEdit* box : contents())
        box->setText(QString());
    for (QComboBox* box : combos())
        setComboText(box, QString());
    for (QCheckBox* box : checks())
        box->setChecked(false);
    for (QLineEdit* box : times())
        box->setText(QString());

    for (int slot = 1; slot <= 4; ++slot) {
        const std::size_t i = static_cast<std::size_t>(slot - 1);
        const store::SlotItem& item = stored[i];
        loaded_[i] = item;
        contents()[i]->setText(item.content);
        const int level = store::levelNumber(item.levelText);
        if (level >= 1 && level <= 5)
            setComboText(combos()[i], store::levelText(level));
        checks()[i]->setChecked(item.alarm);
        times()[i]->setText(item.timeText);
    }
    return {};
}

bool EntryWindow::DATA_WRITE() {
    if (!fileIsSet())
        return false;
    dayStore_.setPath(host_.settings().scheduleFile);
    std::array<store::SlotItem, 4> items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].content = contents()[i]->text();
        items[i].levelText = combos()[i]->currentText();
        items[i].alarm = checks()[i]->isChecked();
        items[i].timeText = times()[i]->text();
    }
    std::vector<store::SlotConflict> conflicts;
    store::Error error;
    while ((error = dayStore_.saveDay(date_, loaded_, items, &conflicts)).code == store::kChangedElsewhere) {
        if (!confirmOverwrite(conflicts))
            return false;
        // Overwrite what the user has now seen; anything newer is asked about again.
        for (const store::SlotConflict& conflict : conflicts)
            loaded_[static_cast<std::size_t>(conflict.slot - 1)] = conflict.stored;
    }
    if (error) {
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

void EntryWindow::SET_COLOR() {
    const settings::Settings& s = host_.settings();
    const std::array<QComboBox*, 4> combo = combos();
    const std::array<QLineEdit*, 4> content = contents();
    for (std::size_t i = 0; i < 4; ++i) {
        const std::optional<int> level = colourLevel(combo[i]->currentText());
        if (!level)
            continue;
        QPalette pal = content[i]->palette();
        pal.setColor(QPalette::Text, platform::toQColor(s.levelColor(*level)));
        content[i]->setPalette(pal);
    }
    changed_ = true;
}

void EntryWindow::showDateHeading() {
    Label1->setText(store::dateString(date_));
    // The date ends where "の予定入力" begins: a long date (2026/12/28) is set a little smaller
    // until it fits in front of it.
    const int room = Label2->x() - Label1->x();
    QFont font = controls::gothicFont(12, true);
    while (font.pointSizeF() > 8 && QFontMetrics(font).horizontalAdvance(Label1->text()) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    Label1->setFont(font);
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
    if (!DATA_WRITE())
        return false;
    changed_ = false;
    return true;
}

void EntryWindow::todayClicked() {
    if (!askToSave())
        return;
    const QDate previous = date_;
    date_ = platform::today();
    if (const store::Error error = DATA_READ()) {
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
    for (QComboBox* box : combos())
        setComboText(box, QString());
    for (QLineEdit* box : contents())
        box->setText(QString());
    for (QLineEdit* box : times())
        box->setText(QString());
    for (QCheckBox* box : checks())
        box->setChecked(false);
    if (DATA_WRITE())
        changed_ = false;
}

void EntryWindow::writeClicked() {
    if (DATA_WRITE())
        changed_ = false;
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
