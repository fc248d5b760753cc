#pragma once
// Text files in the Japanese code page 932 with CR LF line ends, as the Settings file is kept.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// Decodes the bytes of a text file: UTF-8 when they start with a UTF-8 byte-order mark, code
// page 932 otherwise. Invalid bytes become replacement characters (U+001A for a single
// undecodable byte, U+FFFD for an unassigned pair) and a lead byte cut off at the very end is
// dropped; decoding never fails.
QString decodeText(const QByteArray& bytes);

// Encodes text for the file. Characters that Linux input methods produce but code page 932
// writes otherwise (〜 − ‖ ¢ £ ¬ ¥ —) are mapped first. When some character still has no code
// page 932 form, the whole text is written as UTF-8 with a byte-order mark instead, so that no
// value is corrupted.
QByteArray encodeText(const QString& text);

// Reads and decodes a whole file; nothing when it cannot be read.
std::optional<QString> readTextFile(const QString& path);

// Writes the lines, each ended by CR LF, replacing the file atomically: a crash or a full disk
// leaves the previous file whole. On failure returns the reason.
std::optional<QString> writeTextFile(const QString& path, const QStringList& lines);

} // namespace platform
