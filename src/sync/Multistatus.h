#pragma once
// The WebDAV multistatus answer (RFC 4918) of PROPFIND and REPORT, read with QXmlStreamReader into
// the few properties the CalDAV client asks for. The text comes from a server, so it is read
// within bounds: a document type or an entity is refused, and so are an answer, a number of
// responses, a nesting depth or a single text beyond its limit.

#include "sync/Server.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace calsync {

struct MultistatusLimits {
    qsizetype maxBytes = qsizetype{32} * 1024 * 1024;
    int maxResponses = 200000;
    int maxDepth = 32;
    // One text (an href, an ETag, a name); calendar data is bounded by maxBytes alone.
    qsizetype maxText = 64 * 1024;
};

// One <response>: its href and status, and the properties it gave with a 2xx status.
struct DavResponse {
    QString href;   // as the server wrote it (percent-encoded)
    int status = 0; // the response's own status (sync-collection: 404 for a removed member), else 0
    QString etag;
    QByteArray calendarData;
    QString displayName;
    bool collection = false;
    bool calendar = false;
    bool componentsGiven = false; // supported-calendar-component-set was there
    QStringList components;       // its component names: VEVENT, VTODO, …
    bool reportsGiven = false;    // supported-report-set was there
    QStringList reports;          // the reports' element names: sync-collection, calendar-multiget, …
    QString principal;            // current-user-principal's href
    QString calendarHome;         // calendar-home-set's first href
};

struct Multistatus {
    std::vector<DavResponse> responses;
    QString syncToken; // sync-collection's new token
};

// Reads a multistatus document. Anything else, or anything beyond `limits`, is a Failure of kind
// Server with a Japanese sentence and the reason as detail.
Outcome<Multistatus> parseMultistatus(const QByteArray& xml, const MultistatusLimits& limits = {});

// The status code of a status line ("HTTP/1.1 404 Not Found" → 404); 0 when it is not one.
int statusOfLine(const QString& line);

} // namespace calsync
