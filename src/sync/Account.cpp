#include "sync/Account.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <qt6keychain/keychain.h>

namespace calsync {

namespace {

// The accounts of one user take a few hundred bytes each; a larger file is not one of ours.
constexpr qint64 kMaxAccountsBytes = 1024 * 1024;
const QString kService = QStringLiteral("daduvov-sync");

QString keychainKey(const Account& account) {
    return account.user + QLatin1Char('@') + account.collection;
}

QString keyringFailure(QKeychain::Error error, const QString& detail) {
    if (error == QKeychain::EntryNotFound)
        return QStringLiteral("キーリングにこのアカウントのパスワードがありません。"
                              "--sync-account でもう一度登録してください。");
    return QStringLiteral("パスワードを保管するキーリング (Secret Service) を使えませんでした。"
                          "デスクトップのキーリング (GNOME Keyring や KWallet) が動いていて、"
                          "ロックが解除されているか確かめてください。 (") +
           detail + QLatin1Char(')');
}

// The keyring may ask the user to unlock it; a Secret Service that never answers ends the wait.
constexpr int kKeyringBudgetMs = 120000;

struct KeyringAnswer {
    bool answered = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString text;
};

// Runs the job within the budget. The job deletes itself when it ends, also when that is after
// the budget: the answer is taken through `context`, which goes away with this call.
KeyringAnswer runJob(QKeychain::Job* job) {
    KeyringAnswer answer;
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QEventLoop loop;
    QObject context;
    QObject::connect(job, &QKeychain::Job::finished, &context, [&answer, &loop](QKeychain::Job* done) {
        answer.answered = true;
        answer.error = done->error();
        answer.errorText = done->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
            answer.text = read->textData();
        loop.quit();
    });
    QTimer::singleShot(kKeyringBudgetMs, &context, [&loop] { loop.quit(); });
    job->start();
    if (!answer.answered)
        loop.exec();
    if (!answer.answered) {
        answer.error = QKeychain::OtherError;
        answer.errorText = QStringLiteral("no answer within %1 s").arg(kKeyringBudgetMs / 1000);
    }
    return answer;
}

struct Accounts {
    QJsonObject all;
    QString failure;
};

Accounts readAll() {
    QFile file(accountsFile());
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {
            {},
            QStringLiteral("同期の設定を読めませんでした: %1 (%2)").arg(file.fileName(), file.errorString())};
    if (file.size() > kMaxAccountsBytes)
        return {{}, QStringLiteral("同期の設定ファイルが大きすぎます: %1").arg(file.fileName())};
    const QByteArray bytes = file.read(kMaxAccountsBytes + 1);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (bytes.size() > kMaxAccountsBytes || error.error != QJsonParseError::NoError || !document.isObject())
        return {{},
                QStringLiteral("同期の設定ファイルが壊れています: %1 (%2)")
                    .arg(file.fileName(), error.errorString())};
    return {document.object().value(QStringLiteral("accounts")).toObject(), {}};
}

QString writeAll(const QJsonObject& all) {
    if (!QDir().mkpath(accountFolder()))
        return QStringLiteral("フォルダを作成できません: ") + accountFolder();
    QSaveFile file(accountsFile());
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("同期の設定を保存できませんでした: %1 (%2)")
            .arg(file.fileName(), file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("accounts"), all}}).toJson());
    if (!file.commit())
        return QStringLiteral("同期の設定を保存できませんでした: %1 (%2)")
            .arg(file.fileName(), file.errorString());
    return QString();
}

} // namespace

QString accountFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/daduvov");
}

QString accountsFile() {
    return accountFolder() + QStringLiteral("/sync-accounts.json");
}

QString scheduleKey(const QString& schedulePath) {
    const QFileInfo info(schedulePath);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

AccountRead readAccount(const QString& schedulePath) {
    const Accounts accounts = readAll();
    if (!accounts.failure.isEmpty())
        return {std::nullopt, accounts.failure};
    const QString key = scheduleKey(schedulePath);
    if (!accounts.all.contains(key))
        return {};
    const QJsonObject o = accounts.all.value(key).toObject();
    Account account;
    account.schedule = key;
    account.server = o.value(QStringLiteral("server")).toString();
    account.user = o.value(QStringLiteral("user")).toString();
    account.collection = o.value(QStringLiteral("collection")).toString();
    account.calendarName = o.value(QStringLiteral("calendarName")).toString();
    account.takesTodos = o.value(QStringLiteral("takesTodos")).toBool();
    account.syncCollection = o.value(QStringLiteral("syncCollection")).toBool(true);
    account.pinnedFingerprint = o.value(QStringLiteral("pinnedFingerprint")).toString();
    account.intervalMinutes = std::clamp(o.value(QStringLiteral("intervalMinutes")).toInt(15), 0, 24 * 60);
    if (account.collection.isEmpty() || account.user.isEmpty())
        return {std::nullopt, QStringLiteral("同期の設定ファイルが壊れています: %1 (%2 の項目が足りません)")
                                  .arg(accountsFile(), key)};
    return {account, {}};
}

QString saveAccount(const Account& account) {
    Accounts accounts = readAll();
    if (!accounts.failure.isEmpty())
        return accounts.failure;
    accounts.all.insert(account.schedule,
                        QJsonObject{
                            {QStringLiteral("server"), account.server},
                            {QStringLiteral("user"), account.user},
                            {QStringLiteral("collection"), account.collection},
                            {QStringLiteral("calendarName"), account.calendarName},
                            {QStringLiteral("takesTodos"), account.takesTodos},
                            {QStringLiteral("syncCollection"), account.syncCollection},
                            {QStringLiteral("pinnedFingerprint"), account.pinnedFingerprint},
                            {QStringLiteral("intervalMinutes"), account.intervalMinutes},
                        });
    return writeAll(accounts.all);
}

PasswordRead readPassword(const Account& account) {
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(keychainKey(account));
    const KeyringAnswer answer = runJob(job);
    if (answer.error != QKeychain::NoError)
        return {std::nullopt, keyringFailure(answer.error, answer.errorText)};
    return {answer.text, {}};
}

QString storePassword(const Account& account, const QString& password) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(keychainKey(account));
    job->setTextData(password);
    const KeyringAnswer answer = runJob(job);
    if (answer.error != QKeychain::NoError)
        return keyringFailure(answer.error, answer.errorText);
    return QString();
}

QString forgetAccount(const Account& account) {
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(keychainKey(account));
    const KeyringAnswer answer = runJob(job);
    if (answer.error != QKeychain::NoError && answer.error != QKeychain::EntryNotFound)
        return keyringFailure(answer.error, answer.errorText);
    Accounts accounts = readAll();
    if (!accounts.failure.isEmpty())
        return accounts.failure;
    if (!accounts.all.contains(account.schedule))
        return QString();
    accounts.all.remove(account.schedule);
    return writeAll(accounts.all);
}

} // namespace calsync
