// The real alarm sound service. Where a PulseAudio server can be started, it gets a private one
// with a null sink, and what the program plays is recorded from the sink's monitor: sound while
// the alarm is on, silence once it is stopped. With DADUVOV_TEST_NO_AUDIO=1 (and no server
// reachable) the same calls must work without any audio device.

#include <QtTest>

#include "platform/LoopingSound.h"
#include "platform/QtServices.h"
#include "support/HelperProcess.h"

#include <QSoundEffect>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

namespace {

const QString kSink = QStringLiteral("daduvov_null");

// Peak amplitude of 16-bit little-endian samples.
int peak(const QByteArray& pcm) {
    int maxAbs = 0;
    for (qsizetype i = 0; i + 1 < pcm.size(); i += 2) {
        const qint16 sample =
            static_cast<qint16>(static_cast<quint8>(pcm[i]) | (static_cast<quint8>(pcm[i + 1]) << 8));
        maxAbs = std::max(maxAbs, std::abs(int(sample)));
    }
    return maxAbs;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A fresh copy of the built-in WAV sound at `path`.
void copyWav(const QString& path) {
    QFile::remove(path);
    QVERIFY(QFile::copy(QStringLiteral(":/sounds/alarm.wav"), path));
}

} // namespace

class TestAlarmSound : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void startReturnsAndLoopsUntilStop_data();
    void startReturnsAndLoopsUntilStop();
    void unplayableFileFallsBackToBuiltIn();
    void stopBeforeFileFailsStaysSilent();
    void playbackIsHeardAndStops_data();
    void playbackIsHeardAndStops();

  private:
    bool startServer();
    QByteArray record(int ms);

    QTemporaryDir dir;
    testsupport::HelperProcess server;
    bool audio = false;
    QString noAudioReason;
    std::unique_ptr<platform::QtSound> sound;
};

