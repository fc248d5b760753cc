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
    // The account and its password are read here, on the program's thread: the keyring answers
    // through this thread's event loop, never a worker's.
    accounts.job = [](const QString& schedulePath) -> SyncRunner::Job {
        const calsync::AccountRead read = calsync::readAccount(schedulePath);
        QString failure = read.account ? QString() : read.failure;
        if (read.account && failure.isEmpty()) {
            const calsync::PasswordRead password = calsync::readPassword(*read.account);
            if (password.password) {
                calsync::SyncOptions options;
                options.range = calsync::defaultSyncRange(QDate::currentDate());
                return [account = *read.account, password = *password.password,
                        options](const std::atomic_bool& stop) {
                    return calsync::syncWithAccount(account, password, options, &stop);
                };
            }
            failure = password.failure;
        }
        if (failure.isEmpty())
            failure = QStringLiteral("同期の設定がありません。ﾂｰﾙ → 同期設定 で設定してください。");
        return [failure](const std::atomic_bool&) {
            calsync::SyncReport report;
            report.failure = failure;
            return report;
        };
    };
    return accounts;
}

} // namespace syncview
