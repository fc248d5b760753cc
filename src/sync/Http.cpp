#include "sync/Http.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>

#include <optional>

namespace calsync {

namespace {

constexpr int kMaxRedirects = 5;

int defaultPort(const QUrl& url) {
    return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
}

QString shortDetail(const QByteArray& body) {
    QString text = QString::fromUtf8(body.left(300)).simplified();
    return text;
}

// One request on its way: where it is sent now, and what came back so far.
struct Job {
    HttpRequest request;
    QUrl url;
    int redirects = 0;
    QByteArray body;
    bool tooLarge = false;
    QString refusedFingerprint;
    QString sslErrors;
    std::optional<Outcome<HttpResponse>> outcome;
};

} // namespace

struct Http::Impl {
    HttpOptions options;
    QNetworkAccessManager manager;
    int requests = 0;

    bool stopped() const { return options.stop && options.stop->load(); }
    static Failure stoppedFailure() {
        return {Failure::Kind::Network, QStringLiteral("同期を中断しました。次の同期で続きを行います。"), {}};
    }

    // Starts the job's request; `done` is called once it has an outcome (at once, when the
    // address is refused).
    void start(Job& job, const std::function<void()>& done) {
        if (stopped()) {
            job.outcome = stoppedFailure();
            done();
            return;
        }
        if (const QString refusal = addressRefusal(job.url); !refusal.isEmpty()) {
            job.outcome = Failure{Failure::Kind::Refused, refusal, job.url.toDisplayString()};
            done();
            return;
        }
        // Credentials go in the header below only, never from the address itself.
        job.url = job.url.adjusted(QUrl::RemoveUserInfo);
        QNetworkRequest request(job.url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setTransferTimeout(options.timeoutMs);
        for (const auto& [name, value] : job.request.headers)
            request.setRawHeader(name, value);
        if (!options.user.isEmpty())
            request.setRawHeader(
                "Authorization",
                "Basic " + (options.user + QLatin1Char(':') + options.password).toUtf8().toBase64());
        job.body.clear();
        job.tooLarge = false;
        ++requests;
        QNetworkReply* reply = manager.sendCustomRequest(request, job.request.method, job.request.body);
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply, &job] {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > options.maxAnswerBytes) {
                job.tooLarge = true;
                reply->abort();
            }
        });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply, &job] {
            if (job.tooLarge)
                return;
            if (job.body.size() + reply->bytesAvailable() > options.maxAnswerBytes) {
                job.tooLarge = true;
                reply->abort();
                return;
            }
            job.body += reply->readAll();
        });
        QObject::connect(
            reply, &QNetworkReply::sslErrors, reply, [this, reply, &job](const QList<QSslError>& errors) {
                QSslCertificate certificate = reply->sslConfiguration().peerCertificate();
                for (const QSslError& error : errors)
                    if (certificate.isNull() && !error.certificate().isNull())
                        certificate = error.certificate();
                const QString fingerprint = normalFingerprint(
                    QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex()));
                if (!certificate.isNull() && !options.pinnedFingerprint.isEmpty() &&
                    fingerprint == normalFingerprint(options.pinnedFingerprint)) {
                    reply->ignoreSslErrors(errors);
                    return;
                }
                job.refusedFingerprint = certificate.isNull() ? QStringLiteral("?") : fingerprint;
                QStringList texts;
                for (const QSslError& error : errors)
                    texts << error.errorString();
                job.sslErrors = texts.join(QStringLiteral("; "));
            });
        QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, &job, done] {
            reply->deleteLater();
            finish(job, reply, done);
        });
    }

    // Fewer bytes than the answer's Content-Length said (the length of an encoded answer is that
    // of its encoded bytes, so those are not compared).
    static bool cutShort(QNetworkReply* reply, const QByteArray& body) {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        return length.isValid() && reply->rawHeader("Content-Encoding").isEmpty() &&
               reply->operation() != QNetworkAccessManager::HeadOperation &&
               body.size() < length.toLongLong();
    }

    void finish(Job& job, QNetworkReply* reply, const std::function<void()>& done) {
        if (!job.tooLarge && reply->bytesAvailable() > 0) {
            if (job.body.size() + reply->bytesAvailable() > options.maxAnswerBytes)
                job.tooLarge = true;
            else
                job.body += reply->readAll();
        }
        const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (job.tooLarge) {
            job.outcome =
                Failure{Failure::Kind::Server,
                        QStringLiteral("サーバーの応答が大きすぎるので、読むのをやめました (上限 %1 MiB)。")
                            .arg(options.maxAnswerBytes / (1024 * 1024)),
                        job.url.toDisplayString()};
        } else if (!job.refusedFingerprint.isEmpty()) {
            job.outcome = Failure{Failure::Kind::Certificate,
                                  QStringLiteral("サーバーの証明書を確認できませんでした。SHA-256 指紋: %1\n"
                                                 "この指紋が本当にそのサーバーの証明書のものなら、"
                                                 "--sync-account の --pin-certificate で登録すると使えます。")
                                      .arg(job.refusedFingerprint),
                                  job.sslErrors};
        } else if (statusValue.isValid() &&
                   (reply->error() == QNetworkReply::NoError || reply->error() > 199) &&
                   (reply->error() < 300 || reply->error() > 399)) {
            const int status = statusValue.toInt();
            const QByteArray location = reply->rawHeader("Location");
            if ((status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
                !location.isEmpty()) {
                const QUrl target = job.url.resolved(QUrl::fromEncoded(location));
                if (!sameOrigin(job.url, target)) {
                    job.outcome = Failure{
                        Failure::Kind::Refused,
                        QStringLiteral("サーバーが別の場所 (%1) へ転送しようとしたので、止めました。"
                                       "パスワードはそこへ送っていません。")
                            .arg(target.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveUserInfo)
                                     .toDisplayString()),
                        target.toDisplayString()};
                } else if (++job.redirects > kMaxRedirects) {
                    job.outcome = Failure{Failure::Kind::Server,
                                          QStringLiteral("サーバーが転送を繰り返すので、止めました。"),
                                          target.toDisplayString()};
                } else {
                    job.url = target;
                    if (status == 303) {
                        job.request.method = "GET";
                        job.request.body.clear();
                    }
                    start(job, done);
                    return;
                }
            } else if (status == 401) {
                job.outcome = statusFailure(status, job.body);
            } else if (cutShort(reply, job.body)) {
                // The connection ended before the answer did; Qt does not always say so.
                job.outcome = Failure{
                    Failure::Kind::Network,
                    QStringLiteral("サーバーとの通信が途中で切れました。ネットワークを確かめてください。"),
                    QStringLiteral("%1 / %2 bytes")
                        .arg(job.body.size())
                        .arg(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong())};
            } else {
                HttpResponse response;
                response.status = status;
                response.body = std::move(job.body);
                response.etag = reply->rawHeader("ETag");
                response.url = job.url;
                job.outcome = std::move(response);
            }
        } else if (stopped()) {
            job.outcome = stoppedFailure();
        } else if (reply->error() == QNetworkReply::OperationCanceledError ||
                   reply->error() == QNetworkReply::TimeoutError) {
            job.outcome = Failure{
                Failure::Kind::Network,
                QStringLiteral("サーバーが時間内に応答しませんでした。ネットワークを確かめてください。"),
                reply->errorString()};
        } else {
            job.outcome =
                Failure{Failure::Kind::Network,
                        QStringLiteral(
                            "サーバーとの通信ができませんでした。アドレスとネットワークを確かめてください。"),
                        reply->errorString()};
        }
        done();
    }
};

