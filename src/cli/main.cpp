// nimbary-cli: the program's history download, record listing and memory
// dump without a window, for cron jobs, small boards, bug reports and tests.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BackendChoice.h"
#include "Command.h"

namespace nimbary::cli {

namespace {

// New commands go here, each in a file of its own.
const Command kCommands[] = {
    {"download", "[--db PATH] [--follow] [--mqtt URL [mqtt options]] [station options]",
     "read the station's new history records into the database", kDownloadHelp, true, RunDownload},
    {"stations", "[--db PATH]", "list the stations in the database", kStationsHelp, false,
     RunStations},
    {"records", "--station ID [--from TIME] [--to TIME] [--db PATH]",
     "write a station's records as tab-separated text", kRecordsHelp, false, RunRecords},
    {"export",
     "--station ID [--from TIME] [--to TIME] --format csv|pdf [--lang en|zh] [--db PATH] OUT",
     "write a station's records as the browser's text table or PDF", kExportHelp, false, RunExport},
    {"summary",
     "--station ID --by day|month|year [--from TIME] [--to TIME] [--format text|csv] "
     "[--lang en|zh] [--db PATH]",
     "summarise a station's records by day, month or year", kSummaryHelp, false, RunSummary},
    {"report", "--station ID --month YYYY-MM | --year YYYY [--db PATH]",
     "write the monthly or yearly climatological summary", kReportHelp, false, RunReport},
    {"dump", "DIR [station options]", "save the station's memory as a station image folder",
     kDumpHelp, true, RunDump},
    {"info", "[--history [--db PATH]] [station options]",
     "print every field the station reports, in internal units", kInfoHelp, true, RunInfo},
    {"render-display", "OUT.png [--lang en|zh] [station options]",
     "draw the live display of the station's present state into a PNG", kRenderDisplayHelp, true,
     RunRenderDisplay},
};

// The usage lines, as the README shows them.
void PrintUsage(std::FILE* to) {
    const char* lead = "usage: ";
    for (const Command& c : kCommands) {
        std::fprintf(to, "%snimbary-cli %s %s\n", lead, c.name, c.synopsis);
        lead = "       ";
    }
    std::fprintf(to, "%snimbary-cli --help | --version\n\ncommands:\n", lead);
    for (const Command& c : kCommands) std::fprintf(to, "  %-15s %s\n", c.name, c.summary);
    std::fprintf(to,
                 "\nStation options: --simulate and the --sim-* options, --replay FILE, "
                 "--capture FILE.\n'nimbary-cli COMMAND --help' shows a command's options.\n");
}

void PrintHelp(const Command& c) {
    std::printf("usage: nimbary-cli %s %s\n\n%s", c.name, c.synopsis, c.help);
    if (c.stationOptions)
        std::printf("\nStation:\n%s%s", BackendOptions::Usage(), sim::SimOptions::Usage());
}

// Output that could not all be written (a full disk, say) fails the command
// that made it, whatever the command itself thought.
int Finish(int status) {
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout)) return status;
    std::string text = "cannot write the output";
    if (!flushed) text += std::string(": ") + std::strerror(error);
    PrintError(text);
    return status == kExitOk ? kExitFailure : status;
}

int Run(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (name == "--version") {
        std::printf("nimbary-cli %s\n", NIMBARY_VERSION);
        return kExitOk;
    }
    for (const Command& c : kCommands) {
        if (name != c.name) continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        for (const std::string& a : args)
            if (a == "--help" || a == "-h") {
                PrintHelp(c);
                return kExitOk;
            }
        const int status = c.run(std::move(args));
        if (status == kExitUsage)
            std::fprintf(stderr, "usage: nimbary-cli %s %s\n(see 'nimbary-cli %s --help')\n",
                         c.name, c.synopsis, c.name);
        return status;
    }
    std::fprintf(stderr, "nimbary-cli: unknown command \"%s\"\n", name.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}

}  // namespace

int Main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and
    // is told as a full disk, instead of the signal ending the command with
    // its files half-written.
    std::signal(SIGXFSZ, SIG_IGN);
    return Finish(Run(argc, argv));
}

}  // namespace nimbary::cli

int main(int argc, char** argv) {
    return nimbary::cli::Main(argc, argv);
}
