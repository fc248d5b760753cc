#include "settings/ConfigFile.h"

#include "platform/Paths.h"
#include "platform/Services.h"
#include "platform/TextFile.h"
#include "settings/ScheduleFileChoice.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>

namespace settings {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A part "reads as a number" when, after optional blanks (space, tab) on either side, it is an
// optional sign, ASCII digits with at most one decimal point (at least one digit in all, so
// "5", "5.", ".5"), and an optional exponent: "e" or "E", an optional sign and at least one
// digit. Nothing else counts: no hexadecimal, no thousands separators, no full-width digits,
// no "inf" or "nan". A number too large for a double is left as text.
std::optional<double> readNumber(const QString& part) {
    qsizetype i = 0;
    qsizetype end = part.size();
    while (i < end && isBlank(part[i]))
        ++i;
    while (end > i && isBlank(part[end - 1]))
        --end;

    bool negative = false;
    if (i < end && (part[i] == QLatin1Char('+') || part[i] == QLatin1Char('-'))) {
        negative = part[i] == QLatin1Char('-');
        ++i;
    }
    std::string body;
    int digits = 0;
    while (i < end && isAsciiDigit(part[i])) {
        body += part[i++].toLatin1();
        ++digits;
    }
    if (i < end && part[i] == QLatin1Char('.')) {
        body += '.';
        ++i;
        while (i < end && isAsciiDigit(part[i])) {
            body += part[i++].toLatin1();
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < end && (part[i] == QLatin1Char('e') || part[i] == QLatin1Char('E'))) {
        body += 'e';
        ++i;
        if (i < end && (part[i] == QLatin1Char('+') || part[i] == QLatin1Char('-')))
            body += part[i++].toLatin1();
        int exponentDigits = 0;
        while (i < end && isAsciiDigit(part[i])) {
            body += part[i++].toLatin1();
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != end)
        return std::nullopt;

    double value = 0;
    const char* first = body.data();
    const char* last = first + body.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return negative ? -value : value;
}

QVariant partValue(const QString& part) {
    if (const auto number = readNumber(part))
        return QVariant(*number);
    return QVariant(part);
}

bool isNumber(const QVariant& v) {
    return v.typeId() == QMetaType::Double;
}

// "True" or "False" in any letter case, or a number (true when not zero).
std::optional<bool> asBool(const QVariant& v) {
    if (isNumber(v))
        return v.toDouble() != 0;
    const QString word = v.toString().trimmed();
    if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// A number rounded to the nearest integer, halves to the even neighbour (2.5 gives 2, 3.5
// gives 4), when the result fits the integer type.
template <typename Int> std::optional<Int> asInteger(const QVariant& v) {
    if (!isNumber(v))
        return std::nullopt;
    const double x = v.toDouble();
    const double below = std::floor(x);
    const double fraction = x - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0))
        rounded = below + 1;
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

std::optional<float> asSingle(const QVariant& v) {
    if (!isNumber(v))
        return std::nullopt;
    const double x = v.toDouble();
    if (std::abs(x) > static_cast<double>(std::numeric_limits<float>::max()))
        return std::nullopt;
    return static_cast<float>(x);
}

template <typename T> bool assign(T& field, const std::optional<T>& value) {
    if (value)
        field = *value;
    return value.has_value();
}

// A value is one line of the file: a line end inside it would end the value early and start a
// line of its own, so it is written as a blank. The Schedule file's name is refused before it
// gets here (settingsFileKeeps); a label or sound file holding one loses only that line end.
QString oneLine(QString value) {
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

// Every key of the file in the order the file lists them, each with the place that holds its
// value: a field of the record, or the main window's position. `visit(name, place)` is called for
// each; the reader and the writer share this one list.
template <typename Record, typename Position, typename Visit>
void forEachKey(Record& s, Position& top, Position& left, Visit&& visit) {
    visit("START_FILE", s.scheduleFile);
    visit("INI_FILE", s.settingsFile);
    visit("KOUMOKU1", s.slotLabel(1));
    visit("KOUMOKU2", s.slotLabel(2));
    visit("KOUMOKU3", s.slotLabel(3));
    visit("KOUMOKU4", s.slotLabel(4));
    visit("START_MIN", s.startInTray);
    visit("START_OUT", s.showTodayAtStart);
    visit("CRL0", s.levelColor(0));
    visit("CRL1", s.levelColor(1));
    visit("CRL2", s.levelColor(2));
    visit("CRL3", s.levelColor(3));
    visit("CRL4", s.levelColor(4));
    visit("CRL5", s.levelColor(5));
    visit("KARE_ON", s.markDaysWithItems);
    visit("kareCRL", s.markedDayColor);
    visit("ALM_FILE", s.alarmSoundFile);
    visit("TOP", top);
    visit("LEFT", left);
    visit("ToDo_ON", s.openTodoAtStart);
    visit("ToDo_WID", s.todoWidth);
    visit("ToDo_HEI", s.todoHeight);
    visit("ToDo_Top", s.todoTop);
    visit("ToDo_Left", s.todoLeft);
}

const QLatin1String kStartFileKey("START_FILE");
const QLatin1String kSettingsFileKey("INI_FILE");
const QLatin1String kTopKey("TOP");
const QLatin1String kLeftKey("LEFT");

// The keys whose value is text: read up to the line end, commas included, and taken as written
// (a label "007" stays "007"). The other keys end at a comma.
bool isTextKey(QStringView key) {
    static const QStringList keys = [] {
        QStringList names;
        Settings probe;
        float position = 0;
        forEachKey(probe, position, position, [&](const char* name, const auto& place) {
            if constexpr (std::is_same_v<std::decay_t<decltype(place)>, QString>)
                names << QLatin1String(name);
        });
        return names;
    }();
    return keys.contains(key);
}

// Reads one value into its place; a value that does not convert to the place's type leaves it
// as it was and gives false.
bool readValue(QString& place, const QString& text, const QVariant&) {
    place = text;
    return true;
}
bool readValue(bool& place, const QString&, const QVariant& value) {
    return assign(place, asBool(value));
}
bool readValue(qint32& place, const QString&, const QVariant& value) {
    return assign(place, asInteger<qint32>(value));
}
bool readValue(qint16& place, const QString&, const QVariant& value) {
    return assign(place, asInteger<qint16>(value));
}
bool readValue(float& place, const QString&, const QVariant& value) {
    return assign(place, asSingle(value));
}

QString valueText(const QString& text) {
    return oneLine(text);
}
QString valueText(bool b) {
    return b ? QStringLiteral("True") : QStringLiteral("False");
}
QString valueText(qint32 n) {
    return QString::number(n);
}
QString valueText(qint16 n) {
    return QString::number(n);
}
QString valueText(float position) {
    return singleToText(position);
}

// Whether a field is "text key=...", and so runs on to the line end.
bool readsToLineEnd(QStringView field) {
    const qsizetype equals = field.indexOf(QLatin1Char('='));
    return equals >= 0 && isTextKey(field.left(equals));
}

// The fields of one line (without its line end).
void splitLine(QStringView line, QStringList& fields) {
    qsizetype start = 0;
    for (;;) {
        const qsizetype comma = line.indexOf(QLatin1Char(','), start);
        if (comma < 0 || readsToLineEnd(line.sliced(start, comma - start))) {
            fields << line.sliced(start).toString();
            return;
        }
        fields << line.sliced(start, comma - start).toString();
        start = comma + 1;
    }
}

QString damagedFileMessage(const QString& path, const platform::TextFileRead& read) {
    QString reason;
    switch (read.status) {
    case platform::TextFileRead::Status::NotRegularFile:
        reason = QStringLiteral("通常のファイルではありません。");
        break;
    case platform::TextFileRead::Status::TooLarge:
        reason = QStringLiteral("ファイルが大きすぎます（%1 MiB を超えています）。")
                     .arg(kMaxSettingsFileBytes >> 20);
        break;
    default:
        reason = QStringLiteral("ファイルを読み取れません（%1）。").arg(read.reason);
        break;
    }
    return QStringLiteral("設定ファイルを読み込めませんでした。\n") + path + QLatin1Char('\n') + reason +
           QStringLiteral("\n既定の設定で起動します。設定を変更しない限り、このファイルは書き換えません。");
}

} // namespace

QVariant fieldKey(const QString& field) {
    const qsizetype equals = field.indexOf(QLatin1Char('='));
    if (equals < 0)
        return QVariant();
    return partValue(field.left(equals));
}

QVariant fieldValue(const QString& field) {
    const qsizetype equals = field.indexOf(QLatin1Char('='));
    if (equals < 0)
        return QVariant();
    return partValue(field.mid(equals + 1));
}

QStringList splitFields(const QString& text) {
    QStringList fields;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        splitLine(QStringView(text).sliced(start, end - start), fields);
        if (end + 1 < text.size() && text[end] == QLatin1Char('\r') && text[end + 1] == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return fields;
}

void applyConfigText(Settings& s, const QString& fileText, ConfigHost& host) {
    bool startFileRead = false;
    for (const QString& field : splitFields(fileText)) {
        if (field.startsWith(QLatin1Char('[')))
            continue; // section line
        const QVariant keyPart = fieldKey(field);
        if (keyPart.typeId() != QMetaType::QString)
            continue; // no "=", or a key that reads as a number: matches nothing
        const QString key = keyPart.toString();
        if (key == kSettingsFileKey)
            continue; // INI_FILE always names the file just read
        const QVariant value = fieldValue(field);
        const QString text = field.mid(key.size() + 1);
        float top = 0, left = 0;
        forEachKey(s, top, left, [&](const char* name, auto& place) {
            if (key != QLatin1String(name) || !readValue(place, text, value))
                return;
            if (key == kTopKey)
                host.setMainTop(top);
            else if (key == kLeftKey)
                host.setMainLeft(left);
        });
        startFileRead = startFileRead || key == kStartFileKey;
    }
    // Once, for the last START_FILE line: a file with several such lines asks only once, and the
    // flow (with its dialogs) sees every other value already read.
    if (startFileRead && !platform::fileExists(s.scheduleFile))
        host.missingFileFlow();
}

ConfigFileState loadSettingsFile(Settings& s, const QString& programFolder, ConfigHost& host) {
    s.settingsFile = platform::joinPath(programFolder, kSettingsFileName);
    s.alarmSoundFile = platform::joinPath(programFolder, kDefaultSoundName);
    platform::removeLeftoverTemporaries(s.settingsFile);
    if (!platform::fileExists(s.settingsFile)) {
        host.firstRunFlow();
        return ConfigFileState::Absent;
    }
    const platform::TextFileRead read = platform::readSmallTextFile(s.settingsFile, kMaxSettingsFileBytes);
    if (read.status == platform::TextFileRead::Status::Read) {
        applyConfigText(s, read.text, host);
        return ConfigFileState::Read;
    }
    // Not a small regular file (a FIFO, a link to a device, a huge file) or unreadable: the
    // defaults, with the default Schedule file, and the user is told once.
    host.keepDamagedSettingsFile();
    platform::message(damagedFileMessage(s.settingsFile, read), platform::kAppTitle,
                      platform::Icon::Exclamation);
    s.scheduleFile = platform::joinPath(programFolder, kDefaultScheduleName);
    if (!platform::fileExists(s.scheduleFile))
        host.missingFileFlow();
    return ConfigFileState::Damaged;
}

bool settingsFileKeeps(const QString& text) {
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) &&
           QString::fromUtf8(text.toUtf8()) == text;
}

QStringList configLines(const Settings& s, float top, float left) {
    QStringList lines{QStringLiteral("[Daduvov]"), QStringLiteral("[CONFIG FILE]")};
    forEachKey(s, top, left, [&](const char* name, const auto& place) {
        lines << QLatin1String(name) + QLatin1Char('=') + valueText(place);
    });
    return lines;
}

std::optional<QString> saveSettingsFile(const Settings& s, float top, float left) {
    if (s.settingsFile.isEmpty())
        return QStringLiteral("設定ファイルの場所が決まっていません");
    std::optional<QString> failure = platform::writeTextFile(s.settingsFile, configLines(s, top, left));
    if (failure && failure->isEmpty())
        failure = QStringLiteral("設定ファイルを書き込めませんでした");
    return failure;
}

QString singleToText(float value) {
    // A position is always finite; "0" keeps a NaN or infinity from making the file unreadable
    // for TOP/LEFT, and -0 is written as 0.
    if (!std::isfinite(value) || value == 0)
        return QStringLiteral("0");
    char buffer[128]; // the longest fixed form of a float is under 60 characters
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace settings
