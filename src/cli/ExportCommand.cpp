// nimbary-cli export: a station's records as the browser's text table or PDF.
#include <signal.h>

#include <atomic>
#include <cstring>

#include "ArgList.h"
#include "Command.h"
#include "DataPaths.h"
#include "HistoryExport.h"
#include "HistoryFile.h"
#include "HistoryTable.h"
#include "RecordRange.h"
#include "RecordTime.h"

namespace nimbary::cli {

const char* const kExportHelp =
    "Writes one station's records as the history browser exports them: the\n"
    "table with the columns that hold data, in the units stored for the\n"
    "station, as tab-separated UTF-16 text (csv) or as a PDF. The file appears\n"
    "only when complete; a file already at OUT is replaced then, not before.\n"
    "\n"
    "  --station ID        the station's id, 8 hex digits as `stations` lists them\n"
    "  --from TIME         records at or after TIME\n"
    "  --to TIME           records up to and including TIME\n"
    "  --format csv|pdf    what to write\n"
    "  --lang en|zh        headers (and the PDF's font) in English (default) or Chinese\n"
    "  --db PATH           the database (default: the program's Nimbary.db)\n"
    "\n"
    "TIME is on the station's clock, as for `records`. Times in the table follow\n"
    "the locale (LC_ALL, LC_TIME, LANG), as in the program; in the C or POSIX\n"
    "locale they are ISO 8601 (2026-12-09 18:55:00), which spreadsheets read.\n";

namespace {

std::atomic<ExportProgress*> g_progress{nullptr};

extern "C" void OnCancelSignal(int) {
    if (ExportProgress* p = g_progress.load()) p->cancel.store(true);
}

}  // namespace

int RunExport(std::vector<std::string> args) {
    ArgList a(std::move(args));
    std::string dbPath = DataPaths::DefaultDatabase(), format, lang, error;
    bool dbGiven = false, formatGiven = false, langGiven = false;
    RecordRange range;
    if (!a.TakeValue("--db", dbPath, dbGiven) || !a.TakeValue("--format", format, formatGiven) ||
        !a.TakeValue("--lang", lang, langGiven))
        return UsageError("export", a.Error());
    if (!range.Take(a, error)) return UsageError("export", error);
    std::vector<std::string> positional;
    if (!a.Finish(positional, 1, 1, "the output file OUT")) return UsageError("export", a.Error());
    if (!formatGiven) return UsageError("export", "--format csv|pdf is required");
    if (format != "csv" && format != "pdf")
        return UsageError("export", "--format takes csv or pdf, not '" + format + "'");
    text::Language language;
    if (const std::string e = LanguageArg(lang, langGiven, language); !e.empty())
        return UsageError("export", e);
    text::SetLanguage(language);

    StderrMessages messages;
    HistoryDb db(&messages);
    if (const int rc = HistoryFile::OpenStation(dbPath, range.devId, db); rc != kExitOk) return rc;
    HistoryTable table(RecordTimeText, db.Info().Units);
    if (LoadRange(db, range.devId, range.start, range.end, table) != HistoryTable::LOAD_OK)
        return kExitFailure;
    if (table.RowCount() == 0) {
        PrintError("the station has no records in that time range; nothing written");
        return kExitFailure;
    }

    // Ctrl-C abandons the file being written and keeps the one that was there.
    ExportProgress progress;
    g_progress = &progress;
    struct sigaction sa {};
    sa.sa_handler = OnCancelSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    const std::string& out = positional[0];
    const ExportResult result =
        ExportHistory(table, out, format == "pdf" ? ExportFormat::Pdf : ExportFormat::Text,
                      PdfOptions::ForNow(), progress);
    g_progress = nullptr;
    if (result.status == ExportStatus::Ok) return kExitOk;
    if (result.status == ExportStatus::Cancelled) {
        PrintError("interrupted; nothing written");
        return kExitFailure;
    }
    std::string text = MessageFor(result, out).text;
    if (result.error) text += std::string(" (") + std::strerror(result.error) + ")";
    PrintError(text);
    return kExitFailure;
}

}  // namespace nimbary::cli
