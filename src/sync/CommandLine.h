#pragma once
// The sync commands of the command line: --sync-account stores the account of a Schedule file
// (after checking it against the server), --sync runs one sync. They run without a window (and
// without a display); --schedule (the exchange commands' option) names the Schedule file.

#include <QString>
#include <optional>

class QCommandLineParser;
class QIODevice;

namespace calsync {

void addSyncOptions(QCommandLineParser& parser);

// Runs the sync command the parsed command line asks for and gives its exit status: 0 on
// success, 1 with the reason in Japanese and English on standard error. Nothing when the command
// line asks for neither. The password of --password-stdin is read from `input`.
std::optional<int> runSyncCommand(const QCommandLineParser& parser, const QString& programFolder,
                                  QIODevice& input);

} // namespace calsync
