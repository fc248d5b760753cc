#include "settings/ConfigFile.h"

#include "platform/Paths.h"
#include "platform/Services.h"
#include "platform/TextFile.h"
#include "settings/ScheduleFileChoice.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

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

template <typename T> void assign(T& field, const std::optional<T>& value) {
    if (value)
        field = *value;
}

QString boolText(bool b) {
    return b ? QStringLiteral("True") : QStringLiteral("False");
}

// The keys whose value is text: read up to the line end, commas included, and taken as written
// (a label "007" stays "007"). The other keys end at a comma.
bool isTextKey(QStringView key) {
    static const QStringList keys{QStringLiteral("START_FILE"), QStringLiteral("INI_FILE"),
                                  QStringLiteral("ALM_FILE"),   QStringLiteral("KOUMOKU1"),
                                  QStringLiteral("KOUMOKU2"),   QStringLiteral("KOUMOKU3"),
                                  QStringLiteral("KOUMOKU4")};
    return keys.contains(key);
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

// A value is one line of the file: a line end inside it (a file name may hold one) would end
// the value early and start a line of its own, so it is written as a blank.
QString oneLine(QString value) {
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
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

QVariant GET_KEY(const QString& field) {
    const qsizetype equals = field.indexOf(QLatin1Char('='));
    if (equals < 0)
        return QVariant();
    return partValue(field.left(equals));
}

QVariant GET_VALUE(const QString& field) {
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
        const QVariant keyPart = GET_KEY(field);
        if (keyPart.typeId() != QMetaType::QString)
            continue; // no "=", or a key that reads as a number: matches nothing
        const QString key = keyPart.toString();
        const QVariant value = GET_VALUE(field);
        const QString text = field.mid(key.size() + 1);

        if (key == QLatin1String("START_FILE")) {
            s.START_FILE = text;
            startFileRead = true;
        } else if (key == QLatin1String("KOUMOKU1")) {
            s.KOUMOKU1 = text;
        } else if (key == QLatin1String("KOUMOKU2")) {
            s.KOUMOKU2 = text;
        } else if (key == QLatin1String("KOUMOKU3")) {
            s.KOUMOKU3 = text;
        } else if (key == QLatin1String("KOUMOKU4")) {
            s.KOUMOKU4 = text;
        } else if (key == QLatin1String("START_MIN")) {
            assign(s.START_MIN, asBool(value));
        } else if (key == QLatin1String("START_OUT")) {
            assign(s.START_OUT, asBool(value));
        } else if (key == QLatin1String("KARE_ON")) {
            assign(s.KARE_ON, asBool(value));
        } else if (key == QLatin1String("ToDo_ON")) {
            assign(s.ToDo_ON, asBool(value));
        } else if (key == QLatin1String("CRL0")) {
            assign(s.CRL0, asInteger<qint32>(value));
        } else if (key == QLatin1String("CRL1")) {
            assign(s.CRL1, asInteger<qint32>(value));
        } else if (key == QLatin1String("CRL2")) {
            assign(s.CRL2, asInteger<qint32>(value));
        } else if (key == QLatin1String("CRL3")) {
            assign(s.CRL3, asInteger<qint32>(value));
        } else if (key == QLatin1String("CRL4")) {
            assign(s.CRL4, asInteger<qint32>(value));
        } else if (key == QLatin1String("CRL5")) {
            assign(s.CRL5, asInteger<qint32>(value));
        } else if (key == QLatin1String("kareCRL")) {
            assign(s.kareCRL, asInteger<qint32>(value));
        } else if (key == QLatin1String("ALM_FILE")) {
            s.ALM_FILE = text;
        } else if (key == QLatin1String("TOP")) {
            if (const auto top = asSingle(value))
                host.setMainTop(*top);
        } else if (key == QLatin1String("LEFT")) {
            if (const auto left = asSingle(value))
                host.setMainLeft(*left);
        } else if (key == QLatin1String("ToDo_WID")) {
            assign(s.ToDo_WID, asInteger<qint16>(value));
        } else if (key == QLatin1String("ToDo_HEI")) {
            assign(s.ToDo_HEI, asInteger<qint16>(value));
        } else if (key == QLatin1String("ToDo_Top")) {
            assign(s.ToDo_Top, asInteger<qint32>(value));
        } else if (key == QLatin1String("ToDo_Left")) {
            assign(s.ToDo_Left, asInteger<qint32>(value));
        }
        // Any other key, INI_FILE included, is ignored: INI_FILE always names the file just read.
    }
    // Once, for the last START_FILE line: a file with several such lines asks only once, and the
    // flow (with its dialogs) sees every other value already read.
    if (startFileRead && !platform::fileExists(s.START_FILE))
        host.missingFileFlow();
}

ConfigFileState LOAD_CONFIG(Settings& s, const QString& programFolder, ConfigHost& host) {
    s.INI_FILE = platform::joinPath(programFolder, kSettingsFileName);
    s.ALM_FILE = platform::joinPath(programFolder, kDefaultSoundName);
    platform::removeLeftoverTemporaries(s.INI_FILE);
    if (!platform::fileExists(s.INI_FILE)) {
        host.firstRunFlow();
        return ConfigFileState::Absent;
    }
    const platform::TextFileRead read = platform::readSmallTextFile(s.INI_FILE, kMaxSettingsFileBytes);
    if (read.status == platform::TextFileRead::Status::Read) {
        applyConfigText(s, read.text, host);
        return ConfigFileState::Read;
    }
    // Not a small regular file (a FIFO, a link to a device, a huge file) or unreadable: the
    // defaults, with the default Schedule file, and the user is told once.
    platform::message(damagedFileMessage(s.INI_FILE, read), platform::kAppTitle, platform::Icon::Exclamation);
    s.START_FILE = platform::joinPath(programFolder, kDefaultScheduleName);
    if (!platform::fileExists(s.START_FILE))
        host.missingFileFlow();
    return ConfigFileState::Damaged;
}

QStringList configLines(const Settings& s, float top, float left) {
    const auto number = [](qint32 n) { return QString::number(n); };
    return {
        QStringLiteral("[Daduvov]"),
        QStringLiteral("[CONFIG FILE]"),
        QStringLiteral("START_FILE=") + oneLine(s.START_FILE),
        QStringLiteral("INI_FILE=") + oneLine(s.INI_FILE),
        QStringLiteral("KOUMOKU1=") + oneLine(s.KOUMOKU1),
        QStringLiteral("KOUMOKU2=") + oneLine(s.KOUMOKU2),
        QStringLiteral("KOUMOKU3=") + oneLine(s.KOUMOKU3),
        QStringLiteral("KOUMOKU4=") + oneLine(s.KOUMOKU4),
        QStringLiteral("START_MIN=") + boolText(s.START_MIN),
        QStringLiteral("START_OUT=") + boolText(s.START_OUT),
        QStringLiteral("CRL0=") + number(s.CRL0),
        QStringLiteral("CRL1=") + number(s.CRL1),
        QStringLiteral("CRL2=") + number(s.CRL2),
        QStringLiteral("CRL3=") + number(s.CRL3),
        QStringLiteral("CRL4=") + number(s.CRL4),
        QStringLiteral("CRL5=") + number(s.CRL5),
        QStringLiteral("KARE_ON=") + boolText(s.KARE_ON),
        QStringLiteral("kareCRL=") + number(s.kareCRL),
        QStringLiteral("ALM_FILE=") + oneLine(s.ALM_FILE),
        QStringLiteral("TOP=") + singleToText(top),
        QStringLiteral("LEFT=") + singleToText(left),
        QStringLiteral("ToDo_ON=") + boolText(s.ToDo_ON),
        QStringLiteral("ToDo_WID=") + number(s.ToDo_WID),
        QStringLiteral("ToDo_HEI=") + number(s.ToDo_HEI),
        QStringLiteral("ToDo_Top=") + number(s.ToDo_Top),
        QStringLiteral("ToDo_Left=") + number(s.ToDo_Left),
    };
}

std::optional<QString> SAVE_CONFIG(const Settings& s, float top, float left) {
    if (s.INI_FILE.isEmpty())
        return QStringLiteral("設定ファイルの場所が決まっていません");
    std::optional<QString> failure = platform::writeTextFile(s.INI_FILE, configLines(s, top, left));
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