bool TestAlarmSound::startServer() {
    // The server and every client in this process find each other through XDG_RUNTIME_DIR.
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("PULSE_RUNTIME_PATH", QFile::encodeName(runtime + QStringLiteral("/pulse")));
    qputenv("PULSE_SERVER",
            QFile::encodeName(QStringLiteral("unix:") + runtime + QStringLiteral("/pulse/native")));
    qunsetenv("PULSE_SINK");

    // Ready when the null sink answers.
    const auto sinkAnswers = [] {
        QProcess ctl;
        ctl.start(QStringLiteral("pactl"),
                  {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
        return ctl.waitForFinished(2000) && ctl.exitCode() == 0 &&
               ctl.readAllStandardOutput().contains(kSink.toUtf8());
    };
    if (!server.start(QStringLiteral("pulseaudio"),
                      {QStringLiteral("--daemonize=no"), QStringLiteral("-n"), QStringLiteral("-F"),
                       QStringLiteral("/dev/null"), QStringLiteral("--exit-idle-time=-1"),
                       QStringLiteral("--use-pid-file=no"), QStringLiteral("--disable-shm=yes"),
                       QStringLiteral("--load=module-null-sink sink_name=") + kSink,
                       QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1")},
                      sinkAnswers)) {
        noAudioReason = QStringLiteral("pulseaudio cannot be started with a null sink");
        return false;
    }
    QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-default-sink"), kSink});
    return true;
}

void TestAlarmSound::initTestCase() {
    QVERIFY(dir.isValid());
    // The server must be up before the first sound object exists: the audio backend connects once.
    if (qEnvironmentVariableIntValue("DADUVOV_TEST_NO_AUDIO") == 1) {
        qputenv("PULSE_SERVER", "unix:/nonexistent/daduvov/native");
        noAudioReason = QStringLiteral("no audio device on purpose (DADUVOV_TEST_NO_AUDIO=1)");
    } else {
        audio = startServer();
    }
    if (!audio)
        qInfo("%s", qPrintable(noAudioReason));
}

void TestAlarmSound::cleanupTestCase() {
    sound.reset();
    server.stop();
}

void TestAlarmSound::init() {
    sound = std::make_unique<platform::QtSound>();
}

void TestAlarmSound::cleanup() {
    sound.reset();
}

void TestAlarmSound::startReturnsAndLoopsUntilStop_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("builtIn");

    QTest::newRow("a WAV file") << "<copy>" << false;
    QTest::newRow("missing file") << "/no/such/alarm.wav" << true;
    QTest::newRow("empty name") << "" << true;
    QTest::newRow("a file over the size limit") << "<huge>" << true;
}

// start() returns with an endlessly looping sound (so it cannot have waited for the end of it);
// stop() ends it.
void TestAlarmSound::startReturnsAndLoopsUntilStop() {
    QFETCH(QString, path);
    QFETCH(bool, builtIn);
    if (path == QLatin1String("<copy>")) {
        path = dir.filePath(QStringLiteral("copy.WAV"));
        copyWav(path);
    } else if (path == QLatin1String("<huge>")) {
        // A valid WAV header followed by a sparse hole: never read, never takes disk or memory.
        path = dir.filePath(QStringLiteral("huge.WAV"));
        copyWav(path);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QFile huge(path);
        QVERIFY(huge.resize(platform::kMaxSoundFileBytes + 1));
    }

    sound->start(path);
    QVERIFY(sound->active());
    QCOMPARE(sound->usingBuiltIn(), builtIn);
    QCOMPARE(sound->effect()->loopCount(), int(QSoundEffect::Infinite));
    QCOMPARE(sound->effect()->source(),
             builtIn ? QUrl(platform::QtSound::builtInSound()) : QUrl::fromLocalFile(path));
    QTRY_VERIFY(sound->effect()->status() == QSoundEffect::Ready);
    if (audio)
        QTRY_VERIFY(sound->effect()->isPlaying());

    sound->stop();
    QVERIFY(!sound->active());
    QVERIFY(!sound->effect()->isPlaying());
}

void TestAlarmSound::unplayableFileFallsBackToBuiltIn() {
    const QString broken = dir.filePath(QStringLiteral("broken.wav"));
    writeFile(broken, QByteArray("RIFF\x10\0\0\0WAVEjunk", 16) + QByteArray(4000, '\x7f'));

    sound->start(broken);
    QTRY_VERIFY(sound->usingBuiltIn());
    QCOMPARE(sound->effect()->source(), QUrl(platform::QtSound::builtInSound()));
    QTRY_VERIFY(sound->effect()->status() == QSoundEffect::Ready);
    if (audio)
        QTRY_VERIFY(sound->effect()->isPlaying());
    sound->stop();
    QVERIFY(!sound->effect()->isPlaying());

    // The same broken file a second time falls back again.
    sound->start(broken);
    QVERIFY(!sound->usingBuiltIn());
    QTRY_VERIFY(sound->usingBuiltIn());
    sound->stop();
}

// The box was closed before the file turned out to be unplayable: nothing may start afterwards.
void TestAlarmSound::stopBeforeFileFailsStaysSilent() {
    const QString broken = dir.filePath(QStringLiteral("broken2.wav"));
    writeFile(broken, QByteArray(2000, 'x'));

    sound->start(broken);
    sound->stop();
    QTRY_VERIFY(sound->effect()->status() == QSoundEffect::Error);
    QTest::qWait(200);
    QVERIFY(!sound->usingBuiltIn());
    QVERIFY(!sound->effect()->isPlaying());
}

void TestAlarmSound::playbackIsHeardAndStops_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("the WAV file") << "<copy>";
    QTest::newRow("missing file plays the built-in sound") << "/no/such/alarm.wav";
}

// Records `ms` milliseconds of the sink's monitor, counted in samples (parec takes a while to
// start delivering), at 22050 Hz mono 16-bit.
QByteArray TestAlarmSound::record(int ms) {
    const qsizetype wanted = qsizetype(22050) * 2 * ms / 1000;
    QProcess rec;
    rec.start(QStringLiteral("parec"),
              {QStringLiteral("-d"), kSink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
               QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
               QStringLiteral("--rate=22050"), QStringLiteral("--latency-msec=20")});
    if (!rec.waitForStarted(3000))
        return QByteArray();
    QByteArray pcm;
    QDeadlineTimer giveUp(10000);
    while (pcm.size() < wanted && !giveUp.hasExpired() && rec.state() == QProcess::Running) {
        rec.waitForReadyRead(50);
        pcm += rec.readAllStandardOutput();
        QCoreApplication::processEvents();
    }
    rec.terminate();
    rec.waitForFinished(2000);
    return pcm.left(wanted);
}

// The sink really receives the alarm, still after the sound's own length (it loops), and
// silence after stop().
void TestAlarmSound::playbackIsHeardAndStops() {
    if (!audio)
        QSKIP(qPrintable(QStringLiteral("real playback not checked: ") + noAudioReason));
    QFETCH(QString, path);
    if (path == QLatin1String("<copy>")) {
        path = dir.filePath(QStringLiteral("heard.WAV"));
        copyWav(path);
    }

    const QByteArray before = record(300);
    QVERIFY2(!before.isEmpty(), "parec recorded nothing");
    QCOMPARE(peak(before), 0);

    sound->start(path);
    QTRY_VERIFY(sound->effect()->isPlaying());
    QTest::qWait(1200); // longer than the sound itself: what follows is a repetition
    const QByteArray playing = record(700);
    QVERIFY2(peak(playing) > 1000, qPrintable(QStringLiteral("peak while playing: %1").arg(peak(playing))));

    sound->stop();
    QTest::qWait(300);
    const QByteArray after = record(500);
    QVERIFY2(!after.isEmpty(), "parec recorded nothing");
    QVERIFY2(peak(after) < 50, qPrintable(QStringLiteral("peak after stop: %1").arg(peak(after))));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestAlarmSound test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_alarm_sound.moc"
