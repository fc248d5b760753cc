#include "todo/TodoWindow.h"

#include "controls/Accessible.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/WindowSetup.h"
#include "platform/Services.h"
#include "shell/Host.h"
#include "store/ScheduleLayout.h"
#include "todo/TodoWindows.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <limits>

namespace todo {

namespace {

// Twips into the Settings' 16-bit fields. A window taller than about 2180 pixels measures more
// than 32767 twips; the value is held at the limit rather than wrapping round.
qint16 toInt16(int twips) {
    constexpr int low = std::numeric_limits<qint16>::min();
    constexpr int high = std::numeric_limits<qint16>::max();
    return static_cast<qint16>(std::clamp(twips, low, high));
}

void reportError(const QString& text) {
    platform::message(text, platform::kAppTitle, platform::Icon::Exclamation);
}

} // namespace

TodoWindow::TodoWindow(shell::Host& host, QWidget* parent)
    : QWidget(parent, controls::kCloseOnlyWindow), host_(host) {
    controls::setUpWindow(this, QStringLiteral("ToDo_list"), QStringLiteral("Daduvov-ToDo List"), 3630, 1095);

    buildControls();
    describeControls();
}

void TodoWindow::describeControls() {
    controls::setAccessibleName(grid_, QStringLiteral("ToDoリスト"));
    controls::fitCaptions(this);
    if (auto* deleteButton = findChild<QPushButton*>(QStringLiteral("Command1")))
        controls::setAccessibleName(deleteButton, QStringLiteral("削除"));
    // The title's navy is fixed, so is the light ground it is read on (the window colour of the
    // light theme), also under a dark theme.
    if (auto* title = findChild<QLabel*>(QStringLiteral("Label1"))) {
        QPalette pal = title->palette();
        pal.setColor(QPalette::Window, QColor(0xEF, 0xEF, 0xEF));
        title->setPalette(pal);
        title->setAutoFillBackground(true);
    }
}

void TodoWindow::buildControls() {
    auto* title = new QLabel(QStringLiteral("ToDo List"), this);
    title->setObjectName(QStringLiteral("Label1"));
    QFont rockwell(controls::installedFace(controls::kRockwell));
    rockwell.setPointSizeF(14.25);
    rockwell.setBold(true);
    rockwell.setItalic(true);
    title->setFont(rockwell);
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    title->setPalette(palette);
    title->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    controls::placeTwips(title, 120, 0, 1815, 375);

    auto* deleteButton = new QPushButton(QStringLiteral("削除"), this);
    deleteButton->setObjectName(QStringLiteral("Command1"));
    deleteButton->setToolTip(QStringLiteral("選択項目削除"));
    controls::placeTwips(deleteButton, 2160, 120, 735, 255);

    grid_ = new controls::DataGrid(data_, this);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setFieldWidths(store::todoTextWidths());
    grid_->setFrameShape(QFrame::NoFrame);
    grid_->setNewRowEnabled(true);
    grid_->setColumnWidth(controls::px(3000));
    controls::placeTwips(grid_, 120, 480, 3375, 615);

    connect(deleteButton, &QPushButton::clicked, grid_, &controls::DataGrid::deleteCurrent);
    controls::closeOnEscape(this);
}

TodoWindow::~TodoWindow() {
    // The grid reads the data control, which as a member goes before the child widgets would.
    delete grid_;
}

bool TodoWindow::refreshData(const QString& source) {
    data_.setRecordSource(source);
    const store::Error error = data_.refresh();
    grid_->rebind();
    if (error.failed())
        reportError(store::describe(error));
    return error.ok();
}

void TodoWindow::reloadUnlessEditing() {
    if (loaded_ && !grid_->editing())
        refreshData(store::todoListSource());
}

void TodoWindow::load() {
    const QString file = host_.settings().scheduleFile;
    if (file.isEmpty()) {
        reportError(QStringLiteral("スケジュールファイルが設定されていません"));
    } else {
        data_.setDatabaseName(file);
        if (refreshData(store::kTodoTable))
            refreshData(store::todoListSource());
    }

    // Where the user left it; the size rules then apply.
    loaded_ = true;
    place();
}

void TodoWindow::place() {
    const settings::Settings& s = host_.settings();
    if (controls::windowPositionsKnown())
        move(controls::px(s.todoLeft), controls::px(s.todoTop));
    const QSize frame = frameGeometry().size() - size();
    // The limits of the size rules are set again for this frame.
    setMinimumSize(0, 0);
    setMaximumWidth(QWIDGETSIZE_MAX);
    resize(controls::px(s.todoWidth) - frame.width(), controls::px(s.todoHeight) - frame.height());
    applySizeRules();
}

void TodoWindow::showPlaced() {
    // Showing adds the frame; the stored outer size includes it, so the window is placed again
    // rather than taking the size that showing gave it.
    showing_ = true;
    show();
    showing_ = false;
    place();
}

void TodoWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (loaded_ && !showing_)
        applySizeRules();
}

void TodoWindow::applySizeRules() {
    if (!sizeRules_.apply(this, grid_))
        return;

    const QRect placed = frameGeometry();
    settings::Settings& s = host_.settings();
    s.todoWidth = toInt16(controls::twips(placed.width()));
    s.todoHeight = toInt16(controls::twips(placed.height()));
    storePosition();
}

void TodoWindow::storePosition() {
    // Where the platform cannot tell the window's position, the stored one stays as it was.
    if (!controls::windowPositionsKnown())
        return;
    const QRect outer = frameGeometry();
    host_.settings().todoTop = controls::twips(outer.top());
    host_.settings().todoLeft = controls::twips(outer.left());
}

void TodoWindow::closeEvent(QCloseEvent* event) {
    // An entry being typed is written before the file is let go; a refused one keeps the window
    // open.
    if (!grid_->commitEdits()) {
        host_.setTodoChecked(true); // the menu item may have cleared its mark already
        event->ignore();
        return;
    }
    storePosition();
    host_.setTodoChecked(false);
    data_.close();
    event->accept();
}

QWidget* TodoWindows::show(shell::Host& host) {
    if (window_) {
        window_->raise();
        window_->activateWindow();
        return window_;
    }
    window_ = new TodoWindow(host, host.mainWindow());
    window_->load();
    window_->showPlaced();
    return window_;
}

void TodoWindows::close() {
    if (window_)
        window_->close();
}

void TodoWindows::reload() {
    if (window_)
        window_->reloadUnlessEditing();
}

} // namespace todo
