#pragma once
// One running program per user and program folder: a second start asks the first to bring its
// calendar to the front and then ends, so that two programs never write one Settings file.

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `key` names the program folder the instance works in.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Start { First, AlreadyRunning };
    // Asks a running instance to come to the front (AlreadyRunning), or starts answering later
    // starts itself (First). Two programs started at the same moment still end with one.
    // A non-empty `file` is handed to the running instance to open.
    Start start(const QString& file = {});

    // The full path of the socket: in $XDG_RUNTIME_DIR when that is a folder only this user can
    // enter, otherwise in a private folder (mode 0700) made for it. Empty when no such folder can
    // be had; the program then runs without the guard rather than trusting a shared folder.
    static QString serverName(const QString& key);

  Q_SIGNALS:
    // A later start asked this instance to show itself.
    void activationRequested();
    // A later start named this Schedule file (an absolute path) on its command line.
    void fileOpenRequested(const QString& file);

  private:
    bool askRunningInstance();
    bool listen();
    void readRequest(QLocalSocket* socket);
    void handleMessage(const QByteArray& line);

    QString name_;
    QByteArray request_;
    QLocalServer* server_ = nullptr;
};

} // namespace app
