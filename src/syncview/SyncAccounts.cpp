#include "syncview/SyncAccounts.h"

namespace syncview {

SyncController::Accounts programAccounts() {
    SyncController::Accounts accounts;
    accounts.has = [](const QString&) { return false; };
    return accounts;
}

} // namespace syncview
