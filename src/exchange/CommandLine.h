#pragma once
// The exchange commands of the command line: --export-ics, --import-ics and --export-csv, each
// with an optional --schedule. They run without a window (and without a display).

#include <QString>
#include <optional>

class QCommandLineParser;

namespace exchange {

void addExchangeOptions(QCommandLineParser& parser);

// START_FILE of the Settings file in the program folder; empty when there is none.
QString startFile(const QString& programFolder);

// Runs the command the parsed command line asks for and gives its exit status: 0 on success, 1
// with a one-line reason on standard error. Nothing when the command line asks for none of them.
// The Schedule file is --schedule, else START_FILE of the Settings file in the program folder.
std::optional<int> runExchangeCommand(const QCommandLineParser& parser, const QString& programFolder);

} // namespace exchange
