#pragma once
// Servers the sync tests start beside themselves: a real Radicale on 127.0.0.1 with htpasswd
// users and its own storage folder (plain HTTP, or HTTPS with a self-signed certificate made
// here), a scripted HTTP server for answers Radicale never gives, and a Secret Service
// (gnome-keyring in a private D-Bus session, unlocked here). Each ends with the test case.

#include "support/HelperProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>

namespace testsupport {

// The system's Python: the servers are Debian packages installed for it.
inline const QString kPython = QStringLiteral("/usr/bin/python3");

inline quint16 freePort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

inline bool answers(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The body of a MKCALENDAR request: a calendar named `name` taking the components given.
inline QByteArray mkcalendarBody(const QString& name, const QStringList& components) {
    QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<c:mkcalendar xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:set><d:prop><d:displayname>)";
    body += name.toUtf8() + "</d:displayname><c:supported-calendar-component-set>";
    for (const QString& component : components)
        body += "<c:comp name=\"" + component.toUtf8() + "\"/>";
    return body + "</c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>";
}

// tests/sync/phone_client.py (`script`), a second client of `collection`, with the commands
// given, one a line: its output, or "<failed>" (its reason logged) when a command failed.
inline QString phoneClient(const QString& script, const QUrl& collection, const QString& user,
                           const QString& password, const QStringList& commands) {
    QProcess client;
    client.start(kPython, {script, collection.toString(), user, password});
    client.write((commands.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    client.closeWriteChannel();
    if (!client.waitForFinished(60000))
        client.kill();
    if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0) {
        qWarning().noquote() << "phone_client.py:" << QString::fromUtf8(client.readAllStandardError());
        return QStringLiteral("<failed>");
    }
    return QString::fromUtf8(client.readAllStandardOutput());
}

// Radicale with the users given (name → password) and a storage folder under `folder`.
class Radicale {
  public:
    // Starts the server; with `tls`, on HTTPS with a self-signed certificate for 127.0.0.1 made
    // first (certificatePem then holds it). The same folder keeps the storage across restarts.
    bool start(const QString& folder, const QList<std::pair<QString, QString>>& users, bool tls = false) {
        folder_ = folder;
        if (port_ == 0)
            port_ = freePort();
        tls_ = tls;
        QByteArray htpasswd;
        for (const auto& [name, password] : users)
            htpasswd += (name + QLatin1Char(':') + password + QLatin1Char('\n')).toUtf8();
        const QString certificate = folder + QStringLiteral("/cert.pem");
        const QString key = folder + QStringLiteral("/key.pem");
        if (tls && !QFile::exists(certificate)) {
            const int made = QProcess::execute(
                QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                 QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                 QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                 QStringLiteral("-keyout"), key, QStringLiteral("-out"), certificate});
            if (made != 0)
                return false;
        }
        if (tls) {
            QFile file(certificate);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            certificatePem = file.readAll();
        }
        QString config = QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n").arg(port_);
        if (tls)
            config += QStringLiteral("ssl = True\ncertificate = %1\nkey = %2\n").arg(certificate, key);
        config += QStringLiteral(
                      "[auth]\ntype = htpasswd\nhtpasswd_filename = %1/users\nhtpasswd_encryption = plain\n"
                      "[storage]\nfilesystem_folder = %1/collections\n"
                      "[rights]\ntype = owner_only\n[web]\ntype = none\n[logging]\nlevel = warning\n")
                      .arg(folder);
        if (!writeFile(folder + QStringLiteral("/users"), htpasswd) ||
            !writeFile(folder + QStringLiteral("/config"), config.toUtf8()))
            return false;
        const quint16 port = port_;
        return helper.start(kPython,
                            {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                             folder + QStringLiteral("/config")},
                            [port] { return answers(port); });
    }
    // Ends the server at once, as a crash or a power cut would.
    void kill() {
        helper.process.kill();
        helper.process.waitForFinished(5000);
    }
    QUrl url(const QString& path = QStringLiteral("/")) const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(tls_ ? "https" : "http").arg(port_).arg(path));
    }

    HelperProcess helper;
    QByteArray certificatePem;

  private:
    QString folder_;
    quint16 port_ = 0;
    bool tls_ = false;
};

// tests/sync/scripted_server.py answering every request as `mode` says.
class ScriptedServer {
  public:
    bool start(const QString& script, const QString& mode) {
        port_ = freePort();
        const quint16 port = port_;
        return helper.start(kPython, {script, QString::number(port), mode}, [port] { return answers(port); });
    }
    QUrl url(const QString& path = QStringLiteral("/")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path));
    }

    HelperProcess helper;

  private:
    quint16 port_ = 0;
};

// A Secret Service of the tests' own: a private session bus in `folder` and gnome-keyring's
// secrets component on it, its login keyring made and unlocked here. `environment` is what a
// program needs to use it.
class SecretService {
  public:
    bool start(const QString& folder) {
        QDir(folder).mkpath(QStringLiteral("run"));
        QFile::setPermissions(folder + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QString socket = folder + QStringLiteral("/bus");
        address = QStringLiteral("unix:path=") + socket;
        if (!bus.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--address=") + address},
                       [socket] { return QFile::exists(socket); }))
            return false;
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder + QStringLiteral("/run"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), folder + QStringLiteral("/data"));
        environment.insert(QStringLiteral("HOME"), folder);
        keyring.process.setProcessEnvironment(environment);
        keyring.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString keyrings = folder + QStringLiteral("/data/keyrings/login.keyring");
        const bool started =
            keyring.start(QStringLiteral("gnome-keyring-daemon"),
                          {QStringLiteral("--unlock"), QStringLiteral("--components=secrets"),
                           QStringLiteral("--foreground")},
                          [this, keyrings] {
                              if (!unlockSent) {
                                  keyring.process.write("keyring-test-password");
                                  keyring.process.closeWriteChannel();
                                  unlockSent = true;
                              }
                              return QFile::exists(keyrings);
                          });
        return started;
    }

    HelperProcess bus;
    HelperProcess keyring;
    QString address;
    QProcessEnvironment environment;

  private:
    bool unlockSent = false;
};

} // namespace testsupport
