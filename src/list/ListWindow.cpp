#include "list/ListWindow.h"

#include "calendar/MainHost.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/SpinButton.h"
#include "list/ListCsv.h"
#include "list/ListWindows.h"
#include "platform/Services.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

namespace list {

namespace {

using controls::placeTwips;

const QString kAll = QStringLiteral("すべて");

// Outer size rules of the window, in twips.
constexpr int kOuterWidth = 8900;
constexpr int kMinOuterHeight = 5000;
constexpr int kGridHeightAllowance = 3200;

template <typename W> W* make(QWidget* parent, const char* name) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& title, const QString& tip) {
    auto* box = make<QGroupBox>(parent, name);
    box->setTitle(title);
    box->setToolTip(tip);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = make<QLabel>(parent, name);
    l->setText(text);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QComboBox* combo(QWidget* parent, const char* name, const QString& tip) {
    auto* box = make<QComboBox>(parent, name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Typed text stays as typed: only an exact item is a choice.
    box->setCompleter(nullptr);
    box->setToolTip(tip);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& tip) {
    auto* b = make<QPushButton>(parent, name);
    b->setText(text);
    b->setToolTip(tip);
    return b;
}

QPushButton* pictureButton(QWidget* parent, const char* name, const QString& picture, const QString& tip) {
    auto* b = button(parent, name, QString(), tip);
    b->setIcon(QIcon(picture));
    b->setIconSize(QSize(32, 32));
    return b;
}

void fill(QComboBox* box, const QStringList& items) {
    box->addItems(items);
    box->setCurrentText(kAll);
}

void reportError(const store::Error& error) {
    platform::message(store::describe(error), platform::kAppTitle, platform::Icon::Exclamation);
}

} // namespace

ListWindow::ListWindow(calendar::MainHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      host_(host) {
    setObjectName(QStringLiteral("D_list"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Daduvov-スケジュールリスト"));
    setFont(controls::gothicFont(9));
    resize(controls::px(8775), controls::px(5910));
    buildControls();
    connectEvents();
}

ListWindow::~ListWindow() {
    // A combo that loses the focus while the window goes may still report a pick.
    for (QComboBox* box : {Combo1, Combo4, Combo5, Combo2})
        box->disconnect(this);
    // The grid reads Data1, which as a member goes before the child widgets would.
    delete DBGrid1;
}

void ListWindow::buildControls() {
    Frame5 = frame(this, "Frame5", QStringLiteral("年月日フィルター"),
                   QStringLiteral("年月日によるフィルター設定"));
    placeTwips(Frame5, 120, 120, 3615, 735);
    Check1 = make<QCheckBox>(Frame5, "Check1");
    Check1->setText(QStringLiteral("適用"));
    Check1->setToolTip(QStringLiteral("設定を有効にします"));
    placeTwips(Check1, 240, 240, 735, 300);
    Text2 = make<QLineEdit>(Frame5, "Text2");
    Text2->setToolTip(QStringLiteral("抽出する年を設定します"));
    placeTwips(Text2, 1200, 240, 615, 315);
    Text2->installEventFilter(this);
    SpinButton1 = new controls::SpinButton(Qt::Vertical, Frame5);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    SpinButton1->setRange(1900, 2100);
    placeTwips(SpinButton1, 1800, 240, 255, 375);
    Label5 = label(Frame5, "Label5", QStringLiteral("年"));
    placeTwips(Label5, 2040, 360, 255, 255);
    Combo2 = combo(Frame5, "Combo2", QStringLiteral("抽出する月を設定します"));
    placeTwips(Combo2, 2280, 240, 975, 300);
    Label6 = label(Frame5, "Label6", QStringLiteral("月"));
    placeTwips(Label6, 3240, 360, 255, 255);

    frame1 =
        frame(this, "frame1", QStringLiteral("フィルター"), QStringLiteral("予定項目により選択表示します"));
    placeTwips(frame1, 120, 960, 3615, 1695);
    Label1 = label(frame1, "Label1", QStringLiteral("項目番号"));
    placeTwips(Label1, 240, 360, 975, 255);
    Combo1 = combo(frame1, "Combo1", QStringLiteral("抽出する項目番号を設定します"));
    placeTwips(Combo1, 240, 600, 975, 300);
    Label2 = label(frame1, "Label2", QStringLiteral("レベル番号"));
    placeTwips(Label2, 1320, 360, 975, 255);
    Combo4 = combo(frame1, "Combo4", QStringLiteral("抽出するレベル番号を設定します"));
    placeTwips(Combo4, 1320, 600, 975, 300);
    Label3 = label(frame1, "Label3", QStringLiteral("アラーム設定"));
    placeTwips(Label3, 2400, 360, 1095, 255);
    Combo5 = combo(frame1, "Combo5", QStringLiteral("抽出するアラーム状態を設定します"));
    placeTwips(Combo5, 2400, 600, 975, 300);
    Command4 = button(frame1, "Command4", QStringLiteral("すべてのフィルター解除"),
                      QStringLiteral("すべてのフィルター解除スイッチ"));
    placeTwips(Command4, 240, 1080, 3135, 495);

    Frame2 = frame(this, "Frame2", QStringLiteral("予定検索"), QStringLiteral("内容の検索ができます"));
    placeTwips(Frame2, 3840, 960, 1815, 1695);
    Label4 = label(Frame2, "Label4", QStringLiteral("検索文字列"));
    placeTwips(Label4, 120, 360, 1215, 255);
    Text1 = make<QLineEdit>(Frame2, "Text1");
    Text1->setToolTip(QStringLiteral("検索する文字列を入力します"));
    placeTwips(Text1, 120, 600, 1575, 270);
    Command2 = button(Frame2, "Command2", QStringLiteral("検索"), QStringLiteral("検索実行スイッチ"));
    placeTwips(Command2, 120, 1080, 1575, 465);

    Frame3 =
        frame(this, "Frame3", QStringLiteral("ソート"), QStringLiteral("設定条件により並び替えできます"));
    placeTwips(Frame3, 5760, 840, 2895, 1815);
    Frame4 = frame(Frame3, "Frame4", QStringLiteral("比較項目"), QStringLiteral("基準項目を選択します"));
    placeTwips(Frame4, 120, 240, 1575, 1455);
    sortGroup_ = new QButtonGroup(this);
    struct OptionDef {
        int index;
        const char* caption;
        int top;
        int width;
    };
    const QFont optionFont = controls::gothicFont(8.25);
    for (const OptionDef& def : {OptionDef{0, "年月日", 240, 1095}, OptionDef{1, "項目番号", 480, 1215},
                                 OptionDef{4, "レベル", 720, 1215}, OptionDef{2, "アラーム設定", 960, 1335},
                                 OptionDef{3, "内容", 1200, 975}}) {
        auto* option = make<QRadioButton>(Frame4, "Option1");
        option->setProperty("index", def.index);
        option->setText(QString::fromUtf8(def.caption));
        option->setFont(optionFont);
        placeTwips(option, 120, def.top, def.width, 180);
        sortGroup_->addButton(option, def.index);
        Option1[static_cast<size_t>(def.index)] = option;
    }
    Command5 = button(Frame3, "Command5", QStringLiteral("昇順"), QStringLiteral("昇順ソート実行スイッチ"));
    placeTwips(Command5, 1800, 480, 975, 495);
    Command6 = button(Frame3, "Command6", QStringLiteral("降順"), QStringLiteral("降順ソート実行スイッチ"));
    placeTwips(Command6, 1800, 1200, 975, 495);

    Command3 = pictureButton(this, "Command3", QStringLiteral(":/day/discard.png"),
                             QStringLiteral("選択項目の削除"));
    placeTwips(Command3, 4080, 120, 615, 615);
    Command1 = pictureButton(this, "Command1", QStringLiteral(":/day/end.png"),
                             QStringLiteral("スケジュールリスト表示の終了"));
    placeTwips(Command1, 7920, 120, 615, 615);
    // In the free space of the top row, between the two picture buttons.
    csvExportButton_ = button(this, "csvExportButton", QStringLiteral("CSV出力"),
                              QStringLiteral("表示中のリストをCSVファイルに書き出します"));
    placeTwips(csvExportButton_, 4920, 120, 1215, 615);

    DBGrid1 = new controls::DataGrid(Data1, this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setToolTip(QStringLiteral("設定されているスケジュールのリスト"));
    placeTwips(DBGrid1, 0, 2775, 8775, 3135);
}

void ListWindow::connectEvents() {
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
    connect(Command3, &QPushButton::clicked, this, &ListWindow::Command3_Click);
    connect(csvExportButton_, &QPushButton::clicked, this, [this] {
        DBGrid1->commitEdits();
        exportListCsv(this, Data1);
    });
    connect(Command4, &QPushButton::clicked, this, &ListWindow::Command4_Click);
    connect(Command2, &QPushButton::clicked, this, &ListWindow::searchContent);
    connect(Command5, &QPushButton::clicked, this, [this] { sort(SortOrder::Ascending); });
    connect(Command6, &QPushButton::clicked, this, [this] { sort(SortOrder::Descending); });
    connect(Check1, &QCheckBox::toggled, this, [this](bool checked) {
        // Unchecking leaves the query in force as it is.
        if (checked)
            D_FILTER();
    });
    connect(SpinButton1, &controls::SpinButton::valueChanged, this, [this](int value) {
        Text2->setText(QString::number(value));
        if (Check1->isChecked())
            D_FILTER();
    });
    for (QComboBox* box : {Combo1, Combo4, Combo5, Combo2}) {
        // Change: typed text, a text set by the program, or a different item picked.
        connect(box, &QComboBox::editTextChanged, this, [this, box] { comboChanged(box); });
        // Click: an item picked from the list, also the one already shown.
        connect(box, &QComboBox::activated, this, [this, box] { comboClicked(box); });
    }
}

bool ListWindow::load() {
    // 1. The current year.
    const int year = platform::today().year();
    Text2->setText(QString::number(year));
    SpinButton1->setValue(year);

    // 2. The choice lists, each showing "すべて". The filters their change events would run wait
    // until Data1 is open.
    QStringList months{kAll};
    for (int m = 1; m <= 12; ++m)
        months << QString::number(m) + QStringLiteral("月");
    fill(Combo2, months);
    fill(Combo1, {kAll, QStringLiteral("項目1"), QStringLiteral("項目2"), QStringLiteral("項目3"),
                  QStringLiteral("項目4")});
    fill(Combo4, {kAll, QStringLiteral("ﾚﾍﾞﾙ1"), QStringLiteral("ﾚﾍﾞﾙ2"), QStringLiteral("ﾚﾍﾞﾙ3"),
                  QStringLiteral("ﾚﾍﾞﾙ4"), QStringLiteral("ﾚﾍﾞﾙ5")});
    fill(Combo5, {kAll, QStringLiteral("False"), QStringLiteral("True")});

    // 3. The Schedule file, or no window at all.
    const QString file = host_.settings().START_FILE;
    if (file.isEmpty()) {
        close();
        return false;
    }
    Data1.setDatabaseName(file);
    if (refreshData(QString()))
        refreshData(QStringLiteral("予定表"));
    dataOpen_ = true;

    // 4. and 5.
    Option1[3]->setChecked(true);
    controls::centreOnScreen(this);
    return true;
}

FilterState ListWindow::filterState() const {
    FilterState state;
    state.slot = Combo1->currentText();
    state.level = Combo4->currentText();
    state.alarm = Combo5->currentText();
    state.dateFilter = Check1->isChecked();
    state.year = Text2->text();
    state.month = Combo2->currentText();
    state.search = Text1->text();
    state.sortIndex = sortGroup_->checkedId() >= 0 ? sortGroup_->checkedId() : 3;
    return state;
}

void ListWindow::D_FILTER() {
    runQuery(dateFilterQuery(filterState()));
}

void ListWindow::M_FILTER() {
    runQuery(combinedFilterQuery(filterState()));
}

void ListWindow::searchContent() {
    if (Text1->text().toUcs4().size() > kMaxSearchLength) {
        platform::message(QStringLiteral("検索文字列は%1文字以内で入力してください。").arg(kMaxSearchLength),
                          platform::kAppTitle, platform::Icon::Exclamation);
        return;
    }
    runQuery(searchQuery(filterState()));
}

void ListWindow::sort(SortOrder order) {
    runQuery(sortQuery(filterState(), order));
}

void ListWindow::runQuery(const QString& query) {
    if (!dataOpen_)
        return;
    refreshData(query);
}

bool ListWindow::refreshData(const QString& source) {
    // A refused edit stays in the grid to be corrected; the query waits until then.
    if (!DBGrid1->commitEdits())
        return false;
    Data1.setRecordSource(source);
    const store::Error error = Data1.refresh();
    DBGrid1->rebind();
    if (error) {
        reportError(error);
        return false;
    }
    return true;
}

void ListWindow::comboChanged(QComboBox* box) {
    if (box != Combo2)
        M_FILTER();
    else if (Check1->isChecked())
        D_FILTER();
    // A pick that changed the text has run the filter here; the click that follows at once does
    // not run it again. Set after the filter, whose message box may have run the event loop.
    changedByPick_ = box;
    QTimer::singleShot(0, this, [this] { changedByPick_ = nullptr; });
}

void ListWindow::comboClicked(QComboBox* box) {
    // Picking the item already shown runs the filter again, so that rows edited out of it leave.
    if (changedByPick_ == box) {
        changedByPick_ = nullptr;
        return;
    }
    if (box != Combo2)
        M_FILTER();
    else if (Check1->isChecked())
        D_FILTER();
}

void ListWindow::Command3_Click() {
    DBGrid1->deleteCurrent();
}

void ListWindow::Command4_Click() {
    // One filter run for the three boxes together.
    for (QComboBox* box : {Combo1, Combo4, Combo5}) {
        const QSignalBlocker blocker(box);
        box->setCurrentText(kAll);
    }
    M_FILTER();
}

void ListWindow::Text2_DblClick() {
    const int year = platform::today().year();
    Text2->setText(QString::number(year));
    SpinButton1->setValue(year);
}

bool ListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text2 && event->type() == QEvent::MouseButtonDblClick)
        Text2_DblClick();
    return QWidget::eventFilter(watched, event);
}

void ListWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void ListWindow::Form_Resize() {
    if (resizing_)
        return;
    resizing_ = true;
    const int outerHeight = controls::pinOuterSize(this, kOuterWidth, kMinOuterHeight);
    resizing_ = false;

    const int gridHeight = controls::px(controls::twips(outerHeight) - kGridHeightAllowance);
    DBGrid1->resize(DBGrid1->width(), qMax(0, gridHeight));
}

void ListWindow::closeEvent(QCloseEvent* event) {
    // `Form_Unload`: an edited row is written before the file is let go; a refused one keeps the
    // window open.
    if (!DBGrid1->commitEdits()) {
        event->ignore();
        return;
    }
    host_.setMainEnabled(true);
    Data1.close();
    event->accept();
}

void showListWindow(calendar::MainHost& host) {
    auto* window = new ListWindow(host, host.mainWindow());
    if (!window->load())
        return;
    window->show();
    controls::centreOnScreen(window);
}

} // namespace list
