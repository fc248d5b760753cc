#include "sync/CalDavClient.h"

#include "sync/Multistatus.h"

#include <QSet>

namespace calsync {

namespace {

const QByteArray kXml = "application/xml; charset=utf-8";
const QByteArray kPropfindCalendars =
    R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop>
<d:resourcetype/><d:displayname/><d:current-user-principal/><c:calendar-home-set/>
<c:supported-calendar-component-set/><d:supported-report-set/>
</d:prop></d:propfind>)";
const QByteArray kCalendarQuery =
    R"(<?xml version="1.0" encoding="utf-8"?>
<c:calendar-query xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">
<d:prop><d:getetag/></d:prop><c:filter><c:comp-filter name="VCALENDAR"/></c:filter>
</c:calendar-query>)";
// Sync-collection rounds followed when the server hands its answer out in parts.
constexpr int kMaxSyncRounds = 1000;

HttpRequest davRequest(const QByteArray& method, const QUrl& url, const QByteArray& depth,
                       const QByteArray& body) {
    return {method, url, body, {{"Depth", depth}, {"Content-Type", kXml}}};
}

// The answer as a multistatus, or the failure it stands for.
Outcome<Multistatus> multistatusOf(const Outcome<HttpResponse>& answer) {
    if (!answer.ok())
        return answer.failure();
    const HttpResponse& response = answer.value();
    if (response.status != 207) {
        if (const Failure failure = statusFailure(response.status, response.body); failure.failed())
            return failure;
        return Failure{
            Failure::Kind::NotCalendar,
            QStringLiteral(
                "このアドレスはカレンダーのサーバーとして答えませんでした。アドレスを確かめてください。"),
            QStringLiteral("HTTP %1 instead of 207 Multi-Status").arg(response.status)};
    }
    return parseMultistatus(response.body);
}

QUrl asFolder(QUrl url) {
    QString path = url.path(QUrl::FullyEncoded);
    if (!path.endsWith(QLatin1Char('/')))
        url.setPath(path + QLatin1Char('/'), QUrl::StrictMode);
    return url;
}

QUrl resolvedHref(const QUrl& base, const QString& href) {
    return base.resolved(QUrl(href, QUrl::TolerantMode));
}

Calendar calendarOf(const DavResponse& response, const QUrl& base) {
    Calendar calendar;
    calendar.url = asFolder(resolvedHref(base, response.href));
    calendar.name = response.displayName;
    if (calendar.name.isEmpty()) {
        const QStringList parts =
            calendar.url.path(QUrl::FullyDecoded).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        calendar.name = parts.isEmpty() ? calendar.url.toDisplayString() : parts.last();
    }
    calendar.takesEvents = !response.componentsGiven || response.components.contains(QLatin1String("VEVENT"));
    calendar.takesTodos = !response.componentsGiven || response.components.contains(QLatin1String("VTODO"));
    calendar.syncCollection =
        !response.reportsGiven || response.reports.contains(QLatin1String("sync-collection"));
    return calendar;
}

Failure noCalendar(const QUrl& address) {
    return {Failure::Kind::NotCalendar,
            QStringLiteral("このアドレスにはカレンダーが見つかりませんでした。アドレスを確かめてください。"),
            address.toDisplayString()};
}

// The server names a place on another host: the password is not sent there unasked.
Failure elsewhere(const QUrl& url) {
    return {
        Failure::Kind::Refused,
        QStringLiteral("カレンダーが別のサーバー (%1) にあります。そのアドレスを直接指定してください。")
            .arg(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveUserInfo).toDisplayString()),
        url.toDisplayString()};
}

} // namespace

std::unique_ptr<CalDavClient> clientFor(const Account& account, const QString& password,
                                        const std::atomic_bool* stop) {
    HttpOptions options;
    options.stop = stop;
    options.user = account.user;
    options.password = password;
    options.pinnedFingerprint = account.pinnedFingerprint;
    auto client = std::make_unique<CalDavClient>(std::move(options));
    Calendar calendar;
    calendar.url = QUrl(account.collection);
    calendar.name = account.calendarName;
    calendar.takesTodos = account.takesTodos;
    calendar.syncCollection = account.syncCollection;
    client->setCalendar(calendar);
    return client;
}

