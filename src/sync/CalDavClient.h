#pragma once
// The CalDAV client (RFC 4791, RFC 6578): finds the user's calendars from a server address or a
// collection's URL, and speaks to one calendar collection as a calsync::Server. Every call is
// synchronous; one client is used on one thread.

#include "sync/Account.h"
#include "sync/Http.h"
#include "sync/Server.h"

#include <QSet>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

namespace calsync {

// A calendar collection as discovery found it.
struct Calendar {
    QUrl url; // the collection, its path ending in "/"
    QString name;
    bool takesEvents = true;
    bool takesTodos = false;
    bool syncCollection = true; // offers sync tokens (or did not say it does not)
};

class CalDavClient : public Server {
  public:
    explicit CalDavClient(HttpOptions options);

    // The calendars at `address`: the collection itself when it is one, else those of the user's
    // calendar home, found through /.well-known/caldav, current-user-principal and
    // calendar-home-set. An address without any calendar is a Failure of kind NotCalendar.
    Outcome<std::vector<Calendar>> discover(const QUrl& address);

    // The collection changesSince and write speak to.
    void setCalendar(const Calendar& calendar);
    const Calendar& calendar() const { return calendar_; }

    bool takesTodos() const override;
    // Resource addresses (`Resource::href`, `Write::href`, the keys of `known`, `removed`) are
    // resource names within the collection ("uid.ics"), percent-decoded.
    Outcome<Changes> changesSince(const QString& token, const QHash<QString, QString>& known) override;
    Outcome<std::vector<Written>> write(const std::vector<Write>& writes) override;

    // Resources fetched per calendar-multiget.
    void setMultigetBatch(int resources) { multigetBatch_ = resources; }
    // Requests sent so far.
    int requestCount() const { return http_.requestCount(); }

  private:
    Outcome<Changes> syncCollection(const QString& token, const QHash<QString, QString>& known,
                                    bool& refused);
    Outcome<Changes> listing(const QHash<QString, QString>& known);
    // A listing's known resources that it does not name are removed.
    static void removeUnlisted(Changes& changes, const QHash<QString, QString>& known,
                               const QSet<QString>& listed);
    // Fetches the resources listed as changed; a known one gone by then counts as removed.
    Outcome<Changes> withFetched(Changes changes, const QStringList& wanted,
                                 const QHash<QString, QString>& known);
    Outcome<std::vector<Resource>> fetch(const QStringList& names, QStringList& gone);
    QString nameOf(const QString& href) const;
    QUrl urlOf(const QString& name) const;

    Http http_;
    Calendar calendar_;
    int multigetBatch_ = 100;
};

// The client of an account's calendar, as the account was stored by --sync-account, with the
// password from the keyring (readPassword).
std::unique_ptr<CalDavClient> clientFor(const Account& account, const QString& password,
                                        const std::atomic_bool* stop = nullptr);

} // namespace calsync
