#include "syncview/SyncAccounts.h"

#include "sync/AccountSync.h"

#include <QDate>

namespace syncview {

SyncController::Accounts programAccounts() {
    SyncController::Accounts accounts;
    accounts.has = [](const QString& schedulePath) {
        return calsync::readAccount(schedulePath).account.has_value();
    };
    accounts.interval = [](const QString& schedulePath) {
        const calsync::AccountRead read = calsync::readAccount(schedulePath);
        return read.account ? read.account->intervalMinutes : 0;
    };
    accounts.job = [](const QString& schedulePath) -> SyncRunner::Job {
        return [schedulePath](const std::atomic_bool& stop) {
            // Read afresh on the worker: the account may have changed since the sync was planned.
            const calsync::AccountRead read = calsync::readAccount(schedulePath);
            if (!read.account) {
                calsync::SyncReport report;
                report.failure =
                    read.failure.isEmpty() ? QStringLiteral("同期の設定がありません。") : read.failure;
                return report;
            }
            calsync::SyncOptions options;
            options.range = calsync::defaultSyncRange(QDate::currentDate());
            return calsync::syncWithAccount(*read.account, options, &stop);
        };
    };
    return accounts;
}

} // namespace syncview
