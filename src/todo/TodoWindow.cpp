#include "todo/TodoWindow.h"

#include "calendar/MainHost.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "platform/Services.h"
#include "todo/TodoWindows.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <limits>

namespace todo {

namespace {

// Outer size rules of the window, in twips.
constexpr int kOuterWidth = 3750;
constexpr int kMinOuterHeight = 1500;
constexpr int kGridHeightAllowance = 900;

const QString kTodoQuery = QStringLiteral("SELECT やるべき事 FROM ToDoリスト;");

// Twips into the Settings' 16-bit fields. The old program overflowed past 32767 twips (a window
// taller than about 2180 pixels); the value is held at the limit instead.
qint16 toInt16(int twips) {
    constexpr int low = std::numeric_limits<qint16>::min();
    constexpr int high = std::numeric_limits<qint16>::max();
    return static_cast<qint16>(std::clamp(twips, low, high));
}

void reportError(const QString& text) {
    platform::message(text, platform::kAppTitle, platform::Icon::Exclamation);
}

QPointer<TodoWindow>& openWindow() {
    static QPointer<TodoWindow> window;
    return window;
}

} // namespace

TodoWindow::TodoWindow(calendar::MainHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      host_(host) {
    setObjectName(QStringLiteral("ToDo_list"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Daduvov-ToDo List"));
    setFont(controls::gothicFont(9));
    resize(controls::px(3630), controls::px(1095));

    Label1 = new QLabel(QStringLiteral("ToDo List"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont rockwell(controls::kRockwell);
    rockwell.setPointSizeF(14.25);
    rockwell.setBold(true);
    rockwell.setItalic(true);
    Label1->setFont(rockwell);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    Label1->setPalette(palette);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    controls::placeTwips(Label1, 120, 0, 1815, 375);

    Command1 = new QPushButton(QStringLiteral("削除"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("選択項目削除"));
    controls::placeTwips(Command1, 2160, 120, 735, 255);
    connect(Command1, &QPushButton::clicked, this, &TodoWindow::Command1_Click);

    DBGrid1 = new controls::DataGrid(Data1, this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setFrameShape(QFrame::NoFrame);
    DBGrid1->setNewRowEnabled(true);
    DBGrid1->setColumnWidth(controls::px(3000));
    controls::placeTwips(DBGrid1, 120, 480, 3375, 615);
}

TodoWindow::~TodoWindow() {
    // The grid reads Data1, which as a member goes before the child widgets would.
    delete DBGrid1;
}

bool TodoWindow::refreshData(const QString& source) {
    Data1.setRecordSource(source);
    const store::Error error = Data1.refresh();
    DBGrid1->rebind();
    if (error)
        reportError(store::describe(error));
    return !error;
}

void TodoWindow::load() {
    // 1. and 2. The ToDo list of the Schedule file.
    const QString file = host_.settings().START_FILE;
    if (file.isEmpty()) {
        reportError(QStringLiteral("スケジュールファイルが設定されていません"));
    } else {
        Data1.setDatabaseName(file);
        if (refreshData(QStringLiteral("ToDoリスト")))
            refreshData(kTodoQuery);
    }

    // 3. Where the user left it; the size rules then apply.
    loaded_ = true;
    place();
}

void TodoWindow::place() {
    const settings::Settings& s = host_.settings();
    move(controls::px(s.ToDo_Left), controls::px(s.ToDo_Top));
    const QSize frame = frameGeometry().size() - size();
    // The limits of the size rules are set again for this frame.
    setMinimumSize(0, 0);
    setMaximumWidth(QWIDGETSIZE_MAX);
    resize(controls::px(s.ToDo_WID) - frame.width(), controls::px(s.ToDo_HEI) - frame.height());
    Form_Resize();
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
        Form_Resize();
}

void TodoWindow::Form_Resize() {
    if (resizing_)
        return;
    resizing_ = true;
    const int outerHeight = controls::pinOuterSize(this, kOuterWidth, kMinOuterHeight);
    resizing_ = false;

    const int gridHeight = controls::px(controls::twips(outerHeight) - kGridHeightAllowance);
    DBGrid1->resize(DBGrid1->width(), qMax(0, gridHeight));

    const QRect placed = frameGeometry();
    settings::Settings& s = host_.settings();
    s.ToDo_WID = toInt16(controls::twips(placed.width()));
    s.ToDo_HEI = toInt16(controls::twips(placed.height()));
    s.ToDo_Top = controls::twips(placed.top());
    s.ToDo_Left = controls::twips(placed.left());
}

void TodoWindow::Command1_Click() {
    DBGrid1->deleteCurrent();
}

void TodoWindow::closeEvent(QCloseEvent* event) {
    // `Form_Unload`. An entry being typed is written before the file is let go; a refused one
    // keeps the window open.
    if (!DBGrid1->commitEdits()) {
        host_.setTodoChecked(true); // the menu item may have cleared its mark already
        event->ignore();
        return;
    }
    const QRect outer = frameGeometry();
    host_.settings().ToDo_Top = controls::twips(outer.top());
    host_.settings().ToDo_Left = controls::twips(outer.left());
    host_.setTodoChecked(false);
    Data1.close();
    event->accept();
}

QWidget* showTodoWindow(calendar::MainHost& host) {
    QPointer<TodoWindow>& window = openWindow();
    if (window) {
        window->raise();
        window->activateWindow();
        return window;
    }
    window = new TodoWindow(host, host.mainWindow());
    window->load();
    window->showPlaced();
    return window;
}

void closeTodoWindow() {
    if (TodoWindow* window = openWindow())
        window->close();
}

} // namespace todo
