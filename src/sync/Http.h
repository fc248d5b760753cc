#pragma once
// HTTP for the CalDAV client, with its rules in one place: HTTPS with the system's certificate
// authorities, or a certificate whose SHA-256 fingerprint the user pinned; plain HTTP only to the
// machine itself; redirects only to the same scheme, host and port, so the password never goes
// to another host; Basic authentication set on each request by this class alone; a timeout on
// every transfer and a cap on every answer's size. Calls are synchronous (a local event loop per
// call), and a batch of requests runs several at once.

#include "sync/Server.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace calsync {

struct HttpOptions {
    QString user;
    QString password;
    // The SHA-256 fingerprint (hex, colons optional) of a certificate accepted although it does
    // not verify; empty: only certificates that verify.
    QString pinnedFingerprint;
    int timeoutMs = 60000;
    qint64 maxAnswerBytes = qint64{32} * 1024 * 1024;
    // Requests a batch keeps in flight (the network manager itself runs six per host).
    int inFlight = 12;
    // Set from another thread to end the calls under way within a tenth of a second (the program
    // is ending); every call then fails as stopped. Null: never stopped.
    const std::atomic_bool* stop = nullptr;
};

struct HttpRequest {
    QByteArray method;
    QUrl url;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
};

struct HttpResponse {
    int status = 0;
    QByteArray body;
    QByteArray etag;
    QUrl url; // where the answer came from, after the redirects followed
};

class Http {
  public:
    explicit Http(HttpOptions options);
    ~Http();
    Http(const Http&) = delete;
    Http& operator=(const Http&) = delete;

    // One request. Any HTTP status comes back as a response except 401, which is a Failure of
    // kind Authentication; a refused address, redirect or certificate, a network fault, a timeout
    // or an over-large answer is a Failure.
    Outcome<HttpResponse> run(const HttpRequest& request);
    // The requests, several at once; the outcomes in the order of the requests.
    std::vector<Outcome<HttpResponse>> runAll(const std::vector<HttpRequest>& requests);

    // Requests sent so far, redirects counted.
    int requestCount() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Why an answer with this status is no success, as a Failure; kind None for 2xx.
Failure statusFailure(int status, const QByteArray& body);
// The fingerprint in the form the messages show and the account keeps: "AB:CD:…" (64 hex digits).
QString normalFingerprint(const QString& text);
// Whether both addresses have the same scheme, host and port: the password goes nowhere else.
bool sameOrigin(const QUrl& a, const QUrl& b);
// Whether the address may be spoken to at all: https, or http to a loopback address. Empty when
// it may; otherwise the Japanese reason.
QString addressRefusal(const QUrl& url);

} // namespace calsync
