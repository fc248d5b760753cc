#include "sync/AccountSync.h"

#include "sync/CalDavClient.h"

#include <QUrl>

namespace calsync {

SyncReport syncWithAccount(const Account& account, const QString& password, const SyncOptions& options,
                           const std::atomic_bool* stop) {
    HttpOptions http;
    http.user = account.user;
    http.password = password;
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
