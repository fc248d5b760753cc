#pragma once
// What the sync engine needs of a calendar collection on a server: what changed since the last
// look, and writing or deleting one calendar object resource on the condition that it is still
// the version the engine last saw. The CalDAV client implements it over HTTP; the engine's tests
// use a collection held in memory.
//
// Every call returns what it got or a Failure the caller must look at: a listing that failed is
// never taken for an empty collection.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace calsync {

// Why a call to the server did not succeed. `message` is a plain Japanese sentence that says what
// to do; `detail` the server's or the system's own text.
struct [[nodiscard]] Failure {
    enum class Kind {
        None,
        Network,        // server not reached, connection lost, timed out
        Authentication, // wrong user name or password
        Certificate,    // a certificate that does not verify and is not pinned
        NotCalendar,    // the address is not a calendar collection
        Server,         // 5xx, a malformed or over-large answer
        Refused,        // anything else the server refused (4xx other than a conflict)
    };
    Kind kind = Kind::None;
    QString message;
    QString detail;

    bool failed() const { return kind != Kind::None; }
    bool ok() const { return kind == Kind::None; }
};

// A value or the failure that stands in its place; never both.
template <typename T> class [[nodiscard]] Outcome {
  public:
    Outcome(T value) : value_(std::move(value)) {}            // NOLINT(google-explicit-constructor)
    Outcome(Failure failure) : failure_(std::move(failure)) { // NOLINT(google-explicit-constructor)
        if (failure_.ok())
            failure_.kind = Failure::Kind::Server;
    }
    bool ok() const { return failure_.ok(); }
    const Failure& failure() const { return failure_; }
    const T& value() const { return value_; }
    T& value() { return value_; }

  private:
    T value_{};
    Failure failure_;
};

// One calendar object resource: its address within the collection, its ETag, and its iCalendar
// text (one VCALENDAR holding one VEVENT or VTODO, with any overrides of its occurrences).
struct Resource {
    QString href;
    QString etag;
    QByteArray data;
};

// What changed in the collection since a sync token.
struct Changes {
    // Resources added or changed, with their data.
    std::vector<Resource> changed;
    // Addresses of resources removed.
    QStringList removed;
    // The token to ask with next time; empty when the server offers none.
    QString token;
};

// A conditional write of one resource. An empty `ifMatch` creates a new resource and must not
// replace one (If-None-Match: *); otherwise the write happens only while the resource still has
// that ETag (If-Match).
struct Write {
    QString href;
    QString ifMatch;
    QByteArray data; // empty: delete the resource
};

// The outcome of one write, in the order of the writes asked for.
struct Written {
    enum class State {
        Done,     // written or deleted; `etag` is the new ETag (empty when the server gave none)
        Conflict, // 412 or the resource already exists / is gone: the server holds another version
        Failed,   // this write failed; `failure` says why, the others may still have succeeded
    };
    State state = State::Done;
    QString etag;
    Failure failure;
};

class Server {
  public:
    virtual ~Server() = default;

    // Whether the collection takes VTODOs as well as VEVENTs.
    virtual bool takesTodos() const = 0;
    // What changed since `token` against the resources the engine knows (address → ETag): a
    // resource whose ETag is the known one is not in `changed`, a known one the server no longer
    // holds is in `removed`. An empty token, one the server no longer accepts, or a server without
    // tokens makes the client list the whole collection's ETags and fetch only what differs.
    virtual Outcome<Changes> changesSince(const QString& token, const QHash<QString, QString>& known) = 0;
    // Carries out the writes, as many at once as the server allows; one Written per Write. A
    // failure of the whole batch (the server cannot be reached) comes back as a Failure.
    virtual Outcome<std::vector<Written>> write(const std::vector<Write>& writes) = 0;
};

} // namespace calsync
