#include "app/SingleInstance.h"

#include "platform/Paths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace app {

namespace {

constexpr int kConnectTimeoutMs = 500;
const QByteArray kActivate("activate\n");
// "open:" and the percent-encoded bytes of the path, one line, sent before kActivate.
const QByteArray kOpenPrefix("open:");
// A request is an "open:" line and the activation line; a path percent-encoded fits well within.
constexpr qint64 kMaxRequestBytes = 64 * 1024;
constexpr int kMaxRequestLines = 2;
const char* const kLinesRead = "daduvovLinesRead";

// The first private folder among the runtime folder and folders made for the socket.
QString socketFolder() {
    if (const QString runtime = platform::privateRuntimeFolder(); !runtime.isEmpty())
        return runtime;
    const QString user = QString::number(::getuid());
    for (const QString& folder : {QDir::tempPath() + QStringLiteral("/daduvov-") + user,
                                  QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                                      QStringLiteral("/daduvov-") + user}) {
        ::mkdir(QFile::encodeName(folder).constData(), 0700); // an existing folder is checked as it is
        if (platform::isPrivateFolder(folder))
            return folder;
    }
    return QString();
}

// Whether the program at the other end runs as this user: a socket of another user never gets
// to end this program.
bool peerIsThisUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
               0 &&
           peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), name_(serverName(key)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& key) {
    // The hash keeps the name short and free of path characters.
    const QString folder = socketFolder();
    if (folder.isEmpty())
        return QString();
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString path = folder + QStringLiteral("/daduvov-") + QString::fromLatin1(hash);
    return QFile::encodeName(path).size() < static_cast<qsizetype>(sizeof(sockaddr_un::sun_path)) ? path
                                                                                                  : QString();
}

bool SingleInstance::askRunningInstance() {
    if (name_.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    if (!peerIsThisUser(socket))
        return false;
    socket.write(request_ + kActivate);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

SingleInstance::Start SingleInstance::start(const QString& file) {
    if (name_.isEmpty())
        return Start::First;
    if (!file.isEmpty())
        request_ = kOpenPrefix + QFile::encodeName(file).toPercentEncoding() + '\n';
    if (askRunningInstance())
        return Start::AlreadyRunning;
    if (listen())
        return Start::First;
    // The name is taken: either a program started at the same moment (it answers), or a socket
    // left behind by a program that crashed (nobody answers), which is taken over. In a private
    // folder only this user can have put it there.
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
            socket->setReadBufferSize(kMaxRequestBytes);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

void SingleInstance::readRequest(QLocalSocket* socket) {
    // The request is taken off the socket, and the socket is done with, before anything acts on
    // it: acting may open a dialog, whose event loop sees the other end hang up and deletes the
    // socket.
    QList<QByteArray> lines;
    int count = socket->property(kLinesRead).toInt();
    bool finished = false;
    while (!finished && socket->canReadLine()) {
        lines << socket->readLine().trimmed();
        finished = lines.back() == kActivate.trimmed() || ++count >= kMaxRequestLines;
    }
    socket->setProperty(kLinesRead, count);
    // A full buffer without a line's end is no request of this program: the client is cut off.
    if (!finished && socket->bytesAvailable() >= kMaxRequestBytes) {
        lines.clear();
        finished = true;
    }
    if (finished) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    for (const QByteArray& line : std::as_const(lines))
        QMetaObject::invokeMethod(
            this, [this, line] { handleMessage(line); }, Qt::QueuedConnection);
}

void SingleInstance::handleMessage(const QByteArray& line) {
    if (line == kActivate.trimmed())
        Q_EMIT activationRequested();
    else if (line.startsWith(kOpenPrefix))
        Q_EMIT fileOpenRequested(
            QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(kOpenPrefix.size()))));
}

} // namespace app
