#include "sync/AccountSync.h"

#include "sync/CalDavClient.h"

namespace calsync {

QString collectionIdentity(const Account& account) {
    return account.collection + QLatin1Char('\n') + account.user;
}

SyncReport syncWithAccount(const Account& account, const QString& password, const SyncOptions& options,
                           const std::atomic_bool* stop) {
    const std::unique_ptr<CalDavClient> client = clientFor(account, password, stop);
    return runSync(account.schedule, collectionIdentity(account), *client, options);
}

} // namespace calsync
