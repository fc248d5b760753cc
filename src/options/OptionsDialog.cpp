#include "options/OptionsDialog.h"

#include "calendar/MainHost.h"
#include "controls/FlatButton.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "platform/Colors.h"
#include "platform/Services.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

namespace options {

namespace {

// Twips rectangle of a frame relative to the tab control; the frame is re-placed on its page
// whenever the tab control lays its pages out, so it stands at the same spot below the tab row.
const char* const kTabRect = "tabTwipsRect";

constexpr qint32 kWhite = 0x00FFFFFF;
constexpr qint32 kBlack = 0;

const QString kWaveFilter = QStringLiteral("WAVEﾌｧｲﾙ(*.WAV)|*.WAV");

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
    pal.setColor(QPalette::WindowText, platform::toQColor(value));
    setPalette(pal);
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

OptionsDialog::OptionsDialog(calendar::MainHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      host_(host) {
    setObjectName(QStringLiteral("frmOptions"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Daduvov-オプション"));
    setFont(controls::gothicFont(9));
    setFixedSize(controls::px(6150), controls::px(4920));

    SSTab1 = named(new QTabWidget(this), "SSTab1");
    controls::placeTwips(SSTab1, 120, 120, 5895, 4215);
    auto* startPage = named(new QWidget, "SSTab1Page0");
    auto* runPage = named(new QWidget, "SSTab1Page1");
    SSTab1->addTab(startPage, QStringLiteral("起動時の設定"));
    SSTab1->addTab(runPage, QStringLiteral("動作時の設定"));
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
    SSTab1->setCurrentIndex(0);

    cmdOK = button(this, "cmdOK", QStringLiteral("OK"), 2490, 4455, 1095, 375);
    cmdCancel = button(this, "cmdCancel", QStringLiteral("ｷｬﾝｾﾙ"), 3720, 4455, 1095, 375);
    cmdApply = button(this, "cmdApply", QStringLiteral("更新"), 4920, 4455, 1095, 375);
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        cmdApply_Click();
        close();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdApply, &QPushButton::clicked, this, &OptionsDialog::cmdApply_Click);

    Form_Load();
}

void OptionsDialog::buildStartPage(QWidget* page) {
    Frame1 = frameOnTab(page, "Frame1", QStringLiteral("起動時オプション"), QRect(120, 600, 3375, 3135));
    Frame1->setToolTip(QStringLiteral("起動時の状態を設定します"));
    Check1 = checkBox(Frame1, "Check1", QStringLiteral("起動時に本日の予定を表示する"), 240, 360, 2775, 255);
    Check2 =
        checkBox(Frame1, "Check2", QStringLiteral("起動直後にタスクバーに格納する"), 240, 720, 3015, 255);
    Check4 = checkBox(Frame1, "Check4", QStringLiteral("起動時にＴｏＤｏリストを開く"), 240, 1080, 3015, 255);

    Frame4 = frameOnTab(page, "Frame4", QStringLiteral("予定ﾚﾍﾞﾙによる色分け"), QRect(3600, 600, 2175, 3135));
    Frame4->setToolTip(QStringLiteral("予定表示の色をレベル設定により変化させられます"));
    const struct {
        LevelLabel** member;
        const char* name;
        const char* text;
    } levels[] = {{&Label10, "Label10", "未設定"}, {&Label5, "Label5", "レベル１"},
                  {&Label6, "Label6", "レベル２"}, {&Label7, "Label7", "レベル３"},
                  {&Label8, "Label8", "レベル４"}, {&Label9, "Label9", "レベル５"}};
    int k = 0;
    for (const auto& level : levels) {
        auto* label = named(new LevelLabel(QString::fromUtf8(level.text), Frame4), level.name);
        controls::placeTwips(label, 480, 360 + 360 * k, 1095, 255);
        connect(label, &LevelLabel::clicked, this, [this, label] { pickLevelColor(label); });
        *level.member = label;
        ++k;
    }
    Command3 = button(Frame4, "Command3", QStringLiteral("初期値"), 480, 2520, 1095, 375);
    connect(Command3, &QPushButton::clicked, this, [this] {
        for (LevelLabel* label : levelLabels())
            label->setColorValue(kBlack);
    });
}

void OptionsDialog::buildRunPage(QWidget* page) {
    Frame2 =
        frameOnTab(page, "Frame2", QStringLiteral("入力フォームの項目表示"), QRect(120, 600, 3495, 2295));
    QLabel** labels[] = {&Label1, &Label2, &Label3, &Label4};
    QLineEdit** texts[] = {&Text1, &Text2, &Text3, &Text4};
    for (int k = 0; k < 4; ++k) {
        const QString n = QString::number(k + 1);
        auto* label = new QLabel(QStringLiteral("項目") + n + QStringLiteral("の表示"), Frame2);
        label->setObjectName(QStringLiteral("Label") + n);
        controls::placeTwips(label, 120, 360 + 360 * k, 1095, 255);
        *labels[k] = label;
        auto* text = new QLineEdit(Frame2);
        text->setObjectName(QStringLiteral("Text") + n);
        controls::placeTwips(text, 1200, 360 + 360 * k, 2055, 270);
        *texts[k] = text;
    }
    Command2 = button(Frame2, "Command2", QStringLiteral("初期値"), 2160, 1800, 1095, 375);
    connect(Command2, &QPushButton::clicked, this, [this] {
        int slot = 1;
        for (QLineEdit* text : itemTexts())
            text->setText(QStringLiteral("項目") + QString::number(slot++));
    });

    Frame3 =
        frameOnTab(page, "Frame3", QStringLiteral("アラーム音のファイル設定"), QRect(120, 3120, 5655, 735));
    Text5 = textBox(Frame3, "Text5", 120, 240, 4575, 270);
    Command1 = button(Frame3, "Command1", QStringLiteral("選択"), 4680, 240, 735, 255);
    connect(Command1, &QPushButton::clicked, this, &OptionsDialog::chooseSoundFile);

    Frame6 = frameOnTab(page, "Frame6", QStringLiteral("予定有ｶﾚﾝﾀﾞｰの色"), QRect(3720, 600, 2055, 1215));
    Frame6->setToolTip(QStringLiteral("既に予定入力されているｶﾚﾝﾀﾞｰの色"));
    Check3 = checkBox(Frame6, "Check3", QStringLiteral("変化させる"), 240, 360, 1335, 255);
    Check3->setToolTip(QStringLiteral("予定の有無で変化させるか"));
    Command4 = named(new controls::FlatButton(QStringLiteral("設定"), Frame6), "Command4");
    controls::placeTwips(Command4, 480, 720, 975, 375);
    Command4->setAutoDefault(false);
    connect(Command4, &QPushButton::clicked, this, &OptionsDialog::pickKareColor);
}

void OptionsDialog::placeOnPage(QWidget* page) {
    const QPoint offset = page->mapTo(SSTab1, QPoint(0, 0));
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
        for (int i = 0; i < SSTab1->count(); ++i) {
            QWidget* page = SSTab1->widget(i);
            if (watched == page || watched == page->parentWidget())
                placeOnPage(page);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OptionsDialog::Form_Load() {
    const settings::Settings& s = host_.settings();
    int slot = 1;
    for (QLineEdit* text : itemTexts())
        text->setText(settings::itemLabel(s, slot++));

    Check2->setChecked(s.START_MIN);
    Check1->setChecked(s.START_OUT);
    Check3->setChecked(s.KARE_ON);
    Check4->setChecked(s.ToDo_ON);

    int level = 0;
    for (LevelLabel* label : levelLabels())
        label->setColorValue(s.crl(level++));

    setKareColor(s.kareCRL);

    Text5->setText(s.ALM_FILE.isEmpty() ? QStringLiteral("daduvov.WAV") : s.ALM_FILE);

    controls::centreOnScreen(this);
}

void OptionsDialog::cmdApply_Click() {
    settings::Settings& s = host_.settings();
    int slot = 1;
    for (QLineEdit* text : itemTexts())
        s.koumoku(slot++) = text->text();
    int level = 0;
    for (LevelLabel* label : levelLabels())
        s.crl(level++) = label->colorValue();
    s.kareCRL = kareColor_;
    s.START_MIN = Check2->isChecked();
    s.START_OUT = Check1->isChecked();
    s.KARE_ON = Check3->isChecked();
    s.ToDo_ON = Check4->isChecked();
    s.ALM_FILE = Text5->text();
}

void OptionsDialog::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    host_.kareSET();
}

void OptionsDialog::pickLevelColor(LevelLabel* label) {
    // A cancel, or black confirmed in the dialog, leaves the label as it is; black is set only
    // through 初期値.
    const std::optional<qint32> picked = platform::services().colors->pickColor(label->colorValue());
    if (picked && *picked != kBlack)
        label->setColorValue(*picked);
}

void OptionsDialog::pickKareColor() {
    const std::optional<qint32> picked = platform::services().colors->pickColor(kareColor_);
    if (picked && *picked != kBlack)
        setKareColor(*picked);
}

void OptionsDialog::setKareColor(qint32 value) {
    kareColor_ = value;
    Command4->setFaceColor(platform::toQColor(value));
}

void OptionsDialog::chooseSoundFile() {
    // A cancelled dialog returns nothing; the box then keeps the file it showed.
    const QString path = platform::services().files->openFile(kWaveFilter);
    if (!path.isEmpty())
        Text5->setText(path);
}

} // namespace options