CalDavClient::CalDavClient(HttpOptions options) : http_(std::move(options)) {}

void CalDavClient::setCalendar(const Calendar& calendar) {
    calendar_ = calendar;
    calendar_.url = asFolder(calendar.url);
}

bool CalDavClient::takesTodos() const {
    return calendar_.takesTodos;
}

Outcome<std::vector<Calendar>> CalDavClient::discover(const QUrl& given) {
    QUrl address = given;
    if (address.path().isEmpty())
        address.setPath(QStringLiteral("/"));
    if (const QString refusal = addressRefusal(address); !refusal.isEmpty())
        return Failure{Failure::Kind::Refused, refusal, address.toDisplayString()};

    QString principal;
    QString home;
    QUrl base = address;
    bool addressIsCollection = false;
    // A failure of the transport (network, certificate, password, a refused redirect) ends
    // discovery; an answer that is no calendar lets it look further.
    const Outcome<HttpResponse> firstAnswer =
        http_.run(davRequest("PROPFIND", address, "0", kPropfindCalendars));
    if (!firstAnswer.ok())
        return firstAnswer.failure();
    const Outcome<Multistatus> first = multistatusOf(firstAnswer);
    if (first.ok() && !first.value().responses.empty()) {
        const DavResponse& response = first.value().responses.front();
        if (response.calendar)
            return std::vector<Calendar>{calendarOf(response, address)};
        principal = response.principal;
        home = response.calendarHome;
        addressIsCollection = response.collection;
    } else if (!first.ok() && address.path() != QLatin1String("/")) {
        // A collection's address that does not answer as one: another calendar is not taken
        // in its place.
        return first.failure();
    }
    if (home.isEmpty() && principal.isEmpty()) {
        const QUrl wellKnown = address.resolved(QUrl(QStringLiteral("/.well-known/caldav")));
        const Outcome<HttpResponse> knownAnswer =
            http_.run(davRequest("PROPFIND", wellKnown, "0", kPropfindCalendars));
        if (!knownAnswer.ok())
            return knownAnswer.failure();
        const Outcome<Multistatus> known = multistatusOf(knownAnswer);
        if (known.ok() && !known.value().responses.empty()) {
            principal = known.value().responses.front().principal;
            home = known.value().responses.front().calendarHome;
        } else if (!first.ok()) {
            return first.failure();
        }
    }
    if (home.isEmpty() && !principal.isEmpty()) {
        base = resolvedHref(address, principal);
        if (!sameOrigin(base, address))
            return elsewhere(base);
        const Outcome<Multistatus> user =
            multistatusOf(http_.run(davRequest("PROPFIND", base, "0", kPropfindCalendars)));
        if (!user.ok())
            return user.failure();
        if (!user.value().responses.empty())
            home = user.value().responses.front().calendarHome;
    }
    QUrl homeUrl;
    if (!home.isEmpty())
        homeUrl = asFolder(resolvedHref(base, home));
    else if (addressIsCollection)
        homeUrl = asFolder(address);
    else
        return noCalendar(address);
    if (!sameOrigin(homeUrl, address))
        return elsewhere(homeUrl);

    const Outcome<Multistatus> listed =
        multistatusOf(http_.run(davRequest("PROPFIND", homeUrl, "1", kPropfindCalendars)));
    if (!listed.ok())
        return listed.failure();
    std::vector<Calendar> calendars;
    for (const DavResponse& response : listed.value().responses)
        if (response.calendar && sameOrigin(resolvedHref(homeUrl, response.href), address))
            calendars.push_back(calendarOf(response, homeUrl));
    if (calendars.empty())
        return noCalendar(address);
    return calendars;
}

QString CalDavClient::nameOf(const QString& href) const {
    const QString path = resolvedHref(calendar_.url, href).path(QUrl::FullyDecoded);
    const QString folder = calendar_.url.path(QUrl::FullyDecoded);
    if (!path.startsWith(folder))
        return QString();
    const QString name = path.mid(folder.size());
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return QString();
    return name;
}

QUrl CalDavClient::urlOf(const QString& name) const {
    QUrl url = calendar_.url;
    url.setPath(calendar_.url.path(QUrl::FullyDecoded) + name, QUrl::DecodedMode);
    return url;
}

