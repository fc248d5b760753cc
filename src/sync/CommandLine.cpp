#include "sync/CommandLine.h"

#include "sync/AccountSync.h"

#include "exchange/CommandLine.h"
#include "platform/Paths.h"
#include "sync/Account.h"
#include "sync/CalDavClient.h"
#include "sync/Engine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QIODevice>

#include <cstdio>
#include <memory>

namespace calsync {

namespace {

const QString kSyncAccount = QStringLiteral("sync-account");
const QString kUser = QStringLiteral("user");
const QString kPasswordStdin = QStringLiteral("password-stdin");
const QString kCalendar = QStringLiteral("calendar");
const QString kPin = QStringLiteral("pin-certificate");
const QString kSync = QStringLiteral("sync");
const QString kAllowMassDelete = QStringLiteral("allow-mass-delete");
const QString kSchedule = QStringLiteral("schedule");
// A password is one line; anything longer than this is not one.
constexpr qint64 kMaxPasswordBytes = 4096;

void print(std::FILE* stream, const QString& text) {
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stream);
    std::fflush(stream);
}

// The reason in Japanese, then in English, on standard error; status 1.
int fail(const QString& japanese, const QString& english) {
    print(stderr, QStringLiteral("daduvov: ") + japanese);
    print(stderr, QStringLiteral("daduvov: ") + english);
    return 1;
}

QString englishOf(const Failure& failure) {
    switch (failure.kind) {
    case Failure::Kind::Network:
        return QStringLiteral("the server could not be reached");
    case Failure::Kind::Authentication:
        return QStringLiteral("wrong user name or password");
    case Failure::Kind::Certificate:
        return QStringLiteral("the server's certificate is not trusted and not pinned");
    case Failure::Kind::NotCalendar:
        return QStringLiteral("no calendar at this address");
    case Failure::Kind::Server:
        return QStringLiteral("the server failed or gave an unreadable answer");
    case Failure::Kind::Refused:
        return QStringLiteral("refused");
    case Failure::Kind::None:
        break;
    }
    return QString();
}

int failWith(const QString& what, const Failure& failure, const QString& english) {
    QString japanese = what + failure.message;
    if (!failure.detail.isEmpty())
        japanese += QStringLiteral(" (") + failure.detail + QLatin1Char(')');
    return fail(japanese, english + QStringLiteral(": ") + englishOf(failure));
}

// Sync commands need an event loop for the network and the keyring, and none exists before the
// window's application object.
std::unique_ptr<QCoreApplication> eventLoopApplication() {
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "daduvov";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

// One line, so that a password typed at a terminal ends with Enter.
std::optional<QString> readPasswordLine(QIODevice& input) {
    QByteArray line = input.readLine(kMaxPasswordBytes + 2);
    if (line.size() > kMaxPasswordBytes + 1 || (line.size() > kMaxPasswordBytes && !line.endsWith('\n')))
        return std::nullopt;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(line);
}

const Calendar* chooseCalendar(const std::vector<Calendar>& calendars, const QString& wanted,
                               const QUrl& base) {
    if (!wanted.isEmpty()) {
        const QUrl asUrl = base.resolved(QUrl(wanted));
        for (const Calendar& calendar : calendars)
            if (calendar.name == wanted || calendar.url == asUrl ||
                calendar.url == asUrl.adjusted(QUrl::StripTrailingSlash).toString() + QLatin1Char('/'))
                return &calendar;
        return nullptr;
    }
    for (const Calendar& calendar : calendars)
        if (calendar.takesEvents)
            return &calendar;
    return nullptr;
}

int accountCommand(const QCommandLineParser& parser, const QString& schedule, QIODevice& input) {
    const QString english = QStringLiteral("the sync account was not stored");
    const QUrl address(parser.value(kSyncAccount), QUrl::StrictMode);
    if (!address.isValid() || address.scheme().isEmpty() || address.host().isEmpty())
        return fail(QStringLiteral("サーバーのアドレスは https://… の形で指定してください。"),
                    english + QStringLiteral(": the server address is not a URL"));
    if (!address.userInfo().isEmpty())
        return fail(QStringLiteral("アドレスにユーザー名やパスワードを書かないでください "
                                   "(--%1 と --%2 で渡します)。")
                        .arg(kUser, kPasswordStdin),
                    english + QStringLiteral(": the address holds user information"));
    if (!parser.isSet(kUser) || parser.value(kUser).isEmpty())
        return fail(QStringLiteral("--%1 でユーザー名を指定してください。").arg(kUser),
                    english + QStringLiteral(": --user is missing"));
    if (!parser.isSet(kPasswordStdin))
        return fail(QStringLiteral("パスワードは --%1 で標準入力から渡してください "
                                   "(コマンドラインに書くと、ほかの人に見えることがあります)。")
                        .arg(kPasswordStdin),
                    english + QStringLiteral(": give the password on standard input with --password-stdin"));
    QString pinned;
    if (parser.isSet(kPin)) {
        pinned = normalFingerprint(parser.value(kPin));
        if (pinned.isEmpty())
            return fail(QStringLiteral("--%1 には証明書の SHA-256 指紋 (16進64桁) を指定してください: %2")
                            .arg(kPin, parser.value(kPin)),
                        english + QStringLiteral(": --pin-certificate wants a SHA-256 fingerprint"));
    }
    const std::optional<QString> password = readPasswordLine(input);
    if (!password)
        return fail(QStringLiteral("標準入力からパスワードを読めませんでした (1行で渡してください)。"),
                    english + QStringLiteral(": no password on standard input"));

    const auto application = eventLoopApplication();
    CalDavClient client({parser.value(kUser), *password, pinned});
    const Outcome<std::vector<Calendar>> found = client.discover(address);
    if (!found.ok())
        return failWith(QStringLiteral("サーバーを確かめられませんでした。"), found.failure(), english);
    const Calendar* chosen = chooseCalendar(found.value(), parser.value(kCalendar), address);
    if (!chosen) {
        QStringList names;
        for (const Calendar& calendar : found.value())
            names << QStringLiteral("「%1」 %2").arg(calendar.name, calendar.url.toDisplayString());
        return fail((parser.isSet(kCalendar)
                         ? QStringLiteral("--%1 のカレンダーが見つかりません。").arg(kCalendar)
                         : QStringLiteral("予定を受け付けるカレンダーがありません。")) +
                        QStringLiteral("見つかったカレンダー: ") + names.join(QStringLiteral("、")),
                    english + QStringLiteral(": no such calendar"));
    }

    Account account;
    account.schedule = scheduleKey(schedule);
    account.server = address.toString();
    account.user = parser.value(kUser);
    account.collection = chosen->url.toString();
    account.calendarName = chosen->name;
    account.takesTodos = chosen->takesTodos;
    account.syncCollection = chosen->syncCollection;
    account.pinnedFingerprint = pinned;
    if (const QString why = storePassword(account, *password); !why.isEmpty())
        return fail(why,
                    english + QStringLiteral(": the password could not be stored in the Secret Service"));
    if (const QString why = saveAccount(account); !why.isEmpty())
        return fail(why, english + QStringLiteral(": the account file could not be written"));

    print(stdout, QStringLiteral("同期の設定を保存しました: %1").arg(account.schedule));
    print(stdout, QStringLiteral("カレンダー: 「%1」 %2").arg(chosen->name, chosen->url.toDisplayString()));
    if (found.value().size() > 1 && !parser.isSet(kCalendar))
        print(stdout, QStringLiteral("(ほかに%1個のカレンダーがあります。--%2 で選べます)")
                          .arg(found.value().size() - 1)
                          .arg(kCalendar));
    print(stdout, chosen->takesTodos
                      ? QStringLiteral("ToDo: 同期します (このカレンダーは VTODO を受け付けます)")
                      : QStringLiteral("ToDo: 同期しません (このカレンダーは VTODO を受け付けません)"));
    return 0;
}

int syncCommand(const QCommandLineParser& parser, const QString& schedule) {
    const QString english = QStringLiteral("the sync did not complete");
    const AccountRead read = readAccount(schedule);
    if (!read.failure.isEmpty())
        return fail(read.failure, english + QStringLiteral(": the account file could not be read"));
    if (!read.account)
        return fail(
            QStringLiteral("このスケジュールファイルには同期の設定がありません。--%1 で設定してください: %2")
                .arg(kSyncAccount, scheduleKey(schedule)),
            english + QStringLiteral(": no sync account for this Schedule file (use --sync-account)"));
    const Account& account = *read.account;
    const auto application = eventLoopApplication();
    const PasswordRead password = readPassword(account);
    if (!password.password)
        return fail(password.failure,
                    english + QStringLiteral(": the password is not in the Secret Service"));

    SyncOptions options;
    options.range = defaultSyncRange(QDate::currentDate());
    options.allowMassDelete = parser.isSet(kAllowMassDelete);
    const SyncReport report = syncWithAccount(account, *password.password, options);
    if (report.massDeleteStopped)
        return fail(QStringLiteral("多くの予定を消すことになるので、何も消さずに止めました。"
                                   "それでよければ --%1 を付けてもう一度実行してください。")
                        .arg(kAllowMassDelete),
                    QStringLiteral("the sync stopped before deleting many items; nothing was deleted "
                                   "(run again with --allow-mass-delete to go on)"));
    if (!report.failure.isEmpty())
        return fail(QStringLiteral("同期できませんでした。") + report.failure, english);

    print(stdout, QStringLiteral("同期しました: 送信%1件、受信%2件、こちらで削除%3件、サーバーで削除%4件、"
                                 "競合%5件、表示できない予定%6件")
                      .arg(report.sent)
                      .arg(report.received)
                      .arg(report.deletedHere)
                      .arg(report.deletedThere)
                      .arg(report.conflicts.size())
                      .arg(report.notShown.size()));
    for (const ReportLine& line : report.conflicts)
        // Both texts begin with their date and time.
        print(stdout, QStringLiteral("競合: サーバー「%1」 / こちら「%2」").arg(line.text, line.other));
    for (const ReportLine& line : report.notShown)
        print(stdout, QStringLiteral("表示できない予定 %1: 「%2」 (%3)")
                          .arg(line.date.toString(Qt::ISODate), line.text, line.other));
    return 0;
}

} // namespace

void addSyncOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {kSyncAccount,
         QStringLiteral(
             "スケジュールファイルを同期する CalDAV サーバー (またはカレンダーのアドレス) を確かめて、"
             "同期の設定として保存します。--%1 と --%2 が必要です。")
             .arg(kUser, kPasswordStdin),
         QStringLiteral("URL")},
        {kUser, QStringLiteral("--%1 で、サーバーのユーザー名。").arg(kSyncAccount), QStringLiteral("NAME")},
        {kPasswordStdin,
         QStringLiteral("--%1 で、パスワードを標準入力から1行読みます。パスワードはキーリングに保管します。")
             .arg(kSyncAccount)},
        {kCalendar,
         QStringLiteral("--%1 で、サーバーに複数あるカレンダーのどれを使うか (名前かアドレス)。"
                        "既定: 予定を受け付ける最初のカレンダー。")
             .arg(kSyncAccount),
         QStringLiteral("NAME|URL")},
        {kPin,
         QStringLiteral("--%1 で、確認できない証明書をこの SHA-256 指紋のときだけ受け入れます。")
             .arg(kSyncAccount),
         QStringLiteral("SHA256")},
        {kSync, QStringLiteral("スケジュールファイルをサーバーのカレンダーと一度同期して終了します。")},
        {kAllowMassDelete,
         QStringLiteral("--%1 で、多くの予定を消すことになる同期も止めずに続けます。").arg(kSync)},
    });
}

