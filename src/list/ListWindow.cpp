#include "list/ListWindow.h"

#include "calendar/MonthGrid.h"
#include "controls/Accessible.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/SpinButton.h"
#include "controls/WindowSetup.h"
#include "list/ListCsv.h"
#include "list/ListWindows.h"
#include "platform/Services.h"
#include "shell/Host.h"
#include "store/ItemRules.h"
#include "store/ScheduleLayout.h"

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
#include <QToolButton>

namespace list {

namespace {

using controls::placeTwips;

const QString kAll = QStringLiteral("すべて");

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

// 年月日 takes only a date the calendar shows, in the form the program writes: any other text
// (a space, 2026/13/1, 2026/01/05) would take the item out of every day's sight.
QString dateProblem(const QString& text) {
    const QDate date = store::dateOfString(text);
    if (date.isValid() && date.year() >= calendar::kMinYear && date.year() <= calendar::kMaxYear)
        return QString();
    return QStringLiteral("「%1」には、%2 のように年/月/日の形で、%3年から%4年までの日付を入力してください。")
        .arg(store::kDateField, store::dateString(2026, 12, 7))
        .arg(calendar::kMinYear)
        .arg(calendar::kMaxYear);
}

void reportError(const store::Error& error) {
    platform::message(store::describe(error), platform::kAppTitle, platform::Icon::Exclamation);
}

} // namespace

ListWindow::ListWindow(shell::Host& host, QWidget* parent)
    : QWidget(parent, controls::kCloseOnlyWindow), host_(host) {
    controls::setUpWindow(this, QStringLiteral("D_list"), QStringLiteral("Daduvov-スケジュールリスト"), 8775,
                          5910);
    buildDateFilter();
    buildItemFilter();
    buildSearch();
    buildSort();
    buildButtonsAndGrid();
    connectEvents();
    describeControls();
}

void ListWindow::describeControls() {
    // Each filter box is labelled by the caption above it (screen readers on Linux read a combo
    // box's label from this relation and its value as its name).
    for (const auto& [caption, box] :
         {std::pair{"Label1", slotBox_}, std::pair{"Label2", levelBox_}, std::pair{"Label3", alarmBox_}})
        if (auto* label = findChild<QLabel*>(QLatin1String(caption)))
            label->setBuddy(box);
    controls::setAccessibleName(slotBox_, QStringLiteral("項目番号"));
    controls::setAccessibleName(levelBox_, QStringLiteral("レベル番号"));
    controls::setAccessibleName(alarmBox_, QStringLiteral("アラーム設定"));
    controls::setAccessibleName(yearEdit_, QStringLiteral("年"));
    controls::setAccessibleName(monthBox_, QStringLiteral("月"));
    controls::setAccessibleName(yearSpin_, QStringLiteral("年の切り替え"));
    controls::setAccessibleName(yearSpin_->downButton(), QStringLiteral("前の年"));
    controls::setAccessibleName(yearSpin_->upButton(), QStringLiteral("次の年"));
    controls::setAccessibleName(searchEdit_, QStringLiteral("検索文字列"));
    controls::setAccessibleName(deleteButton_, QStringLiteral("削除"));
    controls::setAccessibleName(closeButton_, QStringLiteral("終了"));
    controls::setAccessibleName(grid_, QStringLiteral("スケジュールリスト"));
    controls::fitCaptions(this);
    yearEdit_->setFont(controls::fitText(yearEdit_->font(), QStringLiteral("8888"), yearEdit_->width() - 8));
    // The sort options stand in the frame "比較項目", named by its caption; each option's name
    // says so, apart from the filter boxes of the same caption.
    if (auto* fieldFrame = findChild<QGroupBox*>(QStringLiteral("Frame4")))
        controls::setAccessibleName(fieldFrame, fieldFrame->title());
    for (QAbstractButton* option : sortGroup_->buttons())
        controls::setAccessibleName(option, QStringLiteral("比較項目 ") + option->text());
}

ListWindow::~ListWindow() {
    // A combo that loses the focus while the window goes may still report a pick.
    for (QComboBox* box : {slotBox_, levelBox_, alarmBox_, monthBox_})
        box->disconnect(this);
    // The grid reads the data control, which as a member goes before the child widgets would.
    delete grid_;
}

void ListWindow::buildDateFilter() {
    QGroupBox* dateFrame = frame(this, "Frame5", QStringLiteral("年月日フィルター"),
                                 QStringLiteral("年月日によるフィルター設定"));
    placeTwips(dateFrame, 120, 120, 3615, 735);
    dateFilterCheck_ = make<QCheckBox>(dateFrame, "Check1");
    dateFilterCheck_->setText(QStringLiteral("適用"));
    dateFilterCheck_->setToolTip(QStringLiteral("設定を有効にします"));
    placeTwips(dateFilterCheck_, 240, 240, 735, 300);
    yearEdit_ = make<QLineEdit>(dateFrame, "Text2");
    yearEdit_->setToolTip(QStringLiteral("抽出する年を設定します"));
    placeTwips(yearEdit_, 1200, 240, 615, 315);
    yearEdit_->installEventFilter(this);
    yearSpin_ = new controls::SpinButton(Qt::Vertical, dateFrame);
    yearSpin_->setObjectName(QStringLiteral("SpinButton1"));
    yearSpin_->setRange(1900, 2100);
    placeTwips(yearSpin_, 1800, 240, 255, 375);
    placeTwips(label(dateFrame, "Label5", QStringLiteral("年")), 2040, 360, 255, 255);
    monthBox_ = combo(dateFrame, "Combo2", QStringLiteral("抽出する月を設定します"));
    placeTwips(monthBox_, 2280, 240, 975, 300);
    placeTwips(label(dateFrame, "Label6", QStringLiteral("月")), 3240, 360, 255, 255);
}

void ListWindow::buildItemFilter() {
    QGroupBox* itemFrame =
        frame(this, "frame1", QStringLiteral("フィルター"), QStringLiteral("予定項目により選択表示します"));
    placeTwips(itemFrame, 120, 960, 3615, 1695);
    placeTwips(label(itemFrame, "Label1", QStringLiteral("項目番号")), 240, 360, 975, 255);
    slotBox_ = combo(itemFrame, "Combo1", QStringLiteral("抽出する項目番号を設定します"));
    placeTwips(slotBox_, 240, 600, 975, 300);
    placeTwips(label(itemFrame, "Label2", QStringLiteral("レベル番号")), 1320, 360, 975, 255);
    levelBox_ = combo(itemFrame, "Combo4", QStringLiteral("抽出するレベル番号を設定します"));
    placeTwips(levelBox_, 1320, 600, 975, 300);
    placeTwips(label(itemFrame, "Label3", QStringLiteral("アラーム設定")), 2400, 360, 1095, 255);
    alarmBox_ = combo(itemFrame, "Combo5", QStringLiteral("抽出するアラーム状態を設定します"));
    placeTwips(alarmBox_, 2400, 600, 975, 300);
    clearFiltersButton_ = button(itemFrame, "Command4", QStringLiteral("すべてのフィルター解除"),
                                 QStringLiteral("すべてのフィルター解除スイッチ"));
    placeTwips(clearFiltersButton_, 240, 1080, 3135, 495);
}

void ListWindow::buildSearch() {
    QGroupBox* searchFrame =
        frame(this, "Frame2", QStringLiteral("予定検索"), QStringLiteral("内容の検索ができます"));
    placeTwips(searchFrame, 3840, 960, 1815, 1695);
    placeTwips(label(searchFrame, "Label4", QStringLiteral("検索文字列")), 120, 360, 1215, 255);
    searchEdit_ = make<QLineEdit>(searchFrame, "Text1");
    searchEdit_->setToolTip(QStringLiteral("検索する文字列を入力します"));
    placeTwips(searchEdit_, 120, 600, 1575, 270);
    searchButton_ =
        button(searchFrame, "Command2", QStringLiteral("検索"), QStringLiteral("検索実行スイッチ"));
    placeTwips(searchButton_, 120, 1080, 1575, 465);
}

void ListWindow::buildSort() {
    QGroupBox* sortFrame =
        frame(this, "Frame3", QStringLiteral("ソート"), QStringLiteral("設定条件により並び替えできます"));
    placeTwips(sortFrame, 5760, 840, 2895, 1815);
    QGroupBox* fieldFrame =
        frame(sortFrame, "Frame4", QStringLiteral("比較項目"), QStringLiteral("基準項目を選択します"));
    placeTwips(fieldFrame, 120, 240, 1575, 1455);
    sortGroup_ = new QButtonGroup(this);
    // Each option's id is the sort field's index (list/QueryBuilder.h); they stand in this order.
    struct SortOption {
        int id;
        const char* caption;
        int width;
    };
    const QFont optionFont = controls::gothicFont(8.25);
    int top = 240;
    for (const SortOption& def :
         {SortOption{0, "年月日", 1095}, SortOption{1, "項目番号", 1215}, SortOption{4, "レベル", 1215},
          SortOption{2, "アラーム設定", 1335}, SortOption{3, "内容", 975}}) {
        auto* option = make<QRadioButton>(fieldFrame, "Option1");
        option->setProperty("index", def.id);
        option->setText(QString::fromUtf8(def.caption));
        option->setFont(optionFont);
        placeTwips(option, 120, top, def.width, 180);
        sortGroup_->addButton(option, def.id);
        top += 240;
    }
    ascendingButton_ =
        button(sortFrame, "Command5", QStringLiteral("昇順"), QStringLiteral("昇順ソート実行スイッチ"));
    placeTwips(ascendingButton_, 1800, 480, 975, 495);
    descendingButton_ =
        button(sortFrame, "Command6", QStringLiteral("降順"), QStringLiteral("降順ソート実行スイッチ"));
    placeTwips(descendingButton_, 1800, 1200, 975, 495);
}

void ListWindow::buildButtonsAndGrid() {
    deleteButton_ = pictureButton(this, "Command3", QStringLiteral(":/day/discard.png"),
                                  QStringLiteral("選択項目の削除"));
    placeTwips(deleteButton_, 4080, 120, 615, 615);
    closeButton_ = pictureButton(this, "Command1", QStringLiteral(":/day/end.png"),
                                 QStringLiteral("スケジュールリスト表示の終了"));
    placeTwips(closeButton_, 7920, 120, 615, 615);
    // In the free space of the top row, between the two picture buttons.
    csvExportButton_ = button(this, "csvExportButton", QStringLiteral("CSV出力"),
                              QStringLiteral("表示中のリストをCSVファイルに書き出します"));
    placeTwips(csvExportButton_, 4920, 120, 1215, 615);

    grid_ = new controls::DataGrid(data_, this);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setFieldWidths(store::dayTextWidths());
    grid_->setFieldRule(store::kDateField, dateProblem);
    grid_->setToolTip(QStringLiteral("設定されているスケジュールのリスト"));
    placeTwips(grid_, 0, 2775, 8775, 3135);

    // Tab follows the layout: the date filter, the top row's buttons from left to right, the
    // frames of the second row from left to right, then the grid.
    QList<QWidget*> order{dateFilterCheck_,    yearEdit_,    yearSpin_,    monthBox_, deleteButton_,
                          csvExportButton_,    closeButton_, slotBox_,     levelBox_, alarmBox_,
                          clearFiltersButton_, searchEdit_,  searchButton_};
    for (QAbstractButton* option : sortGroup_->buttons())
        order << option;
    order << ascendingButton_ << descendingButton_ << grid_;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void ListWindow::connectEvents() {
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    controls::closeOnEscape(this);
    connect(deleteButton_, &QPushButton::clicked, grid_, &controls::DataGrid::deleteCurrent);
    connect(csvExportButton_, &QPushButton::clicked, this, [this] {
        grid_->commitEdits();
        exportListCsv(this, data_);
    });
    connect(clearFiltersButton_, &QPushButton::clicked, this, &ListWindow::clearItemFilters);
    connect(searchButton_, &QPushButton::clicked, this, &ListWindow::searchContent);
    connect(ascendingButton_, &QPushButton::clicked, this, [this] { sort(SortOrder::Ascending); });
    connect(descendingButton_, &QPushButton::clicked, this, [this] { sort(SortOrder::Descending); });
    connect(dateFilterCheck_, &QCheckBox::toggled, this, [this](bool checked) {
        // Unchecking leaves the query in force as it is.
        if (checked)
            runDateFilter();
    });
    connect(yearSpin_, &controls::SpinButton::valueChanged, this, [this](int value) {
        yearEdit_->setText(QString::number(value));
        if (dateFilterCheck_->isChecked())
            runDateFilter();
    });
    for (QComboBox* box : {slotBox_, levelBox_, alarmBox_, monthBox_}) {
        // Change: typed text, a text set by the program, or a different item picked.
        connect(box, &QComboBox::editTextChanged, this, [this, box] { comboChanged(box); });
        // Click: an item picked from the list, also the one already shown.
        connect(box, &QComboBox::activated, this, [this, box] { comboClicked(box); });
    }
}

bool ListWindow::load() {
    setYearToToday();

    // Each box shows "すべて". The filters their change events would run wait until the file is
    // open.
    QStringList months{kAll};
    for (int m = 1; m <= 12; ++m)
        months << QString::number(m) + QStringLiteral("月");
    fill(monthBox_, months);
    QStringList slotChoices{kAll};
    for (int slot = 1; slot <= store::kSlotCount; ++slot)
        slotChoices << QStringLiteral("項目") + QString::number(slot);
    fill(slotBox_, slotChoices);
    fill(levelBox_, QStringList{kAll} + store::levelTexts());
    fill(alarmBox_, {kAll, store::kAlarmOff, store::kAlarmOn});
    controls::fitCaptions(this); // the choices fit their boxes, also with larger system fonts

    // Without a Schedule file there is no window at all.
    const QString file = host_.settings().scheduleFile;
    if (file.isEmpty()) {
        close();
        return false;
    }
    data_.setDatabaseName(file);
    if (refreshData(QString()))
        refreshData(store::kDayTable);
    dataOpen_ = true;

    sortGroup_->button(kDefaultSortIndex)->setChecked(true);
    controls::centreOnScreen(this);
    return true;
}

FilterState ListWindow::filterState() const {
    FilterState state;
    state.slot = slotBox_->currentText();
    state.level = levelBox_->currentText();
    state.alarm = alarmBox_->currentText();
    state.dateFilter = dateFilterCheck_->isChecked();
    state.year = yearEdit_->text();
    state.month = monthBox_->currentText();
    state.search = searchEdit_->text();
    state.sortIndex = sortGroup_->checkedId() >= 0 ? sortGroup_->checkedId() : kDefaultSortIndex;
    return state;
}

void ListWindow::runDateFilter() {
    runQuery(dateFilterQuery(filterState()));
}

void ListWindow::runCombinedFilter() {
    runQuery(combinedFilterQuery(filterState()));
}

void ListWindow::searchContent() {
    if (searchEdit_->text().toUcs4().size() > kMaxSearchLength) {
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

void ListWindow::reloadUnlessEditing() {
    if (!dataOpen_ || grid_->editing())
        return;
    const store::Error error = data_.refresh();
    grid_->rebind();
    if (error.failed())
        reportError(error);
}

bool ListWindow::refreshData(const QString& source) {
    // A refused edit stays in the grid to be corrected; the query waits until then.
    if (!grid_->commitEdits())
        return false;
    data_.setRecordSource(source);
    const store::Error error = data_.refresh();
    grid_->rebind();
    if (error.failed()) {
        reportError(error);
        return false;
    }
    return true;
}

void ListWindow::filterFor(QComboBox* box) {
    if (box != monthBox_)
        runCombinedFilter();
    else if (dateFilterCheck_->isChecked())
        runDateFilter();
}

void ListWindow::comboChanged(QComboBox* box) {
    filterFor(box);
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
    filterFor(box);
}

void ListWindow::clearItemFilters() {
    // One filter run for the three boxes together.
    for (QComboBox* box : {slotBox_, levelBox_, alarmBox_}) {
        const QSignalBlocker blocker(box);
        box->setCurrentText(kAll);
    }
    runCombinedFilter();
}

void ListWindow::setYearToToday() {
    const int year = platform::today().year();
    yearEdit_->setText(QString::number(year));
    yearSpin_->setValue(year);
}

bool ListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == yearEdit_ && event->type() == QEvent::MouseButtonDblClick)
        setYearToToday();
    return QWidget::eventFilter(watched, event);
}

void ListWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    sizeRules_.apply(this, grid_);
}

void ListWindow::closeEvent(QCloseEvent* event) {
    // An edited row is written before the file is let go; a refused one keeps the window open.
    if (!grid_->commitEdits()) {
        event->ignore();
        return;
    }
    host_.setMainEnabled(true);
    data_.close();
    event->accept();
}

void showListWindow(shell::Host& host) {
    auto* window = new ListWindow(host, host.mainWindow());
    if (!window->load())
        return;
    window->show();
    controls::centreOnScreen(window);
}

} // namespace list
