// The splash window hands over to the main window: at once on a key or a click, otherwise when
// its 5000 ms timer fires.

#include "app/SplashWindow.h"
#include "support/FakePlatform.h"

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

    void keyOrClickClosesAndShowsMain_data() {
        QTest::addColumn<bool>("click");
        QTest::newRow("a key") << false;
        QTest::newRow("a click on the frame") << true;
    }
    void keyOrClickClosesAndShowsMain() {
        QFETCH(bool, click);
        Pair p;
        if (click)
            QTest::mouseClick(p.splash->findChild<QWidget*>(QStringLiteral("Frame1")), Qt::LeftButton, {},
                              QPoint(30, 30));
        else
            QTest::keyClick(p.splash.data(), Qt::Key_A);
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
};

QTEST_MAIN(TestSplash)
#include "test_splash.moc"
