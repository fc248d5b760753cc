#include "options/OptionsDialog.h"

#include "controls/Accessible.h"
#include "controls/FlatButton.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/WindowSetup.h"
#include "platform/Colors.h"
#include "platform/Services.h"
#include "settings/ConfigFile.h"
#include "settings/Settings.h"
#include "shell/Host.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace options {

namespace {

// Twips rectangle of a frame relative to the tab control; the frame is re-placed on its page
// whenever the tab control lays its pages out, so it stands at the same spot below the tab row.
const char* const kTabRect = "tabTwipsRect";

constexpr qint32 kWhite = 0x00FFFFFF;
constexpr qint32 kBlack = 0;

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QGroupBox* frameOnTab(QWidget* page, const char* name, const QString& caption, const QRect& twipsOnTab) {
    auto* frame = named(new QGroupBox(caption, page), name);
    frame->setProperty(kTabRect, twipsOnTab);
    return frame;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text, int l, int t, int w, int h) {
    auto* box = named(new QCheckBox(text, parent), name);
    controls::placeTwips(box, l, t, w, h);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, int l, int t, int w, int h) {
    auto* b = named(new QPushButton(text, parent), name);
    controls::placeTwips(b, l, t, w, h);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* textBox(QWidget* parent, const char* name, int l, int t, int w, int h) {
    auto* box = named(new QLineEdit(parent), name);
    controls::placeTwips(box, l, t, w, h);
    return box;
}

} // namespace

LevelLabel::LevelLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAlignment(Qt::AlignCenter);
    // The border is drawn in paintEvent: a plain frame would take the text (level) colour.
    setContentsMargins(1, 1, 1, 1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::toQColor(kWhite));
    setPalette(pal);
}

void LevelLabel::setColorValue(qint32 value) {
    color_ = value;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, controls::textColourOnWhite(value));
    setPalette(pal);
    // The colour is also read out as text: "レベル1の色: 青" (the caption's wide digits made narrow).
    controls::setAccessibleName(this, text().normalized(QString::NormalizationForm_KC) +
                                          QStringLiteral("の色: ") + controls::colourName(value));
}

void LevelLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void LevelLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
    QLabel::mousePressEvent(event);
}

void LevelLabel::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a press and a release of the left button on the label itself.
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

