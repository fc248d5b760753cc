#pragma once
// One sync of a Schedule file with its stored account: the password from the Secret Service, the
// client for the account's calendar, the engine. For the command line and the program alike.

#include "sync/Account.h"
#include "sync/Engine.h"

#include <atomic>

namespace calsync {

// What the file's pairing belongs to: the calendar as this user sees it. The command line and the
// program use the same, so either may sync a file after the other.
QString collectionIdentity(const Account& account);

// Runs the sync with the account's password, read before (on the thread that talks to the
// keyring: its answers arrive through that thread's event loop). `stop`, when given, is looked at
// from another thread: once set, the requests under way end and the sync stops.
SyncReport syncWithAccount(const Account& account, const QString& password, const SyncOptions& options,
                           const std::atomic_bool* stop = nullptr);

} // namespace calsync
