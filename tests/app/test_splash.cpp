// The splash window hands over to the main window: at once on a key or a click, otherwise when
// its 5000 ms timer fires.

#include "app/SplashWindow.h"
#include "support/FakePlatform.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QtTest>

class TestSplash : public QObject {
    Q_OBJECT

    testsupport::FakePlatform fake;

    struct Pair {
        QWidget main;
        QPointer<app::SplashWindow> splash;
        Pair() {
            splash = new app::SplashWindow(&main);
            splash->show();
        }
    };

  private Q_SLOTS:
    void initTestCase() { fake.install(); }

    void keyClosesAndShowsMain() {
        Pair p;
        QTest::keyClick(p.splash.data(), Qt::Key_A);
        QVERIFY(p.main.isVisible());
        QTRY_VERIFY(!p.splash);
    }

    void clickOnFrameClosesAndShowsMain() {
        Pair p;
        QWidget* frame = p.splash->findChild<QWidget*>(QStringLiteral("Frame1"));
        QVERIFY(frame);
        QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(30, 30));
        QVERIFY(p.main.isVisible());
        QTRY_VERIFY(!p.splash);
    }

    void timerClosesAfterFiveSeconds() {
        Pair p;
        QTimer* timer = p.splash->timer();
        QCOMPARE(timer->interval(), 5000);
        QVERIFY(timer->isActive());
        QVERIFY(!p.main.isVisible());
        timer->start(20); // let the same timer fire sooner
        QTRY_VERIFY(p.main.isVisible());
        QTRY_VERIFY(!p.splash);
    }

    void texts() {
        Pair p;
        QCOMPARE(p.splash->objectName(), QStringLiteral("frmSplash"));
        QCOMPARE(p.splash->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("【Daduvov】"));
        QCOMPARE(p.splash->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("Ver.1.0"));
    }
};

QTEST_MAIN(TestSplash)
#include "test_splash.moc"
