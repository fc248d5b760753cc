#include "sync/Engine.h"

namespace calsync {

exchange::DateRange defaultSyncRange(const QDate& today) {
    return {today.addYears(-1), today.addYears(2)};
}

SyncReport runSync(const QString&, const QString&, Server&, const SyncOptions&) {
    SyncReport report;
    report.failure = QStringLiteral("同期はまだ使えません。");
    return report;
}

} // namespace calsync
