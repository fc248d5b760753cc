#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace app {

namespace {

constexpr int kConnectTimeoutMs = 500;
const QByteArray kActivate("activate\n");
// "open:" and the percent-encoded UTF-8 path, one line, sent before kActivate.
const QByteArray kOpenPrefix("open:");

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), name_(serverName(key)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& key) {
    // The socket lives in the user's runtime folder; the hash keeps the name short and free of
    // path characters.
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("daduvov-") + QString::fromLatin1(hash);
}

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(request_ + kActivate);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

SingleInstance::Start SingleInstance::start(const QString& file) {
    if (!file.isEmpty())
        request_ = kOpenPrefix + file.toUtf8().toPercentEncoding() + '\n';
    if (askRunningInstance())
        return Start::AlreadyRunning;
    if (listen())
        return Start::First;
    // The name is taken: either a program started at the same moment (it answers), or a socket
    // left behind by a program that crashed (nobody answers), which is taken over.
    if (askRunningInstance())
        return Start::AlreadyRunning;
    QLocalServer::removeServer(name_);
    listen();
    return Start::First;
}

bool SingleInstance::listen() {
    if (!server_) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
    }
    if (!server_->listen(name_))
        return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine())
                    handleMessage(socket->readLine().trimmed());
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

void SingleInstance::handleMessage(const QByteArray& line) {
    if (line == kActivate.trimmed())
        Q_EMIT activationRequested();
    else if (line.startsWith(kOpenPrefix))
        Q_EMIT fileOpenRequested(
            QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(kOpenPrefix.size()))));
}

} // namespace app
