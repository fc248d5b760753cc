#pragma once
// The sync account of a Schedule file: which server and calendar it syncs with, as whom, and the
// certificate the user pinned. It lives in the user's own configuration folder
// ($XDG_CONFIG_HOME/daduvov/), keyed by the Schedule file's canonical path, never in the Schedule
// file: a file from someone else cannot make the program contact a server. The password lives in
// the desktop's Secret Service, never in a file.

#include <QString>

#include <optional>

namespace calsync {

struct Account {
    QString schedule; // the Schedule file's canonical path
    QString server;   // the address the user gave
    QString user;
    QString collection; // the calendar collection's URL
    QString calendarName;
    bool takesTodos = false;
    bool syncCollection = true;
    QString pinnedFingerprint; // "AB:CD:…", empty when none
};

// $XDG_CONFIG_HOME/daduvov (~/.config/daduvov when XDG_CONFIG_HOME is unset).
QString accountFolder();
// The file the accounts are kept in, inside accountFolder().
QString accountsFile();
// The path a Schedule file's account is keyed by: canonical when the file exists.
QString scheduleKey(const QString& schedulePath);

struct AccountRead {
    std::optional<Account> account; // none: the file has no account (not a failure)
    QString failure;                // a Japanese sentence when the accounts could not be read
};
AccountRead readAccount(const QString& schedulePath);
// Stores `account` for account.schedule, replacing the one it had; the file is replaced as a
// whole. Returns why it failed; empty on success.
QString saveAccount(const Account& account);

// The password in the Secret Service, or why it is not there (a Japanese sentence, the keyring's
// own text after it).
struct PasswordRead {
    std::optional<QString> password;
    QString failure;
};
PasswordRead readPassword(const Account& account);
QString storePassword(const Account& account, const QString& password);

} // namespace calsync