OptionsDialog::OptionsDialog(shell::Host& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      host_(host) {
    setObjectName(QStringLiteral("frmOptions"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Daduvov-オプション"));
    setFont(controls::gothicFont(9));
    setFixedSize(controls::px(6150), controls::px(4920));

    tabs_ = named(new QTabWidget(this), "SSTab1");
    controls::placeTwips(tabs_, 120, 120, 5895, 4215);
    auto* startPage = named(new QWidget, "SSTab1Page0");
    auto* runPage = named(new QWidget, "SSTab1Page1");
    tabs_->addTab(startPage, QStringLiteral("起動時の設定"));
    tabs_->addTab(runPage, QStringLiteral("動作時の設定"));
    buildStartPage(startPage);
    buildRunPage(runPage);
    // The pages move when the tab control lays itself out (on show and on a change of style or
    // font); keep the frames where the tab control's own coordinates put them.
    for (QWidget* page : {startPage, runPage}) {
        page->installEventFilter(this);
        if (page->parentWidget())
            page->parentWidget()->installEventFilter(this);
        placeOnPage(page);
    }
    tabs_->setCurrentIndex(0);
    buildCloseButtons();
    describeControls();
    loadControls();
}

void OptionsDialog::describeControls() {
    controls::setAccessibleRole(this, QAccessible::Dialog);
    for (std::size_t k = 0; k < itemLabelBoxes_.size(); ++k)
        controls::setAccessibleName(itemLabelBoxes_[k], QStringLiteral("項目%1の表示名").arg(k + 1));
    controls::setAccessibleName(soundFileBox_, QStringLiteral("アラーム音のファイル"));
    controls::setAccessibleName(tabs_, QStringLiteral("設定"));
    controls::setAccessibleName(tabs_->tabBar(), QStringLiteral("設定のページ"));
    // The two 初期値 buttons, told apart by what they reset.
    if (auto* levelDefaults = findChild<QPushButton*>(QStringLiteral("Command3")))
        controls::setAccessibleName(levelDefaults, QStringLiteral("レベルの色を初期値に"));
    if (auto* itemDefaults = findChild<QPushButton*>(QStringLiteral("Command2")))
        controls::setAccessibleName(itemDefaults, QStringLiteral("項目の表示名を初期値に"));
    controls::fitCaptions(this);
}

void OptionsDialog::buildCloseButtons() {
    auto* ok = button(this, "cmdOK", QStringLiteral("OK"), 2490, 4455, 1095, 375);
    auto* cancel = button(this, "cmdCancel", QStringLiteral("ｷｬﾝｾﾙ"), 3720, 4455, 1095, 375);
    auto* apply = button(this, "cmdApply", QStringLiteral("更新"), 4920, 4455, 1095, 375);
    connect(ok, &QPushButton::clicked, this, [this] {
        applySettings();
        close();
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(apply, &QPushButton::clicked, this, &OptionsDialog::applySettings);
    // Escape cancels; Enter is OK, the default button.
    controls::closeOnEscape(this, ok);
}

void OptionsDialog::buildStartPage(QWidget* page) {
    auto* startFrame =
        frameOnTab(page, "Frame1", QStringLiteral("起動時オプション"), QRect(120, 600, 3375, 3135));
    startFrame->setToolTip(QStringLiteral("起動時の状態を設定します"));
    showTodayCheck_ =
        checkBox(startFrame, "Check1", QStringLiteral("起動時に本日の予定を表示する"), 240, 360, 2775, 255);
    startInTrayCheck_ =
        checkBox(startFrame, "Check2", QStringLiteral("起動直後にタスクバーに格納する"), 240, 720, 3015, 255);
    openTodoCheck_ =
        checkBox(startFrame, "Check4", QStringLiteral("起動時にＴｏＤｏリストを開く"), 240, 1080, 3015, 255);

    auto* levelFrame =
        frameOnTab(page, "Frame4", QStringLiteral("予定ﾚﾍﾞﾙによる色分け"), QRect(3600, 600, 2175, 3135));
    levelFrame->setToolTip(QStringLiteral("予定表示の色をレベル設定により変化させられます"));
    const struct {
        const char* name;
        const char* text;
    } levels[] = {{"Label10", "未設定"},  {"Label5", "レベル１"}, {"Label6", "レベル２"},
                  {"Label7", "レベル３"}, {"Label8", "レベル４"}, {"Label9", "レベル５"}};
    for (int level = 0; level < 6; ++level) {
        auto* label =
            named(new LevelLabel(QString::fromUtf8(levels[level].text), levelFrame), levels[level].name);
        controls::placeTwips(label, 480, 360 + 360 * level, 1095, 255);
        connect(label, &LevelLabel::clicked, this, [this, label] { pickLevelColor(label); });
        levelLabels_[level] = label;
    }
    auto* levelDefaults = button(levelFrame, "Command3", QStringLiteral("初期値"), 480, 2520, 1095, 375);
    connect(levelDefaults, &QPushButton::clicked, this, [this] {
        for (LevelLabel* label : levelLabels_)
            label->setColorValue(kBlack);
    });
}

void OptionsDialog::buildItemLabelFrame(QWidget* page) {
    auto* itemFrame =
        frameOnTab(page, "Frame2", QStringLiteral("入力フォームの項目表示"), QRect(120, 600, 3495, 2295));
    for (int k = 0; k < store::kSlotCount; ++k) {
        const QString n = QString::number(k + 1);
        auto* caption = new QLabel(QStringLiteral("項目") + n + QStringLiteral("の表示"), itemFrame);
        caption->setObjectName(QStringLiteral("Label") + n);
        controls::placeTwips(caption, 120, 360 + 360 * k, 1095, 255);
        auto* box = new QLineEdit(itemFrame);
        box->setObjectName(QStringLiteral("Text") + n);
        controls::placeTwips(box, 1200, 360 + 360 * k, 2055, 270);
        itemLabelBoxes_[k] = box;
    }
    auto* itemDefaults = button(itemFrame, "Command2", QStringLiteral("初期値"), 2160, 1800, 1095, 375);
    connect(itemDefaults, &QPushButton::clicked, this, [this] {
        int slot = 1;
        for (QLineEdit* box : itemLabelBoxes_)
            box->setText(settings::itemLabel(settings::Settings(), slot++));
    });
}

void OptionsDialog::buildRunPage(QWidget* page) {
    buildItemLabelFrame(page);

    auto* soundFrame =
        frameOnTab(page, "Frame3", QStringLiteral("アラーム音のファイル設定"), QRect(120, 3120, 5655, 735));
    soundFileBox_ = textBox(soundFrame, "Text5", 120, 240, 4575, 270);
    auto* chooseSound = button(soundFrame, "Command1", QStringLiteral("選択"), 4680, 240, 735, 255);
    connect(chooseSound, &QPushButton::clicked, this, &OptionsDialog::chooseSoundFile);

    auto* markFrame =
        frameOnTab(page, "Frame6", QStringLiteral("予定有ｶﾚﾝﾀﾞｰの色"), QRect(3720, 600, 2055, 1215));
    markFrame->setToolTip(QStringLiteral("既に予定入力されているｶﾚﾝﾀﾞｰの色"));
    markDaysCheck_ = checkBox(markFrame, "Check3", QStringLiteral("変化させる"), 240, 360, 1335, 255);
    markDaysCheck_->setToolTip(QStringLiteral("予定の有無で変化させるか"));
    markedDayColorButton_ = named(new controls::FlatButton(QStringLiteral("設定"), markFrame), "Command4");
    controls::placeTwips(markedDayColorButton_, 480, 720, 975, 375);
    markedDayColorButton_->setAutoDefault(false);
    connect(markedDayColorButton_, &QPushButton::clicked, this, &OptionsDialog::pickMarkedDayColor);
}

void OptionsDialog::placeOnPage(QWidget* page) {
    const QPoint offset = page->mapTo(tabs_, QPoint(0, 0));
    for (QObject* child : page->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || !w->property(kTabRect).isValid())
            continue;
        const QRect r = w->property(kTabRect).toRect();
        const QRect px = controls::twipsRect(r.x(), r.y(), r.width(), r.height());
        w->setGeometry(px.translated(-offset));
    }
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
        for (int i = 0; i < tabs_->count(); ++i) {
            QWidget* page = tabs_->widget(i);
            if (watched == page || watched == page->parentWidget())
                placeOnPage(page);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OptionsDialog::loadControls() {
    const settings::Settings& s = host_.settings();
    int slot = 1;
    for (QLineEdit* box : itemLabelBoxes_)
        box->setText(settings::itemLabel(s, slot++));

    startInTrayCheck_->setChecked(s.startInTray);
    showTodayCheck_->setChecked(s.showTodayAtStart);
    markDaysCheck_->setChecked(s.markDaysWithItems);
    openTodoCheck_->setChecked(s.openTodoAtStart);

    int level = 0;
    for (LevelLabel* label : levelLabels_)
        label->setColorValue(s.levelColor(level++));

    setMarkedDayColor(s.markedDayColor);

    soundFileBox_->setText(s.alarmSoundFile.isEmpty() ? settings::kDefaultSoundName : s.alarmSoundFile);

    controls::centreOnScreen(this);
}

void OptionsDialog::applySettings() {
    settings::Settings& s = host_.settings();
    int slot = 1;
    for (QLineEdit* box : itemLabelBoxes_)
        s.slotLabel(slot++) = box->text();
    int level = 0;
    for (LevelLabel* label : levelLabels_)
        s.levelColor(level++) = label->colorValue();
    s.markedDayColor = markedDayColor_;
    s.startInTray = startInTrayCheck_->isChecked();
    s.showTodayAtStart = showTodayCheck_->isChecked();
    s.markDaysWithItems = markDaysCheck_->isChecked();
    s.openTodoAtStart = openTodoCheck_->isChecked();
    s.alarmSoundFile = soundFileBox_->text();
}

void OptionsDialog::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    host_.rebuildMonthGrid();
}

void OptionsDialog::pickLevelColor(LevelLabel* label) {
    // A cancel, or black confirmed in the dialog, leaves the label as it is; black is set only
    // through 初期値.
    const std::optional<qint32> picked = platform::services().colors->pickColor(label->colorValue());
    if (picked && *picked != kBlack)
        label->setColorValue(*picked);
}

void OptionsDialog::pickMarkedDayColor() {
    const std::optional<qint32> picked = platform::services().colors->pickColor(markedDayColor_);
    if (picked && *picked != kBlack)
        setMarkedDayColor(*picked);
}

void OptionsDialog::setMarkedDayColor(qint32 value) {
    markedDayColor_ = value;
    markedDayColorButton_->setFaceColor(platform::toQColor(value));
}

void OptionsDialog::chooseSoundFile() {
    // A cancelled dialog returns nothing; the box then keeps the file it showed.
    const QString path = platform::services().files->openFile(kSoundFileFilter, {this, {}});
    if (!path.isEmpty())
        soundFileBox_->setText(path);
}

} // namespace options
