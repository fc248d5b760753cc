// The CalDAV client against a real Radicale and a scripted server: discovery, changes with and
// without sync tokens, conditional writes, the HTTP rules and the faults; and the --sync-account
// and --sync commands end to end with a real Secret Service.

#include "store/ScheduleFile.h"
#include "support/CalDavServers.h"
#include "support/ScheduleRows.h"
#include "sync/CalDavClient.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QtTest>

using namespace calsync;

namespace {

const QString kUser = QStringLiteral("alice");
const QString kPassword = QStringLiteral("s3cret-Pässword");

QByteArray icsEvent(const QString& uid, const QString& summary) {
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:%1\r\n"
                          "DTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:20260110\r\nSUMMARY:%2\r\n"
                          "END:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(uid, summary)
        .toUtf8();
}

HttpOptions login(const QString& password = kPassword) {
    HttpOptions options;
    options.user = kUser;
    options.password = password;
    options.timeoutMs = 20000;
    return options;
}

QHash<QString, QString> etagsOf(const Changes& changes) {
    QHash<QString, QString> known;
    for (const Resource& resource : changes.changed)
        known.insert(resource.href, resource.etag);
    return known;
}

} // namespace

class TestSyncClient : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    testsupport::Radicale radicale;
    int calendarCount = 0;

    // A new, empty calendar of alice's that takes events and to-dos.
    Calendar newCalendar(const QString& name = QString()) {
        const QString path = QStringLiteral("/alice/c%1/").arg(++calendarCount);
        Http http(login());
        const auto made =
            http.run({"MKCALENDAR",
                      radicale.url(path),
                      testsupport::mkcalendarBody(name.isEmpty() ? path : name,
                                                  {QStringLiteral("VEVENT"), QStringLiteral("VTODO")}),
                      {{"Content-Type", "application/xml"}}});
        if (!made.ok() || made.value().status != 201)
            qWarning() << "MKCALENDAR" << path << made.failure().detail;
        Calendar calendar;
        calendar.url = radicale.url(path);
        calendar.takesTodos = true;
        return calendar;
    }

    void put(CalDavClient& client, const QString& name, const QString& summary) {
        const auto written = client.write({{name, QString(), icsEvent(name, summary)}});
        QVERIFY(written.ok());
        QCOMPARE(written.value().front().state, Written::State::Done);
    }

  private slots:
    void initTestCase() {
        QVERIFY(folder.isValid());
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("radicale")));
        QVERIFY2(radicale.start(folder.filePath(QStringLiteral("radicale")), {{kUser, kPassword}}),
                 "Radicale did not start (Debian package radicale)");
        // A calendar of events only, made first so that discovery has a choice to make.
        Http http(login());
        const auto made =
            http.run({"MKCALENDAR",
                      radicale.url(QStringLiteral("/alice/events/")),
                      testsupport::mkcalendarBody(QStringLiteral("予定だけ"), {QStringLiteral("VEVENT")}),
                      {{"Content-Type", "application/xml"}}});
        QVERIFY(made.ok());
        QCOMPARE(made.value().status, 201);
    }

    void discovery_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("collectionOnly");
        QTest::newRow("server root") << QStringLiteral("/") << false;
        QTest::newRow("principal") << QStringLiteral("/alice/") << false;
        QTest::newRow("collection") << QStringLiteral("/alice/events/") << true;
        QTest::newRow("collection without its slash") << QStringLiteral("/alice/events") << true;
    }

    void discovery() {
        QFETCH(QString, path);
        QFETCH(bool, collectionOnly);
        newCalendar(QStringLiteral("仕事"));
        CalDavClient client(login());
        const auto found = client.discover(radicale.url(path));
        QVERIFY2(found.ok(), qPrintable(found.failure().message + found.failure().detail));
        QVERIFY(!found.value().empty());
        const Calendar* events = nullptr;
        const Calendar* work = nullptr;
        for (const Calendar& calendar : found.value()) {
            if (calendar.name == QStringLiteral("予定だけ"))
                events = &calendar;
            if (calendar.name == QStringLiteral("仕事"))
                work = &calendar;
        }
        QVERIFY(events);
        QCOMPARE(events->url, radicale.url(QStringLiteral("/alice/events/")));
        QVERIFY(events->takesEvents);
        QVERIFY(!events->takesTodos);
        QCOMPARE(found.value().size() == 1, collectionOnly);
        if (!collectionOnly) {
            QVERIFY(work);
            QVERIFY(work->takesTodos);
        }
    }

    void discoveryFindsNothing() {
        CalDavClient client(login());
        const auto found = client.discover(radicale.url(QStringLiteral("/alice/no-such-calendar/")));
        QVERIFY(!found.ok());
        QVERIFY(found.failure().kind == Failure::Kind::NotCalendar);
    }

    // Sync tokens: a first listing, an incremental one, and a sync with nothing changed costing
    // one request. Without tokens (or with one the server refuses) the ETag listing gives the
    // same answers.
    void changes_data() {
        QTest::addColumn<bool>("tokens");
        QTest::newRow("sync-collection") << true;
        QTest::newRow("calendar-query and multiget") << false;
    }

    void changes() {
        QFETCH(bool, tokens);
        Calendar calendar = newCalendar();
        calendar.syncCollection = tokens;
        CalDavClient client(login());
        client.setCalendar(calendar);
        client.setMultigetBatch(2); // several batches for five resources
        for (int i = 1; i <= 5; ++i)
            put(client, QStringLiteral("ev%1.ics").arg(i), QStringLiteral("予定 %1").arg(i));

        const auto first = client.changesSince(QString(), {});
        QVERIFY2(first.ok(), qPrintable(first.failure().detail));
        QCOMPARE(first.value().changed.size(), std::size_t{5});
        QVERIFY(first.value().removed.isEmpty());
        QCOMPARE(first.value().token.isEmpty(), !tokens);
        for (const Resource& resource : first.value().changed)
            QVERIFY(resource.data.contains(resource.href.chopped(4).toUtf8()));
        QHash<QString, QString> known = etagsOf(first.value());

        int before = client.requestCount();
        const auto nothing = client.changesSince(first.value().token, known);
        QVERIFY(nothing.ok());
        QVERIFY(nothing.value().changed.empty());
        QVERIFY(nothing.value().removed.isEmpty());
        QCOMPARE(client.requestCount() - before, 1);

        // One changed, one deleted, one added by another client; one the engine thinks it knows
        // that the server never had.
        const auto edited =
            client.write({{QStringLiteral("ev2.ics"), known.value(QStringLiteral("ev2.ics")),
                           icsEvent(QStringLiteral("ev2.ics"), QStringLiteral("changed"))},
                          {QStringLiteral("ev3.ics"), known.value(QStringLiteral("ev3.ics")), {}}});
        QVERIFY(edited.ok());
        QCOMPARE(edited.value()[0].state, Written::State::Done);
        QCOMPARE(edited.value()[1].state, Written::State::Done);
        CalDavClient other(login());
        other.setCalendar(calendar);
        put(other, QStringLiteral("ev6.ics"), QStringLiteral("new"));
        known.insert(QStringLiteral("phantom.ics"), QStringLiteral("\"x\""));

        const auto later = client.changesSince(nothing.value().token, known);
        QVERIFY(later.ok());
        QStringList changed;
        for (const Resource& resource : later.value().changed)
            changed << resource.href;
        changed.sort();
        QCOMPARE(changed, QStringList({QStringLiteral("ev2.ics"), QStringLiteral("ev6.ics")}));
        QStringList removed = later.value().removed;
        removed.sort();
        // The phantom is only known as removed when the whole collection is listed.
        QCOMPARE(removed, tokens ? QStringList({QStringLiteral("ev3.ics")})
                                 : QStringList({QStringLiteral("ev3.ics"), QStringLiteral("phantom.ics")}));

        // A token the server does not know: the whole listing, and only what differs is fetched.
        known = etagsOf(first.value());
        known.remove(QStringLiteral("ev3.ics"));
        known.insert(QStringLiteral("ev2.ics"),
                     later.value().changed.front().href == QStringLiteral("ev2.ics")
                         ? later.value().changed.front().etag
                         : later.value().changed.back().etag);
        known.insert(QStringLiteral("ev6.ics"),
                     later.value().changed.front().href == QStringLiteral("ev6.ics")
                         ? later.value().changed.front().etag
                         : later.value().changed.back().etag);
        const auto refused =
            client.changesSince(QStringLiteral("http://radicale.org/ns/sync/unknown"), known);
        QVERIFY2(refused.ok(), qPrintable(refused.failure().detail));
        QVERIFY(refused.value().changed.empty());
        QVERIFY(refused.value().removed.isEmpty());
        QCOMPARE(refused.value().token.isEmpty(), !tokens);
    }

    // Writes happen only on the version last seen; anything else is a conflict, not a failure.
    void conditionalWrites() {
        CalDavClient client(login());
        client.setCalendar(newCalendar());
        put(client, QStringLiteral("a.ics"), QStringLiteral("first"));
        const auto listed = client.changesSince(QString(), {});
        QVERIFY(listed.ok());
        const QString etag = listed.value().changed.front().etag;
        const QString stale = QStringLiteral("\"stale\"");
        const auto written = client.write({
            {QStringLiteral("a.ics"), QString(), icsEvent(QStringLiteral("a.ics"), QStringLiteral("again"))},
            {QStringLiteral("a.ics"), stale, icsEvent(QStringLiteral("a.ics"), QStringLiteral("stale"))},
            {QStringLiteral("a.ics"), stale, {}},
            {QStringLiteral("gone.ics"), stale, {}},
            {QStringLiteral("b.ics"), QString(), icsEvent(QStringLiteral("b.ics"), QStringLiteral("new"))},
        });
        QVERIFY(written.ok());
        const std::vector<Written::State> expected{Written::State::Conflict, Written::State::Conflict,
                                                   Written::State::Conflict, Written::State::Conflict,
                                                   Written::State::Done};
        for (std::size_t i = 0; i < expected.size(); ++i)
            QCOMPARE(written.value()[i].state, expected[i]);
        const auto edited = client.write(
            {{QStringLiteral("a.ics"), etag, icsEvent(QStringLiteral("a.ics"), QStringLiteral("second"))}});
        QVERIFY(edited.ok());
        QCOMPARE(edited.value().front().state, Written::State::Done);
        QVERIFY(!edited.value().front().etag.isEmpty());
        QVERIFY(edited.value().front().etag != etag);
        const auto deleted = client.write({{QStringLiteral("a.ics"), edited.value().front().etag, {}}});
        QVERIFY(deleted.ok());
        QCOMPARE(deleted.value().front().state, Written::State::Done);
    }

    // A sync-collection answer the server hands out in parts is followed to its end.
    void changesInParts() {
        testsupport::ScriptedServer server;
        QVERIFY(server.start(QFINDTESTDATA("scripted_server.py"), QStringLiteral("paged")));
        CalDavClient client(login());
        Calendar calendar;
        calendar.url = server.url(QStringLiteral("/cal/"));
        client.setCalendar(calendar);
        const auto changes =
            client.changesSince(QString(), {{QStringLiteral("old.ics"), QStringLiteral("\"0\"")}});
        QVERIFY2(changes.ok(), qPrintable(changes.failure().detail));
        QCOMPARE(changes.value().changed.size(), std::size_t{2});
        QCOMPARE(changes.value().changed[0].href, QStringLiteral("a.ics"));
        QCOMPARE(changes.value().changed[1].href, QStringLiteral("b.ics"));
        QCOMPARE(changes.value().changed[1].etag, QStringLiteral("\"b.ics\""));
        QCOMPARE(changes.value().removed, QStringList{QStringLiteral("old.ics")});
        QCOMPARE(changes.value().token, QStringLiteral("done"));
        QCOMPARE(client.requestCount(), 3);
    }

    // A batch of writes is not one round trip after another.
    void writesRunAtOnce() {
        testsupport::ScriptedServer server;
        QVERIFY(server.start(QFINDTESTDATA("scripted_server.py"), QStringLiteral("slow")));
        CalDavClient client(login());
        Calendar calendar;
        calendar.url = server.url(QStringLiteral("/alice/cal/"));
        client.setCalendar(calendar);
        std::vector<Write> writes;
        for (int i = 0; i < 12; ++i)
            writes.push_back({QStringLiteral("w%1.ics").arg(i), QString(), icsEvent(QString::number(i), {})});
        const auto written = client.write(writes);
        QVERIFY(written.ok());
        int most = 0;
        for (const Written& result : written.value()) {
            QCOMPARE(result.state, Written::State::Done);
            most = std::max(most, result.etag.mid(1).chopped(1).toInt());
        }
        QVERIFY2(most >= 4, qPrintable(QString::number(most)));
    }

    // Many writes at once, the server killed while they run: each write reported done is on
    // the server with its ETag once it is back, and none is reported done that is not.
    void serverKilledDuringWrites() {
        testsupport::Radicale mortal;
        const QString storage = folder.filePath(QStringLiteral("mortal"));
        QVERIFY(QDir().mkpath(storage));
        QVERIFY(mortal.start(storage, {{kUser, kPassword}}));
        Http http(login());
        QVERIFY(http.run({"MKCALENDAR",
                          mortal.url(QStringLiteral("/alice/k/")),
                          testsupport::mkcalendarBody(QStringLiteral("k"), {QStringLiteral("VEVENT")}),
                          {{"Content-Type", "application/xml"}}})
                    .ok());
        Calendar calendar;
        calendar.url = mortal.url(QStringLiteral("/alice/k/"));
        CalDavClient client(login());
        client.setCalendar(calendar);
        std::vector<Write> writes;
        for (int i = 0; i < 300; ++i)
            writes.push_back({QStringLiteral("k%1.ics").arg(i), QString(),
                              icsEvent(QStringLiteral("k%1").arg(i), QStringLiteral("x"))});
        QTimer::singleShot(300, this, [&mortal] { mortal.kill(); });
        const auto written = client.write(writes);
        QTRY_COMPARE_WITH_TIMEOUT(mortal.helper.process.state(), QProcess::NotRunning, 10000);
        QVERIFY(mortal.start(storage, {{kUser, kPassword}}));
        const auto listed = client.changesSince(QString(), {});
        QVERIFY(listed.ok());
        const QHash<QString, QString> onServer = etagsOf(listed.value());
        if (!written.ok()) {
            QCOMPARE(written.failure().kind, Failure::Kind::Network);
            return;
        }
        int failed = 0;
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const Written& result = written.value()[i];
            if (result.state == Written::State::Done)
                QCOMPARE(onServer.value(writes[i].href), result.etag);
            else if (result.state == Written::State::Failed)
                ++failed;
        }
        QVERIFY2(failed > 0, "the kill came after the last write; nothing was tested");
    }

    void faults_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("500") << QStringLiteral("status:500") << int(Failure::Kind::Server)
                             << QStringLiteral("500");
        QTest::newRow("503") << QStringLiteral("status:503") << int(Failure::Kind::Server)
                             << QStringLiteral("503");
        QTest::newRow("malformed multistatus")
            << QStringLiteral("malformed") << int(Failure::Kind::Server) << QStringLiteral("読めません");
        QTest::newRow("entity") << QStringLiteral("entity") << int(Failure::Kind::Server)
                                << QStringLiteral("読めません");
        QTest::newRow("50 MB answer")
            << QStringLiteral("huge") << int(Failure::Kind::Server) << QStringLiteral("大きすぎる");
        QTest::newRow("connection cut")
            << QStringLiteral("cut") << int(Failure::Kind::Network) << QStringLiteral("通信");
        QTest::newRow("redirect to another host")
            << QStringLiteral("redirect") << int(Failure::Kind::Refused) << QStringLiteral("127.0.0.2");
        QTest::newRow("server stalls")
            << QStringLiteral("stall") << int(Failure::Kind::Network) << QStringLiteral("時間内");
        QTest::newRow("server gone") << QStringLiteral("gone") << int(Failure::Kind::Network)
                                     << QStringLiteral("通信");
    }

    void faults() {
        QFETCH(QString, mode);
        QFETCH(int, kind);
        QFETCH(QString, message);
        testsupport::ScriptedServer server;
        QVERIFY(server.start(QFINDTESTDATA("scripted_server.py"), mode));
        const QUrl url = server.url(QStringLiteral("/alice/cal/"));
        if (mode == QLatin1String("gone"))
            server.helper.stop();
        HttpOptions options = login();
        options.timeoutMs = 1000;
        CalDavClient client(options);
        Calendar calendar;
        calendar.url = url;
        client.setCalendar(calendar);
        const auto changes =
            client.changesSince(QStringLiteral("token"), {{QStringLiteral("a.ics"), "\"1\""}});
        QVERIFY(!changes.ok());
        QCOMPARE(int(changes.failure().kind), kind);
        QVERIFY2(changes.failure().message.contains(message), qPrintable(changes.failure().message));
        const auto found = client.discover(url);
        QVERIFY(!found.ok());
        if (mode == QLatin1String("redirect"))
            QCOMPARE(client.requestCount(), 2); // each call's first request, never the redirected one
    }

    // A principal on another host is not followed: the password would go there.
    void discoveryStaysOnTheHost() {
        testsupport::ScriptedServer server;
        QVERIFY(server.start(QFINDTESTDATA("scripted_server.py"), QStringLiteral("elsewhere")));
        CalDavClient client(login());
        const auto found = client.discover(server.url());
        QVERIFY(!found.ok());
        QCOMPARE(found.failure().kind, Failure::Kind::Refused);
        QVERIFY2(found.failure().message.contains(QStringLiteral("127.0.0.2")),
                 qPrintable(found.failure().message));
        QCOMPARE(client.requestCount(), 1);
    }

    void wrongPassword() {
        CalDavClient client(login(QStringLiteral("wrong")));
        const auto found = client.discover(radicale.url());
        QVERIFY(!found.ok());
        QCOMPARE(found.failure().kind, Failure::Kind::Authentication);
        QVERIFY(found.failure().message.contains(QStringLiteral("パスワード")));
    }

    void plainHttpOnlyToLoopback() {
        CalDavClient client(login());
        const auto found = client.discover(QUrl(QStringLiteral("http://192.0.2.1/")));
        QVERIFY(!found.ok());
        QCOMPARE(found.failure().kind, Failure::Kind::Refused);
        QCOMPARE(client.requestCount(), 0);
    }

    // A self-signed certificate is refused with its fingerprint, and taken when exactly that
    // fingerprint is pinned.
    void selfSignedCertificate() {
        testsupport::Radicale secure;
        const QString storage = folder.filePath(QStringLiteral("tls"));
        QVERIFY(QDir().mkpath(storage));
        QVERIFY(secure.start(storage, {{kUser, kPassword}}, true));
        const QList<QSslCertificate> certificates = QSslCertificate::fromData(secure.certificatePem);
        QCOMPARE(certificates.size(), 1);
        const QString fingerprint = normalFingerprint(
            QString::fromLatin1(certificates.front().digest(QCryptographicHash::Sha256).toHex()));

        CalDavClient refused(login());
        const auto notTrusted = refused.discover(secure.url());
        QVERIFY(!notTrusted.ok());
        QCOMPARE(notTrusted.failure().kind, Failure::Kind::Certificate);
        QVERIFY2(notTrusted.failure().message.contains(fingerprint),
                 qPrintable(notTrusted.failure().message));

        HttpOptions otherPin = login();
        otherPin.pinnedFingerprint =
            QString(fingerprint).replace(0, 2, fingerprint.startsWith(u'A') ? "BB" : "AA");
        CalDavClient wrongPin(otherPin);
        QCOMPARE(wrongPin.discover(secure.url()).failure().kind, Failure::Kind::Certificate);

        HttpOptions pinned = login();
        pinned.pinnedFingerprint = fingerprint.toLower().remove(u':');
        CalDavClient trusting(pinned);
        const auto found = trusting.discover(secure.url());
        QVERIFY2(found.ok() || found.failure().kind == Failure::Kind::NotCalendar,
                 qPrintable(found.failure().message));
    }

    // --sync-account with the keyring: the account is stored and found again by --sync; the
    // password is in no file of the configuration folder, not in the Schedule file, not in the
    // output.
    void commandLine() {
        testsupport::SecretService secrets;
        QVERIFY2(secrets.start(folder.filePath(QStringLiteral("secrets"))), "gnome-keyring did not start");
        const QString schedule = folder.filePath(QStringLiteral("schedule.SDB"));
        QVERIFY(store::createScheduleFile(schedule).ok());
        const QString config = folder.filePath(QStringLiteral("config"));
        QProcessEnvironment environment = secrets.environment;
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        QByteArray output;
        QByteArray last;
        const auto run = [&](const QStringList& arguments, const QByteArray& input) {
            QProcess program;
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(DADUVOV_PROGRAM), arguments);
            program.write(input);
            program.closeWriteChannel();
            if (!program.waitForFinished(60000))
                program.kill();
            const QByteArray said = program.readAllStandardOutput() + program.readAllStandardError();
            output += said;
            last = said;
            qDebug().noquote() << QString::fromUtf8(said);
            return program.exitCode();
        };
        const QStringList account{QStringLiteral("--sync-account"),
                                  radicale.url().toString(),
                                  QStringLiteral("--user"),
                                  kUser,
                                  QStringLiteral("--password-stdin"),
                                  QStringLiteral("--schedule"),
                                  schedule};
        QCOMPARE(run(account + QStringList{QStringLiteral("--calendar"), QStringLiteral("予定だけ")},
                     kPassword.toUtf8() + "\n"),
                 0);
        QVERIFY(output.contains("予定だけ"));
        QVERIFY(output.contains("VTODO を受け付けません"));

        // The account is read back and the password found in the keyring; an event the phone
        // added arrives in the file, and a second sync finds nothing to do.
        const QUrl events = radicale.url(QStringLiteral("/alice/events/"));
        const QString date = QDate::currentDate().addDays(3).toString(QStringLiteral("yyyy/M/d"));
        QVERIFY(testsupport::phoneClient(QFINDTESTDATA("phone_client.py"), events, kUser, kPassword,
                                         {QStringLiteral("add phone1 %1 0930 歯医者").arg(date)}) !=
                "<failed>");
        const QStringList sync{QStringLiteral("--sync"), QStringLiteral("--schedule"), schedule};
        QCOMPARE(run(sync, {}), 0);
        QVERIFY2(last.contains("同期しました: 送信0件、受信1件、こちらで削除0件、サーバーで削除0件、競合0件、"
                               "表示できない予定0件"),
                 last.constData());
        const store::SlotItem item = testrows::storedSlot(schedule, QDate::fromString(date, "yyyy/M/d"), 1);
        QCOMPARE(item.content, QStringLiteral("歯医者"));
        QCOMPARE(item.timeText, QStringLiteral("0930"));
        QCOMPARE(run(sync, {}), 0);
        QVERIFY2(last.contains("同期しました: 送信0件、受信0件、こちらで削除0件、サーバーで削除0件、競合0件、"
                               "表示できない予定0件"),
                 last.constData());

        // Without a Secret Service the account is not stored, and says why.
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + folder.filePath(QStringLiteral("no-bus")));
        QCOMPARE(run(account, kPassword.toUtf8() + "\n"), 1);
        QVERIFY(last.contains("キーリング"));
        // Nor with the password in the address.
        QUrl withPassword = radicale.url();
        withPassword.setUserInfo(kUser + QLatin1Char(':') + kPassword);
        QCOMPARE(run({QStringLiteral("--sync-account"), withPassword.toString(), QStringLiteral("--user"),
                      kUser, QStringLiteral("--password-stdin"), QStringLiteral("--schedule"), schedule},
                     "x\n"),
                 1);
        // Nor with a wrong password.
        QCOMPARE(run(account, "wrong\n"), 1);
        QVERIFY(last.contains("パスワード"));

        const QByteArray password = kPassword.toUtf8();
        QVERIFY(!output.contains(password));
        QStringList files{schedule};
        QDirIterator it(config, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        QVERIFY(files.size() > 1);
        for (const QString& path : files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(!file.readAll().contains(password), qPrintable(path));
        }
    }
};

QTEST_GUILESS_MAIN(TestSyncClient)
#include "test_sync_client.moc"
