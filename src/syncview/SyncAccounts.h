#pragma once
// The sync accounts the program knows, as the sync controller asks for them.

#include "syncview/SyncController.h"

namespace syncview {

// The accounts stored in the user's configuration, with their passwords from the keyring.
SyncController::Accounts programAccounts();

} // namespace syncview