Outcome<Changes> CalDavClient::changesSince(const QString& token, const QHash<QString, QString>& known) {
    if (calendar_.syncCollection) {
        bool refused = false;
        Outcome<Changes> changes = syncCollection(token, known, refused);
        if (!refused)
            return changes;
        // A token the server no longer takes: start afresh with a new one.
        if (!token.isEmpty()) {
            changes = syncCollection(QString(), known, refused);
            if (!refused)
                return changes;
        }
        calendar_.syncCollection = false;
    }
    return listing(known);
}

Outcome<Changes> CalDavClient::syncCollection(const QString& token, const QHash<QString, QString>& known,
                                              bool& refused) {
    refused = false;
    Changes changes;
    QSet<QString> listed;
    QStringList wanted;
    QString asked = token;
    for (int round = 0;; ++round) {
        const QByteArray body = QStringLiteral(R"(<?xml version="1.0" encoding="utf-8"?>
<d:sync-collection xmlns:d="DAV:"><d:sync-token>%1</d:sync-token><d:sync-level>1</d:sync-level>
<d:prop><d:getetag/></d:prop></d:sync-collection>)")
                                    .arg(asked.toHtmlEscaped())
                                    .toUtf8();
        const Outcome<HttpResponse> answer = http_.run(davRequest("REPORT", calendar_.url, "0", body));
        if (answer.ok() && answer.value().status >= 400 && answer.value().status < 500) {
            refused = true;
            return statusFailure(answer.value().status, answer.value().body);
        }
        const Outcome<Multistatus> result = multistatusOf(answer);
        if (!result.ok())
            return result.failure();
        bool more = false;
        for (const DavResponse& response : result.value().responses) {
            const QString name = nameOf(response.href);
            if (name.isEmpty()) {
                // The collection itself with 507: the server has more to tell after this token.
                more = more || response.status == 507;
                continue;
            }
            if (response.status == 404) {
                listed.remove(name);
                wanted.removeAll(name);
                if (known.contains(name) && !changes.removed.contains(name))
                    changes.removed << name;
                continue;
            }
            listed.insert(name);
            changes.removed.removeAll(name);
            if ((response.etag.isEmpty() || known.value(name) != response.etag) && !wanted.contains(name))
                wanted << name;
        }
        changes.token = result.value().syncToken;
        if (!more || changes.token.isEmpty() || changes.token == asked || round >= kMaxSyncRounds)
            break;
        asked = changes.token;
    }
    // Without a token the answer lists every member: a known one not among them is gone.
    if (token.isEmpty())
        removeUnlisted(changes, known, listed);
    return withFetched(std::move(changes), wanted, known);
}

Outcome<Changes> CalDavClient::listing(const QHash<QString, QString>& known) {
    const Outcome<Multistatus> result =
        multistatusOf(http_.run(davRequest("REPORT", calendar_.url, "1", kCalendarQuery)));
    if (!result.ok())
        return result.failure();
    Changes changes;
    QSet<QString> listed;
    QStringList wanted;
    for (const DavResponse& response : result.value().responses) {
        const QString name = nameOf(response.href);
        if (name.isEmpty() || (response.status != 0 && response.status != 200))
            continue;
        listed.insert(name);
        if (response.etag.isEmpty() || known.value(name) != response.etag)
            wanted << name;
    }
    removeUnlisted(changes, known, listed);
    return withFetched(std::move(changes), wanted, known);
}

void CalDavClient::removeUnlisted(Changes& changes, const QHash<QString, QString>& known,
                                  const QSet<QString>& listed) {
    for (auto it = known.cbegin(); it != known.cend(); ++it)
        if (!listed.contains(it.key()) && !changes.removed.contains(it.key()))
            changes.removed << it.key();
}

Outcome<Changes> CalDavClient::withFetched(Changes changes, const QStringList& wanted,
                                           const QHash<QString, QString>& known) {
    QStringList gone;
    Outcome<std::vector<Resource>> fetched = fetch(wanted, gone);
    if (!fetched.ok())
        return fetched.failure();
    changes.changed = std::move(fetched.value());
    for (const QString& name : gone)
        if (known.contains(name) && !changes.removed.contains(name))
            changes.removed << name;
    return changes;
}

