#include "app/CommandLine.h"

#include "calendar/Holidays.h"
#include "exchange/CommandLine.h"
#include "platform/Paths.h"
#include "sync/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

#ifndef DADUVOV_VERSION
#define DADUVOV_VERSION "0"
#endif

namespace app {

namespace {

const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QString kAutostart = QStringLiteral("autostart");
const QString kHolidays = QStringLiteral("holidays");

// Options Qt itself takes from the command line (QGuiApplication's, and -session from the session
// manager's restart command). They are accepted here and left for QApplication to act on.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"reverse", false},
    {"session", true},         {"style", true},
    {"stylesheet", true},      {"display", true},
    {"geometry", true},        {"name", true},
    {"title", true},           {"widgetcount", false},
    {"nograb", false},         {"dograb", false},
};

// A path as the Exec key of a desktop entry wants it: quoted when it holds a reserved character,
// with the characters that stay special inside quotes escaped, and "%" doubled.
QString desktopExecArgument(QString path) {
    path.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(path.cbegin(), path.cend(), [](QChar c) { return reserved.contains(c); }))
        return path;
    QString quoted;
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

CommandLine failed(QTextStream& err, const QString& program, const QString& text) {
    err << program << ": " << text << '\n'
        << QStringLiteral("使い方は %1 --help で表示します。").arg(program) << '\n';
    err.flush();
    return {1, {}};
}

// The program's options, Qt's own among them (hidden from the help), and the Schedule file.
void addOptions(QCommandLineParser& parser) {
    // "-platform xcb" as Qt writes its own options; every option may be given with one dash or two.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("Daduvov: 予定とアラームを記録する月カレンダー"));
    parser.addOption({{QStringLiteral("h"), kHelp}, QStringLiteral("この説明を表示して終了します。")});
    parser.addOption({{QStringLiteral("v"), kVersion}, QStringLiteral("バージョンを表示して終了します。")});
    parser.addOption({kAutostart,
                      QStringLiteral("ログイン時に起動する (on) か、しない (off) かを設定して終了します。"),
                      QStringLiteral("on|off")});
    parser.addOption({kHolidays,
                      QStringLiteral("その年の祝日を「YYYY-MM-DD<タブ>名前」の形で日付順に表示して終了します "
                                     "(%1〜%2年)。")
                          .arg(calendar::kFirstHolidayYear)
                          .arg(calendar::kLastHolidayYear),
                      QStringLiteral("YEAR")});
    for (const QtOption& option : kQtOptions) {
        QCommandLineOption qtOption(QString::fromLatin1(option.name));
        if (option.takesValue)
            qtOption.setValueName(QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    exchange::addExchangeOptions(parser);
    calsync::addSyncOptions(parser);
    parser.addPositionalArgument(QStringLiteral("スケジュールファイル"),
                                 QStringLiteral("この起動で使うスケジュールファイル (*.SDB)。"
                                                "ないときは新規に作成します。"),
                                 QStringLiteral("[スケジュールファイル]"));
}

// --autostart on|off: writes or removes the autostart entry and says which it did.
CommandLine switchAutostart(const QString& given, const QString& name, const QString& program,
                            QTextStream& out, QTextStream& err) {
    const QString value = given.toLower();
    if (value != QLatin1String("on") && value != QLatin1String("off"))
        return failed(err, name, QStringLiteral("--autostart には on か off を指定してください: ") + value);
    const bool on = value == QLatin1String("on");
    if (const QString why = setAutostart(on, program); !why.isEmpty())
        return failed(err, name, autostartEntryPath() + QStringLiteral(": ") + why);
    out << (on ? QStringLiteral("ログイン時に起動します: ") : QStringLiteral("ログイン時に起動しません: "))
        << autostartEntryPath() << '\n';
    out.flush();
    return {0, {}};
}

// --holidays YEAR: the year's holidays, one line each as date, tab, name. Only a plain decimal
// year the rules cover is taken; anything else would print nothing and look like a year without
// holidays.
CommandLine printHolidays(const QString& given, const QString& name, QTextStream& out, QTextStream& err) {
    const QString text = given.trimmed();
    bool number = !text.isEmpty() && text.size() <= 4 &&
                  std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int year = number ? text.toInt(&number) : 0;
    if (!number || !calendar::holidaysKnown(year))
        return failed(err, name,
                      QStringLiteral("--holidays には %1 から %2 までの西暦年を指定してください: %3")
                          .arg(calendar::kFirstHolidayYear)
                          .arg(calendar::kLastHolidayYear)
                          .arg(given));
    for (const calendar::Holiday& holiday : calendar::holidaysOf(year))
        out << holiday.date.toString(Qt::ISODate) << '\t' << holiday.name << '\n';
    out.flush();
    return {0, {}};
}

// The start on the Schedule file named, if any: one file at most, and not a folder.
CommandLine scheduleFileArgument(const QStringList& files, const QString& name, QTextStream& err) {
    if (files.size() > 1)
        return failed(err, name, QStringLiteral("スケジュールファイルは一つだけ指定できます。"));
    CommandLine result;
    if (!files.isEmpty()) {
        const QFileInfo file(files.first());
        if (file.isDir())
            return failed(err, name,
                          QStringLiteral("フォルダはスケジュールファイルにできません: ") + files.first());
        result.scheduleFile = file.absoluteFilePath();
    }
    return result;
}

} // namespace

QString autostartEntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/daduvov.desktop");
}

QString setAutostart(bool on, const QString& program) {
    const QString path = autostartEntryPath();
    if (!on) {
        QFile entry(path);
        if (!entry.exists() || entry.remove())
            return {};
        return entry.errorString();
    }
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("フォルダを作成できません: ") + QFileInfo(path).path();
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly))
        return entry.errorString();
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Daduvov\n"
                                        "Exec=%1\n"
                                        "Icon=daduvov\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(desktopExecArgument(program));
    entry.write(text.toUtf8());
    if (!entry.commit())
        return entry.errorString();
    return {};
}

