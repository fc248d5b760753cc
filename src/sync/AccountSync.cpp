#include "sync/AccountSync.h"

#include "sync/CalDavClient.h"

#include <QUrl>

namespace calsync {

SyncReport syncWithAccount(const Account& account, const SyncOptions& options, const std::atomic_bool* stop) {
    const PasswordRead password = readPassword(account);
    if (!password.password) {
        SyncReport report;
        report.failure = password.failure;
        return report;
    }
    HttpOptions http;
    http.user = account.user;
    http.password = *password.password;
    http.pinnedFingerprint = account.pinnedFingerprint;
    http.stop = stop;
    CalDavClient client(http);
    Calendar calendar;
    calendar.url = QUrl(account.collection);
    calendar.name = account.calendarName;
    calendar.takesTodos = account.takesTodos;
    calendar.syncCollection = account.syncCollection;
    client.setCalendar(calendar);
    return runSync(account.schedule, account.collection, client, options);
}

} // namespace calsync
