#pragma once

#include <string>
#include <utility>

#include "Messages.h"
#include "StringTable.h"
#include "WorkProgress.h"

namespace nimbary {

class TableSource;
class ReplacingFile;

enum class ExportFormat { None, Text, Pdf };

// The format a file name asks for: "csv" for the text table, "pdf" for the
// PDF, in any letter case ("Season.CSV" is a text table); anything else,
// no extension included, asks for nothing.
ExportFormat ExportFormatOf(const std::string& path);

enum class ExportStatus {
    Ok,
    Nothing,        // nothing to write: an empty table, or a name of no kind
    Cancelled,      // nothing written, the old file untouched
    CannotCreate,   // the new file cannot be made (folder missing or read-only)
    CannotReplace,  // an existing file cannot be replaced
    WriteFailed,    // writing failed (a full disk); the old file untouched
    Failed,         // the PDF cannot be drawn (no font, cairo's error); see detail
};

struct ExportResult {
    ExportResult(ExportStatus s = ExportStatus::Ok, int e = 0, std::string d = {})
        : status(s), error(e), detail(std::move(d)) {}
    ExportStatus status;
    int error;           // errno of a file failure
    std::string detail;  // what failed, for ExportStatus::Failed
};

// The status of a file that failed: one that cannot be made over an
// existing file means that file cannot be replaced.
ExportResult FileFailure(const ReplacingFile& file);

// Rows of a text table, pages of a PDF.
using ExportProgress = WorkProgress;

// What the PDF needs besides the table.
struct PdfOptions {
    text::Language language = text::Language::English;  // picks the font
    std::string exportTime;                             // the line above the frame
    std::string sampleTime;                             // the Time column's measure
    // The current language and local time, texts as the Time cells show them.
    static PdfOptions ForNow();
};

// Writes `table` to `path` in `format`: the text table or the PDF.
ExportResult ExportHistory(const TableSource& table, const std::string& path, ExportFormat format,
                           const PdfOptions& pdf, ExportProgress& progress);

// The message of a finished export ("Successful export data!" or what
// failed, with the full path); nothing for a cancelled or empty one.
struct ExportMessage {
    std::string text;
    MessageIcon icon = MessageIcon::None;
};
ExportMessage MessageFor(const ExportResult& result, const std::string& path);
// A file that could not be written for `error` (errno): a full disk, quota
// or size limit said as such, with the path.
std::string WriteFailureText(int error, const std::string& path);
void ShowExportResult(const ExportResult& result, const std::string& path, Messages& messages);

}  // namespace nimbary
