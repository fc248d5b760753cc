#include "settings/ScheduleFileChoice.h"

#include "platform/Paths.h"
#include "platform/Services.h"
#include "settings/ConfigFile.h"
#include "store/ScheduleFile.h"

#include <QDir>
#include <QFileInfo>

namespace settings {

namespace {

QString defaultScheduleFile(const QString& programFolder) {
    return platform::joinPath(programFolder, kDefaultScheduleName);
}

// The one file dialog of the three flows; an empty answer (cancel) means the default file.
QString askForScheduleFile(const QString& programFolder) {
    const QString chosen = platform::services().files->openFile(kScheduleFilter);
    return chosen.isEmpty() ? defaultScheduleFile(programFolder) : withScheduleExtension(chosen);
}

// Creates an empty Schedule file at `path`. When that fails (a missing folder, no permission,
// something else already at the path) the user is told why and false comes back.
bool createScheduleFile(const QString& path) {
    const store::Error error = store::createScheduleFile(path);
    if (error.ok())
        return true;
    platform::message(QStringLiteral("スケジュールファイルを作成できませんでした\n") + path +
                          QLatin1Char('\n') + store::describe(error),
                      platform::kAppTitle, platform::Icon::Exclamation);
    return false;
}

// Whether the file at `path` may become the Schedule file in use; when not, the user is told why
// and nothing is created. START_FILE has to name the file again at the next start, so a name the
// Settings file cannot keep as it is (one with a line end) is refused. So is a new name holding
// U+FFFD: that is how a name whose bytes are not UTF-8 reads once decoded, and creating it would
// make a second, empty file beside the one the user meant.
bool usableScheduleName(const QString& path) {
    QString reason;
    if (!settingsFileKeeps(path))
        reason = QStringLiteral("改行などを含む名前は設定ファイルに記録できません。");
    else if (path.contains(QChar::ReplacementCharacter) && !platform::fileExists(path))
        reason =
            QStringLiteral("名前に文字として読めない部分（%1）があります。").arg(QChar::ReplacementCharacter);
    if (reason.isEmpty())
        return true;
    QString shown = path;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("↵"))
        .replace(QLatin1Char('\r'), QStringLiteral("↵"))
        .replace(QLatin1Char('\n'), QStringLiteral("↵"));
    platform::message(QStringLiteral("このファイル名はスケジュールファイルに使えません\n") + shown +
                          QLatin1Char('\n') + reason +
                          QStringLiteral("ファイル名を変えてから選んでください。"),
                      platform::kAppTitle, platform::Icon::Exclamation);
    return false;
}

bool samePath(const QString& a, const QString& b) {
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

// The common part of the first-run and missing-file flows, after their opening message.
void chooseAtStartUp(Settings& s, const QString& programFolder) {
    s.scheduleFile = askForScheduleFile(programFolder);
    if (usableScheduleName(s.scheduleFile)) {
        if (platform::fileExists(s.scheduleFile)) {
            platform::message(QStringLiteral("既存のスケジュールファイルを再設定します"));
            return;
        }
        if (createScheduleFile(s.scheduleFile))
            return;
    }

    // The chosen file cannot be used or created. The program cannot run without a Schedule file, so
    // it falls back to the default one in the program folder, creating it when missing. When
    // even that fails START_FILE stays empty: nothing names a file that is not there, and the
    // next start asks again.
    const QString fallback = defaultScheduleFile(programFolder);
    if (samePath(s.scheduleFile, fallback) ||
        (!platform::fileExists(fallback) && !createScheduleFile(fallback))) {
        s.scheduleFile.clear();
        return;
    }
    s.scheduleFile = fallback;
    platform::message(QStringLiteral("代わりに") + fallback + QStringLiteral("を使用します"),
                      platform::kAppTitle, platform::Icon::Information);
}

} // namespace

QString withScheduleExtension(const QString& path) {
    const QFileInfo file(path);
    if (file.fileName().contains(QLatin1Char('.')) || file.isFile())
        return path;
    return path + QStringLiteral(".SDB");
}

void firstRunFlow(Settings& s, const QString& programFolder) {
    platform::message(QStringLiteral("最初にスケジュールファイルを作成してください"));
    chooseAtStartUp(s, programFolder);
}

void missingFileFlow(Settings& s, const QString& programFolder) {
    platform::message(QStringLiteral("環境に変化があったので再構築します"));
    chooseAtStartUp(s, programFolder);
}

void openScheduleCommand(Settings& s, const QString& programFolder) {
    openScheduleFile(s, askForScheduleFile(programFolder));
}

bool openScheduleFile(Settings& s, const QString& path) {
    if (!usableScheduleName(path))
        return false;
    if (platform::fileExists(path)) {
        s.scheduleFile = path;
        return true;
    }
    platform::message(QStringLiteral("新規に") + path + QStringLiteral("を作成します"));
    // START_FILE changes only once the new file exists; a failed creation (already reported)
    // leaves the previous Schedule file in use.
    if (!createScheduleFile(path))
        return false;
    s.scheduleFile = path;
    return true;
}

} // namespace settings