Outcome<std::vector<Resource>> CalDavClient::fetch(const QStringList& names, QStringList& gone) {
    std::vector<Resource> resources;
    if (names.isEmpty())
        return resources;
    std::vector<HttpRequest> requests;
    const int batch = std::max(1, multigetBatch_);
    for (qsizetype first = 0; first < names.size(); first += batch) {
        QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<c:calendar-multiget xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">
<d:prop><d:getetag/><c:calendar-data/></d:prop>)";
        for (qsizetype i = first; i < std::min(names.size(), first + batch); ++i)
            body +=
                "<d:href>" + urlOf(names[i]).path(QUrl::FullyEncoded).toHtmlEscaped().toUtf8() + "</d:href>";
        body += "</c:calendar-multiget>";
        requests.push_back(davRequest("REPORT", calendar_.url, "1", body));
    }
    const QSet<QString> asked(names.cbegin(), names.cend());
    QSet<QString> got;
    for (const Outcome<HttpResponse>& answer : http_.runAll(requests)) {
        const Outcome<Multistatus> result = multistatusOf(answer);
        if (!result.ok())
            return result.failure();
        for (const DavResponse& response : result.value().responses) {
            const QString name = nameOf(response.href);
            if (!asked.contains(name) || got.contains(name))
                continue;
            got.insert(name);
            if (response.status == 404 || response.calendarData.isEmpty())
                gone << name;
            else
                resources.push_back({name, response.etag, response.calendarData});
        }
    }
    // A resource the server did not answer for was removed in between.
    for (const QString& name : names)
        if (!got.contains(name))
            gone << name;
    return resources;
}

Outcome<std::vector<Written>> CalDavClient::write(const std::vector<Write>& writes) {
    std::vector<Written> written(writes.size());
    std::vector<HttpRequest> requests;
    std::vector<std::size_t> sent;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const Write& w = writes[i];
        if (w.href.isEmpty() || w.href.contains(QLatin1Char('/')) || w.href == QLatin1String(".") ||
            w.href == QLatin1String("..") || (w.data.isEmpty() && w.ifMatch.isEmpty())) {
            written[i].state = Written::State::Failed;
            written[i].failure = {Failure::Kind::Refused, QStringLiteral("書き込む場所が正しくありません。"),
                                  w.href};
            continue;
        }
        HttpRequest request;
        request.url = urlOf(w.href);
        if (w.data.isEmpty()) {
            request.method = "DELETE";
        } else {
            request.method = "PUT";
            request.body = w.data;
            request.headers.append(
                std::pair<QByteArray, QByteArray>("Content-Type", "text/calendar; charset=utf-8"));
        }
        if (w.ifMatch.isEmpty())
            request.headers.append(std::pair<QByteArray, QByteArray>("If-None-Match", "*"));
        else
            request.headers.append(std::pair<QByteArray, QByteArray>("If-Match", w.ifMatch.toUtf8()));
        requests.push_back(std::move(request));
        sent.push_back(i);
    }
    const std::vector<Outcome<HttpResponse>> answers = http_.runAll(requests);
    bool anyReached = false;
    std::optional<Failure> whole;
    for (std::size_t k = 0; k < answers.size(); ++k) {
        Written& result = written[sent[k]];
        const Write& w = writes[sent[k]];
        if (!answers[k].ok()) {
            result.state = Written::State::Failed;
            result.failure = answers[k].failure();
            if (!whole)
                whole = result.failure;
            continue;
        }
        anyReached = true;
        const HttpResponse& answer = answers[k].value();
        if (answer.status >= 200 && answer.status < 300) {
            result.state = Written::State::Done;
            result.etag = QString::fromLatin1(answer.etag);
        } else if (answer.status == 412 || (answer.status == 404 && !w.ifMatch.isEmpty())) {
            result.state = Written::State::Conflict;
        } else {
            result.state = Written::State::Failed;
            result.failure = statusFailure(answer.status, answer.body);
        }
    }
    // Not one write reached the server: the batch as a whole failed.
    if (!anyReached && whole && !requests.empty() &&
        (whole->kind == Failure::Kind::Network || whole->kind == Failure::Kind::Authentication ||
         whole->kind == Failure::Kind::Certificate))
        return *whole;
    return written;
}

} // namespace calsync
