#pragma once
// What a window test stands on: a temporary program folder, the fake platform installed, a
// stand-in main window holding the Settings, and an empty Schedule file named as the Settings'
// START_FILE. A test makes one in init() and drops it in cleanup(), so that every test function
// starts afresh; rows go into the file through support/ScheduleRows.h. Header-only; link
// daduvov_gui.

#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

#include <QLineEdit>
#include <QTableView>
#include <QtTest>

namespace testsupport {

struct WindowFixture {
    WindowFixture() {
        platform.install();
        host.settingsRecord.scheduleFile = file;
    }

    TestEnv env;
    FakePlatform platform;
    FakeHost host;
    QString file = env.makeScheduleFile();
};

// The widget of type T below `parent` whose object name is `name`, or nullptr.
template <typename T = QWidget> T* child(const QObject* parent, const char* name) {
    return parent->findChild<T*>(QString::fromLatin1(name));
}

// The floating editor a grid shows now, or nullptr (closed editors linger until deleted later).
inline QLineEdit* openCellEditor(const QTableView* grid) {
    for (QLineEdit* editor : grid->findChildren<QLineEdit*>(QStringLiteral("cellEditor")))
        if (editor->isVisible())
            return editor;
    return nullptr;
}

// Clicks a cell of a grid as the user does, scrolling it into view first.
inline void clickCell(QTableView* grid, int row, int column) {
    const QModelIndex index = grid->model()->index(row, column);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

} // namespace testsupport
