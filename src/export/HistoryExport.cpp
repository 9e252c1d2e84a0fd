#include "HistoryExport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "PdfTableWriter.h"
#include "RecordTime.h"
#include "ReplacingFile.h"
#include "TextTableWriter.h"

namespace nimbary {

ExportFormat ExportFormatOf(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".csv") return ExportFormat::Text;
    if (ext == ".pdf") return ExportFormat::Pdf;
    return ExportFormat::None;
}

ExportResult FileFailure(const ReplacingFile& file) {
    switch (file.Failed()) {
        case ReplacingFile::Failure::Create:
            return {file.TargetExisted() ? ExportStatus::CannotReplace : ExportStatus::CannotCreate,
                    file.Errno()};
        case ReplacingFile::Failure::Replace:
            return {ExportStatus::CannotReplace, file.Errno()};
        case ReplacingFile::Failure::Write:
        case ReplacingFile::Failure::None:
            break;
    }
    return {ExportStatus::WriteFailed, file.Errno()};
}

PdfOptions PdfOptions::ForNow() {
    return {text::CurrentLanguage(), CurrentTimeText(), SampleTimeText()};
}

ExportResult ExportHistory(const TableSource& table, const std::string& path, ExportFormat format,
                           const PdfOptions& pdf, ExportProgress& progress) {
    switch (format) {
        case ExportFormat::Text:
            return TextTableWriter::Write(table, path, progress);
        case ExportFormat::Pdf:
            return PdfTableWriter::Write(table, path, pdf, progress);
        case ExportFormat::None:
            break;
    }
    return {ExportStatus::Nothing};
}

ExportMessage MessageFor(const ExportResult& result, const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    const std::string shown = ec ? path : full.lexically_normal().string();
    switch (result.status) {
        case ExportStatus::Ok:
            return {text::Load(2120), MessageIcon::Information};
        case ExportStatus::CannotCreate:
            return {text::Format(2121, {shown}), MessageIcon::Warning};
        case ExportStatus::WriteFailed:
            return {WriteFailureText(result.error, shown), MessageIcon::Warning};
        case ExportStatus::CannotReplace:
            return {text::Format(2122, {shown}), MessageIcon::Warning};
        case ExportStatus::Failed:
            return {"Error: " + result.detail, MessageIcon::Warning};
        case ExportStatus::Nothing:
        case ExportStatus::Cancelled:
            break;
    }
    return {};
}

std::string WriteFailureText(int error, const std::string& path) {
    return text::Format(IsDiskFull(error) ? 2138 : 2139, {path});
}

void ShowExportResult(const ExportResult& result, const std::string& path, Messages& messages) {
    const ExportMessage m = MessageFor(result, path);
    if (!m.text.empty()) messages.Show(m.text, m.icon);
}

}  // namespace nimbary
