#pragma once
// The list window's CSV export: the rows the grid shows, in its order, to a file the user names.

class QWidget;

namespace store {
class DataControl;
}

namespace list {

void exportListCsv(QWidget* parent, const store::DataControl& data);

} // namespace list
