#pragma once

#include <string>
#include <vector>

#include "StringTable.h"

namespace nimbary::cli {

// Exit codes of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the station, the database or a file failed
constexpr int kExitUsage = 2;    // bad arguments
constexpr int kExitBusy = 3;     // another process is talking to the station

// One subcommand: `nimbary-cli NAME ARGS...`. Each lives in a file of its
// own and is listed in main's table.
struct Command {
    const char* name;
    const char* synopsis;  // the arguments, for the usage line
    const char* summary;   // one line
    const char* help;      // the options, shown by NAME --help
    bool stationOptions;   // takes the station options too (--simulate, --replay, --capture)
    int (*run)(std::vector<std::string> args);
};

int RunDownload(std::vector<std::string> args);
int RunStations(std::vector<std::string> args);
int RunRecords(std::vector<std::string> args);
int RunDump(std::vector<std::string> args);
int RunInfo(std::vector<std::string> args);
int RunRenderDisplay(std::vector<std::string> args);
int RunExport(std::vector<std::string> args);
int RunSummary(std::vector<std::string> args);
int RunReport(std::vector<std::string> args);

extern const char* const kDownloadHelp;
extern const char* const kStationsHelp;
extern const char* const kRecordsHelp;
extern const char* const kDumpHelp;
extern const char* const kInfoHelp;
extern const char* const kRenderDisplayHelp;
extern const char* const kExportHelp;
extern const char* const kSummaryHelp;
extern const char* const kReportHelp;

// Prints "nimbary-cli: text" to standard error.
void PrintError(const std::string& text);
// Prints a usage error and returns kExitUsage; the command's usage line follows it.
int UsageError(const std::string& command, const std::string& text);
// The language --lang names: en (also when not given) or zh. Returns the
// usage error for anything else, or "".
std::string LanguageArg(const std::string& lang, bool given, text::Language& out);

}  // namespace nimbary::cli
