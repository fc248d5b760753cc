#pragma once
// Text files in the Japanese code page 932 with CR LF line ends, as the Settings file is kept.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace platform {

// The largest text file readTextFile() takes: 1 MiB.
constexpr qint64 kMaxTextFileBytes = 1024 * 1024;

// Decodes the bytes of a text file: UTF-8 when they start with a UTF-8 byte-order mark, code
// page 932 otherwise. Invalid bytes become replacement characters (U+001A for a single
// undecodable byte, U+FFFD for an unassigned pair) and a lead byte cut off at the very end is
// dropped; decoding never fails.
QString decodeText(const QByteArray& bytes);

// Encodes text for the file: code page 932 when decoding those bytes gives back exactly the same
// text, otherwise the whole text as UTF-8 with a byte-order mark. A character that code page 932
// only knows under a look-alike code point (〜 U+301C reads back as ～ U+FF5E) therefore makes a
// UTF-8 file, so that no path or label changes on its way through the file.
QByteArray encodeText(const QString& text);

struct TextFileRead {
    enum class Status { Read, NotRegularFile, TooLarge, Unreadable };
    Status status = Status::Unreadable;
    QString text;   // the decoded text, when read
    QString reason; // the system's reason, when unreadable
};

// Reads and decodes a regular file of at most maxBytes. Anything else (a FIFO, a device, a
// directory, a larger file) is refused without reading it, and opening never waits for a writer.
TextFileRead readSmallTextFile(const QString& path, qint64 maxBytes = kMaxTextFileBytes);

// The text of a regular file of at most kMaxTextFileBytes; nothing when it cannot be read.
std::optional<QString> readTextFile(const QString& path);

// Writes the lines, each ended by CR LF, replacing the file atomically: a crash or a full disk
// leaves the previous file whole. The new text goes into a temporary file beside the file,
// which is then renamed over it. A symbolic link is followed, so the file it names is replaced
// and the link stays; an existing file keeps its permissions; something other than a regular
// file at the path is refused. On failure returns the reason.
std::optional<QString> writeTextFile(const QString& path, const QStringList& lines);

// Removes the temporary files that writes of `path` killed part-way left in its folder. Only
// names that writeTextFile() makes go: the file name, ".daduvov-save-" and six letters or
// digits, so a user's "ZIZARU.INI.backup" or ".bak" is never touched.
void removeLeftoverTemporaries(const QString& path);

} // namespace platform
