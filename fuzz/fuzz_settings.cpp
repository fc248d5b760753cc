// Fuzz target: the Settings reader on arbitrary bytes.
//
// Every input is read three ways, and each must agree with the first:
//   1. decodeText + applyConfigText, the reading loop itself;
//   2. loadSettingsFile on the same bytes stored as the Settings file of a program folder (inputs up
//      to the size loadSettingsFile reads; a larger file is refused unread, with a message box);
//   3. the record read in 1, written with configLines + encodeText and read again: a Settings
//      file the program writes must read back exactly as the record it was written from.
// A disagreement aborts, so libFuzzer keeps the input as a crash.

#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "settings/Settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Remembers where the reader put the main window; nothing else happens.
class QuietHost : public settings::ConfigHost {
  public:
    void firstRunFlow() override { ++firstRuns; }
    void missingFileFlow() override {}
    void setMainTop(float twips) override { top = twips; }
    void setMainLeft(float twips) override { left = twips; }

    int firstRuns = 0;
    float top = 0;
    float left = 0;
};

QTemporaryDir* programFolder = nullptr;

QString folder() {
    return programFolder->path();
}

// The record as loadSettingsFile starts it, before the file is read.
settings::Settings startingRecord() {
    settings::Settings s;
    s.setColorDefaults();
    s.settingsFile = platform::joinPath(folder(), settings::kSettingsFileName);
    s.alarmSoundFile = platform::joinPath(folder(), settings::kDefaultSoundName);
    return s;
}

void fail(const char* what, const settings::Settings& expected, const settings::Settings& actual) {
    std::fprintf(stderr, "fuzz_settings: %s\n  expected: %s\n  actual:   %s\n", what,
                 qPrintable(settings::configLines(expected, 0, 0).join(QStringLiteral(" | "))),
                 qPrintable(settings::configLines(actual, 0, 0).join(QStringLiteral(" | "))));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    programFolder = new QTemporaryDir();
    if (!programFolder->isValid()) {
        std::fprintf(stderr, "fuzz_settings: no temporary folder\n");
        std::abort();
    }
    std::atexit([] { delete programFolder; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // 1. The reading loop.
    settings::Settings read = startingRecord();
    QuietHost host;
    settings::applyConfigText(read, platform::decodeText(bytes), host);

    // 2. The same bytes as the Settings file. A new file each time: ext4 flushes a file that is
    // truncated and written again when it is closed, which would make every run wait for the disk.
    {
        QFile::remove(read.settingsFile);
        QFile file(read.settingsFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "fuzz_settings: cannot write %s\n", qPrintable(read.settingsFile));
            std::abort();
        }
    }
    if (bytes.size() <= settings::kMaxSettingsFileBytes) {
        settings::Settings loaded;
        loaded.setColorDefaults();
        QuietHost loadHost;
        settings::loadSettingsFile(loaded, folder(), loadHost);
        if (loadHost.firstRuns != 0 || !(loaded == read) || loadHost.top != host.top ||
            loadHost.left != host.left)
            fail("loadSettingsFile disagrees with the reading loop", read, loaded);
    }

    // 3. Written and read again.
    const QStringList lines = settings::configLines(read, host.top, host.left);
    if (lines.size() != 26)
        std::abort();
    const QByteArray written =
        platform::encodeText(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    settings::Settings again = startingRecord();
    QuietHost againHost;
    settings::applyConfigText(again, platform::decodeText(written), againHost);
    if (!(again == read))
        fail("the written file reads back differently", read, again);
    if (againHost.top != host.top || againHost.left != host.left) {
        std::fprintf(stderr, "fuzz_settings: TOP/LEFT %.9g/%.9g read back as %.9g/%.9g\n",
                     static_cast<double>(host.top), static_cast<double>(host.left),
                     static_cast<double>(againHost.top), static_cast<double>(againHost.left));
        std::abort();
    }
    return 0;
}
