#pragma once
// The program's command line. It is read before any window or display exists, so that --help,
// --version and --autostart work on a machine without a screen.

#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;

namespace app {

struct CommandLine {
    // Set when the command line has been dealt with completely (help, version, autostart, or a
    // mistake in it): the program ends with this code without opening a window.
    std::optional<int> exitCode;
    // The Schedule file named on the command line as an absolute path; empty when none was named.
    QString scheduleFile;
};

// Reads `arguments` (the program's name first). Help, version and confirmations go to `out`,
// mistakes to `err`. `program` is the path the autostart entry starts.
CommandLine readCommandLine(const QStringList& arguments, const QString& program, QTextStream& out,
                            QTextStream& err);
// The same over the arguments as the system gives them. An argument that is not UTF-8 is refused
// (exit code 1): decoded, its bytes would be lost, and a file named by it would be a different
// file.
CommandLine readCommandLine(const QByteArrayList& arguments, const QString& program, QTextStream& out,
                            QTextStream& err);
// The same over main()'s arguments, printing to the standard output and error.
CommandLine readCommandLine(int argc, char** argv);

// $XDG_CONFIG_HOME/autostart/daduvov.desktop (~/.config when XDG_CONFIG_HOME is unset).
QString autostartEntryPath();
// Writes the autostart entry that starts `program` at login, or removes it. Returns why it
// failed; empty on success.
QString setAutostart(bool on, const QString& program);

} // namespace app