CommandLine readCommandLine(const QStringList& arguments, const QString& program, QTextStream& out,
                            QTextStream& err) {
    const QString name = QFileInfo(arguments.value(0, QStringLiteral("daduvov"))).fileName();
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        return failed(err, name, parser.errorText());
    if (parser.isSet(kHelp)) {
        // Without an application object Qt names the program "<executable_name>".
        out << parser.helpText().replace(QStringLiteral("<executable_name>"), name);
        out.flush();
        return {0, {}};
    }
    if (parser.isSet(kVersion)) {
        out << "Daduvov " DADUVOV_VERSION "\n";
        out.flush();
        return {0, {}};
    }
    if (parser.isSet(kAutostart))
        return switchAutostart(parser.value(kAutostart), name, program, out, err);
    if (parser.isSet(kHolidays))
        return printHolidays(parser.value(kHolidays), name, out, err);

    // Sync, export and import run here and end the program; they need no display either.
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return failed(err, name, QStringLiteral("標準入力を開けません。"));
    if (const std::optional<int> status = calsync::runSyncCommand(parser, platform::programFolder(), input))
        return {*status, {}};
    if (const std::optional<int> status = exchange::runExchangeCommand(parser, platform::programFolder()))
        return {*status, {}};
    return scheduleFileArgument(parser.positionalArguments(), name, err);
}

CommandLine readCommandLine(const QByteArrayList& arguments, const QString& program, QTextStream& out,
                            QTextStream& err) {
    QStringList decoded;
    for (const QByteArray& argument : arguments) {
        decoded << QFile::decodeName(argument);
        // Qt holds file names as text: bytes that are not UTF-8 become U+FFFD and do not come
        // back. The program's own path (the first) is never opened by name.
        if (decoded.size() > 1 && QFile::encodeName(decoded.last()) != argument)
            return failed(err, QFileInfo(decoded.first()).fileName(),
                          QStringLiteral("文字として読めないバイトを含む引数は使えません: ") +
                              decoded.last() +
                              QStringLiteral("\nファイル名なら、名前を変えてから指定してください。"));
    }
    return readCommandLine(decoded, program, out, err);
}

CommandLine readCommandLine(int argc, char** argv) {
    QByteArrayList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    // The running program itself, so that the autostart entry works from wherever it was started.
    QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (program.isEmpty())
        program = QFileInfo(QFile::decodeName(arguments.value(0))).absoluteFilePath();
    QTextStream out(stdout);
    QTextStream err(stderr);
    return readCommandLine(arguments, program, out, err);
}

} // namespace app
