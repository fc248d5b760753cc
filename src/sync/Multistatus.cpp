#include "sync/Multistatus.h"

#include <QXmlStreamReader>

namespace calsync {

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");

// An element's name as the reader below matches it: "d:href", "c:calendar-data", or "?:name" for
// a namespace the client does not speak.
QString key(const QXmlStreamReader& xml) {
    const QStringView ns = xml.namespaceUri();
    const QString name = xml.name().toString();
    if (ns == kDav)
        return QStringLiteral("d:") + name;
    if (ns == kCalDav)
        return QStringLiteral("c:") + name;
    return QStringLiteral("?:") + name;
}

Failure malformed(const QString& detail) {
    return {Failure::Kind::Server, QStringLiteral("サーバーの応答を読めませんでした。"), detail};
}

// The properties of one propstat, kept apart until its status says they were found.
struct Props {
    DavResponse values;
    int status = 0;
};

void takeProps(DavResponse& into, const DavResponse& from) {
    if (!from.etag.isEmpty())
        into.etag = from.etag;
    if (!from.calendarData.isEmpty())
        into.calendarData = from.calendarData;
    if (!from.displayName.isEmpty())
        into.displayName = from.displayName;
    into.collection = into.collection || from.collection;
    into.calendar = into.calendar || from.calendar;
    if (from.componentsGiven) {
        into.componentsGiven = true;
        into.components = from.components;
    }
    if (from.reportsGiven) {
        into.reportsGiven = true;
        into.reports = from.reports;
    }
    if (!from.principal.isEmpty())
        into.principal = from.principal;
    if (!from.calendarHome.isEmpty())
        into.calendarHome = from.calendarHome;
}

} // namespace

int statusOfLine(const QString& line) {
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    if (parts.size() < 2 || !parts[0].startsWith(QLatin1String("HTTP/")))
        return 0;
    bool number = false;
    const int status = parts[1].toInt(&number);
    return number && status >= 100 && status <= 999 ? status : 0;
}

Outcome<Multistatus> parseMultistatus(const QByteArray& bytes, const MultistatusLimits& limits) {
    if (bytes.size() > limits.maxBytes)
        return malformed(QStringLiteral("the answer is larger than %1 bytes").arg(limits.maxBytes));
    QXmlStreamReader xml(bytes);
    Multistatus result;
    QStringList path; // the open elements, outermost first
    QString text;     // the text of the element being read
    bool inResponse = false;
    DavResponse response;
    Props props;
    bool hrefTaken = false;
    bool rooted = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return malformed(QStringLiteral("a document type or an entity in the answer"));
        case QXmlStreamReader::StartElement: {
            if (path.size() >= limits.maxDepth)
                return malformed(QStringLiteral("elements nested deeper than %1").arg(limits.maxDepth));
            const QString name = key(xml);
            if (path.isEmpty() && name != QLatin1String("d:multistatus"))
                return malformed(QStringLiteral("not a multistatus but <%1>").arg(xml.name()));
            const QString parent = path.isEmpty() ? QString() : path.last();
            rooted = true;
            path << name;
            text.clear();
            if (path.size() == 2 && name == QLatin1String("d:response")) {
                if (static_cast<int>(result.responses.size()) >= limits.maxResponses)
                    return malformed(QStringLiteral("more than %1 responses").arg(limits.maxResponses));
                inResponse = true;
                response = DavResponse();
                hrefTaken = false;
            } else if (inResponse && name == QLatin1String("d:propstat")) {
                props = Props();
            } else if (inResponse && parent == QLatin1String("d:resourcetype")) {
                if (name == QLatin1String("d:collection"))
                    props.values.collection = true;
                else if (name == QLatin1String("c:calendar"))
                    props.values.calendar = true;
            } else if (inResponse && name == QLatin1String("c:supported-calendar-component-set")) {
                props.values.componentsGiven = true;
            } else if (inResponse && parent == QLatin1String("c:supported-calendar-component-set") &&
                       name == QLatin1String("c:comp")) {
                props.values.components
                    << xml.attributes().value(QStringLiteral("name")).toString().toUpper();
            } else if (inResponse && name == QLatin1String("d:supported-report-set")) {
                props.values.reportsGiven = true;
            } else if (inResponse && parent == QLatin1String("d:report")) {
                props.values.reports << xml.name().toString();
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (path.isEmpty())
                break;
            if (path.last() != QLatin1String("c:calendar-data") &&
                text.size() + xml.text().size() > limits.maxText)
                return malformed(QStringLiteral("a text longer than %1 characters").arg(limits.maxText));
            text += xml.text();
            break;
        case QXmlStreamReader::EndElement: {
            const QString name = path.takeLast();
            const QString parent = path.isEmpty() ? QString() : path.last();
            if (path.size() == 1 && name == QLatin1String("d:response")) {
                if (response.href.isEmpty())
                    return malformed(QStringLiteral("a response without an href"));
                result.responses.push_back(std::move(response));
                response = DavResponse();
                inResponse = false;
            } else if (path.size() == 1 && name == QLatin1String("d:sync-token")) {
                result.syncToken = text.trimmed();
            } else if (inResponse && path.size() == 2 && name == QLatin1String("d:href") && !hrefTaken) {
                response.href = text.trimmed();
                hrefTaken = true;
            } else if (inResponse && path.size() == 2 && name == QLatin1String("d:status")) {
                response.status = statusOfLine(text);
            } else if (inResponse && parent == QLatin1String("d:propstat") &&
                       name == QLatin1String("d:status")) {
                props.status = statusOfLine(text);
            } else if (inResponse && name == QLatin1String("d:propstat")) {
                if (props.status >= 200 && props.status < 300)
                    takeProps(response, props.values);
            } else if (inResponse && parent == QLatin1String("d:prop")) {
                if (name == QLatin1String("d:getetag"))
                    props.values.etag = text.trimmed();
                else if (name == QLatin1String("d:displayname"))
                    props.values.displayName = text.trimmed();
                else if (name == QLatin1String("c:calendar-data"))
                    props.values.calendarData = text.toUtf8();
            } else if (inResponse && name == QLatin1String("d:href")) {
                if (parent == QLatin1String("d:current-user-principal") && props.values.principal.isEmpty())
                    props.values.principal = text.trimmed();
                else if (parent == QLatin1String("c:calendar-home-set") &&
                         props.values.calendarHome.isEmpty())
                    props.values.calendarHome = text.trimmed();
            }
            text.clear();
            break;
        }
        default:
            break;
        }
    }
    if (xml.hasError())
        return malformed(xml.errorString());
    if (!rooted)
        return malformed(QStringLiteral("an empty answer"));
    return result;
}

} // namespace calsync
