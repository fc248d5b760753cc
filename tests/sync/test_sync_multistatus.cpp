// The multistatus reader on texts: the properties the client uses, and the answers it refuses.

#include "sync/Multistatus.h"

#include <QtTest>

using calsync::parseMultistatus;

#include "MultistatusTexts.h"

class TestSyncMultistatus : public QObject {
    Q_OBJECT

  private slots:
    void readsWhatTheClientAsks() {
        const QByteArray xml = kDiscoveryAndChanges;
        const auto result = parseMultistatus(xml);
        QVERIFY2(result.ok(), qPrintable(result.failure().detail));
        const auto& responses = result.value().responses;
        QCOMPARE(responses.size(), std::size_t{3});
        const calsync::DavResponse& collection = responses[0];
        QVERIFY(collection.collection && collection.calendar);
        QCOMPARE(collection.displayName, QStringLiteral("仕事 & 家"));
        QCOMPARE(collection.components, QStringList({QStringLiteral("VEVENT"), QStringLiteral("VTODO")}));
        QVERIFY(collection.reportsGiven);
        QCOMPARE(collection.reports,
                 QStringList({QStringLiteral("sync-collection"), QStringLiteral("calendar-multiget")}));
        QCOMPARE(collection.principal, QStringLiteral("/alice/"));
        QCOMPARE(collection.calendarHome, QStringLiteral("/home/alice/"));
        QVERIFY2(collection.etag.isEmpty(), "a property of a 404 propstat is not taken");
        QCOMPARE(responses[1].href, QStringLiteral("/alice/cal/a%20b.ics"));
        QCOMPARE(responses[1].etag, QStringLiteral("\"e1\""));
        QCOMPARE(responses[1].calendarData, QByteArray("BEGIN:VCALENDAR\nEND:VCALENDAR\n"));
        QCOMPARE(responses[2].status, 404);
        QCOMPARE(result.value().syncToken, QStringLiteral("http://example.com/sync/7"));
    }

    void refuses_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("reason");
        const QByteArray head = kHead;
        const QByteArray one = "<d:response><d:href>/a</d:href></d:response>";
        QTest::newRow("document type") << kEntityBomb << QStringLiteral("document type");
        QTest::newRow("external entity") << kExternalEntity << QStringLiteral("document type");
        QTest::newRow("not a multistatus")
            << QByteArray("<html><body>login</body></html>") << QStringLiteral("not a multistatus");
        QTest::newRow("not well-formed") << head + "<d:response><d:href>/a" << QStringLiteral("");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("");
        QTest::newRow("too deep") << head + QByteArray("<d:x>").repeated(40) << QStringLiteral("deeper");
        QTest::newRow("too many responses")
            << head + one.repeated(11) + "</d:multistatus>" << QStringLiteral("more than 10");
        QTest::newRow("text too long") << head + "<d:response><d:href>" + QByteArray(2000, 'a') + "</d:href>"
                                       << QStringLiteral("longer");
        QTest::newRow("too large") << head + QByteArray(5000, ' ') + "</d:multistatus>"
                                   << QStringLiteral("larger");
        QTest::newRow("response without href")
            << head + "<d:response><d:status>HTTP/1.1 200 OK</d:status></d:response></d:multistatus>"
            << QStringLiteral("without an href");
    }

    void refuses() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, reason);
        calsync::MultistatusLimits limits;
        limits.maxBytes = 4096;
        limits.maxResponses = 10;
        limits.maxText = 1000;
        const auto result = parseMultistatus(xml, limits);
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, calsync::Failure::Kind::Server);
        QVERIFY(!result.failure().message.isEmpty());
        QVERIFY2(result.failure().detail.contains(reason), qPrintable(result.failure().detail));
    }
};

QTEST_GUILESS_MAIN(TestSyncMultistatus)
#include "test_sync_multistatus.moc"
