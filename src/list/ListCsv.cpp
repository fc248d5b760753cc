#include "list/ListCsv.h"

#include "controls/WorkProgress.h"
#include "exchange/Csv.h"
#include "exchange/Messages.h"
#include "platform/Services.h"
#include "store/DataControl.h"

#include <QFileInfo>

namespace list {

void exportListCsv(QWidget* parent, const store::DataControl& data) {
    // Over the list window, in the Schedule file's folder until the user has chosen a file
    // somewhere else.
    const platform::DialogPlace place{parent, QFileInfo(data.databaseName()).absolutePath()};
    const QString path = platform::services().files->saveFile(QStringLiteral("CSV (*.csv)|*.csv"),
                                                              QStringLiteral("daduvov.csv"), place);
    if (path.isEmpty())
        return;
    exchange::CsvExport result;
    {
        controls::WorkProgress progress(parent, QStringLiteral("CSVに書き出しています..."));
        result = exchange::exportCsv(data, path, progress.callback());
    }
    exchange::messages::showExportOutcome(
        result.cancelled, result.failure,
        QStringLiteral("%1行を書き出しました。\n%2").arg(result.rows).arg(path));
}

} // namespace list
