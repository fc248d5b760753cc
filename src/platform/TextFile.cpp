#include "platform/TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

namespace {

constexpr char kCodePage[] = "windows-31j";
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// Unicode characters whose code page 932 form is another code point.
QString mapForCodePage(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        switch (c.unicode()) {
        case 0x301C:
            c = QChar(0xFF5E);
            break; // WAVE DASH -> FULLWIDTH TILDE
        case 0x2212:
            c = QChar(0xFF0D);
            break; // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
        case 0x2016:
            c = QChar(0x2225);
            break; // DOUBLE VERTICAL LINE -> PARALLEL TO
        case 0x00A2:
            c = QChar(0xFFE0);
            break; // CENT SIGN
        case 0x00A3:
            c = QChar(0xFFE1);
            break; // POUND SIGN
        case 0x00AC:
            c = QChar(0xFFE2);
            break; // NOT SIGN
        case 0x00A5:
            c = QChar(0xFFE5);
            break; // YEN SIGN
        case 0x2014:
            c = QChar(0x2015);
            break; // EM DASH -> HORIZONTAL BAR
        default:
            break;
        }
    }
    return out;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith(kUtf8Bom))
        return QString::fromUtf8(bytes.mid(kUtf8Bom.size()));
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}

QByteArray encodeText(const QString& text) {
    const QString mapped = mapForCodePage(text);
    QStringEncoder encoder(kCodePage);
    QByteArray bytes = encoder.encode(mapped);
    if (!encoder.hasError())
        return bytes;
    return kUtf8Bom + text.toUtf8();
}

std::optional<QString> readTextFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodeText(file.readAll());
}

std::optional<QString> writeTextFile(const QString& path, const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = encodeText(text);
    // Flush before committing: a buffered write that fails only when the buffer empties (a full
    // disk) must not replace the good file with a cut-off one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace platform