Http::Http(HttpOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    // Credentials are set on each request above; nobody answers the manager's own question for them.
    impl_->manager.setAutoDeleteReplies(false);
}

Http::~Http() = default;

int Http::requestCount() const {
    return impl_->requests;
}

Outcome<HttpResponse> Http::run(const HttpRequest& request) {
    return runAll({request}).front();
}

std::vector<Outcome<HttpResponse>> Http::runAll(const std::vector<HttpRequest>& requests) {
    std::vector<Job> jobs(requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        jobs[i].request = requests[i];
        jobs[i].url = requests[i].url;
    }
    QEventLoop loop;
    std::size_t next = 0;
    std::size_t finished = 0;
    bool looping = false;
    std::function<void()> done;
    std::function<void()> startNext = [&] {
        while (next < jobs.size() &&
               static_cast<int>(next - finished) < std::max(1, impl_->options.inFlight)) {
            Job& job = jobs[next++];
            impl_->start(job, done);
        }
    };
    done = [&] {
        ++finished;
        if (finished == jobs.size()) {
            if (looping)
                loop.quit();
            return;
        }
        startNext();
    };
    startNext();
    if (finished < jobs.size()) {
        looping = true;
        // Asked to stop: the requests under way are aborted, and those not started fail at once.
        QTimer stopWatch;
        if (impl_->options.stop) {
            QObject::connect(&stopWatch, &QTimer::timeout, &loop, [this] {
                if (impl_->stopped())
                    for (QNetworkReply* reply : impl_->manager.findChildren<QNetworkReply*>())
                        reply->abort();
            });
            stopWatch.start(100);
        }
        loop.exec();
    }
    std::vector<Outcome<HttpResponse>> outcomes;
    outcomes.reserve(jobs.size());
    for (Job& job : jobs)
        outcomes.push_back(std::move(*job.outcome));
    return outcomes;
}

Failure statusFailure(int status, const QByteArray& body) {
    const QString detail = QStringLiteral("HTTP %1 %2").arg(status).arg(shortDetail(body));
    if (status >= 200 && status < 300)
        return {};
    if (status == 401)
        return {Failure::Kind::Authentication,
                QStringLiteral(
                    "パスワードが違うか、ユーザー名が違います。ユーザー名とパスワードを確かめてください。"),
                detail};
    if (status >= 500)
        return {
            Failure::Kind::Server,
            QStringLiteral("サーバーで問題が起きました (HTTP %1)。しばらくしてからもう一度試してください。")
                .arg(status),
            detail};
    if (status == 404)
        return {Failure::Kind::NotCalendar,
                QStringLiteral("サーバーにその場所がありません (HTTP 404)。アドレスを確かめてください。"),
                detail};
    return {Failure::Kind::Refused, QStringLiteral("サーバーが要求を断りました (HTTP %1)。").arg(status),
            detail};
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && defaultPort(a) == defaultPort(b);
}

QString normalFingerprint(const QString& text) {
    QString hex;
    for (const QChar c : text)
        if (c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f'))
            hex += c.toUpper();
        else if (c != QLatin1Char(':') && !c.isSpace())
            return QString();
    if (hex.size() != 64)
        return QString();
    QStringList pairs;
    for (int i = 0; i < hex.size(); i += 2)
        pairs << hex.mid(i, 2);
    return pairs.join(QLatin1Char(':'));
}

QString addressRefusal(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("サーバーのアドレスが正しくありません。https://… の形で指定してください。");
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return QString();
    if (scheme == QLatin1String("http")) {
        const QHostAddress address(url.host());
        if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
            (!address.isNull() && address.isLoopback()))
            return QString();
        return QStringLiteral(
            "暗号化されない http は、このコンピューター自身 (127.0.0.1 など) にだけ使えます。"
            "https のアドレスを指定してください。");
    }
    return QStringLiteral("https のアドレスを指定してください。");
}

} // namespace calsync