std::optional<int> runSyncCommand(const QCommandLineParser& parser, const QString& programFolder,
                                  QIODevice& input) {
    const bool account = parser.isSet(kSyncAccount);
    const bool sync = parser.isSet(kSync);
    if (!account && !sync) {
        for (const QString& option : {kUser, kPasswordStdin, kCalendar, kPin})
            if (parser.isSet(option))
                return fail(QStringLiteral("--%1 は --%2 と一緒に指定してください").arg(option, kSyncAccount),
                            QStringLiteral("--%1 needs --%2").arg(option, kSyncAccount));
        if (parser.isSet(kAllowMassDelete))
            return fail(QStringLiteral("--%1 は --%2 と一緒に指定してください").arg(kAllowMassDelete, kSync),
                        QStringLiteral("--%1 needs --%2").arg(kAllowMassDelete, kSync));
        return std::nullopt;
    }
    for (const QString& other : {QStringLiteral("export-ics"), QStringLiteral("import-ics"),
                                 QStringLiteral("export-csv"), account ? kSync : kSyncAccount})
        if (parser.isSet(other))
            return fail(QStringLiteral("--%1 と --%2 は一緒に指定できません")
                            .arg(account ? kSyncAccount : kSync, other),
                        QStringLiteral("--%1 and --%2 cannot be given together")
                            .arg(account ? kSyncAccount : kSync, other));
    const QString schedule =
        parser.isSet(kSchedule) ? parser.value(kSchedule) : exchange::startFile(programFolder);
    if (schedule.isEmpty())
        return fail(
            QStringLiteral("スケジュールファイルが決まっていません (--%1 で指定してください)").arg(kSchedule),
            QStringLiteral("no Schedule file (give one with --schedule)"));
    if (!platform::fileExists(schedule))
        return fail(QStringLiteral("スケジュールファイルがありません: %1").arg(schedule),
                    QStringLiteral("the Schedule file does not exist"));
    return account ? accountCommand(parser, schedule, input) : syncCommand(parser, schedule);
}

} // namespace calsync
