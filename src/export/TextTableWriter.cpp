#include "TextTableWriter.h"

#include "HistoryTable.h"
#include "ReplacingFile.h"
#include "Utf8.h"

namespace nimbary {

namespace {

void Put16(std::string& out, uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

constexpr int kProgressRows = 1024;

}  // namespace

void AppendUtf16LE(std::string& out, const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = NextCodePoint(text, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            Put16(out, 0xD800 | (cp >> 10));
            Put16(out, 0xDC00 | (cp & 0x3FF));
        } else {
            Put16(out, cp);
        }
    }
}

ExportResult TextTableWriter::Write(const TableSource& table, const std::string& path,
                                    ExportProgress& progress) {
    const int rows = table.RowCount();
    if (rows == 0) return {ExportStatus::Nothing};
    progress.total = rows;
    ReplacingFile file(path);
    if (!file.Create()) return FileFailure(file);

    const int columns = table.ColumnCount();
    std::string line = "\xFF\xFE";
    auto writeLine = [&](auto text) {
        for (int c = 0; c < columns; ++c) {
            if (c) Put16(line, '\t');
            AppendUtf16LE(line, text(c));
        }
        Put16(line, '\r');
        Put16(line, '\n');
        const bool written = file.Write(line.data(), line.size());
        line.clear();
        return written;
    };
    if (!writeLine([&](int c) { return table.HeaderText(c); })) return FileFailure(file);
    for (int r = 0; r < rows; ++r) {
        if (r % kProgressRows == 0) {
            if (progress.cancel) return {ExportStatus::Cancelled};
            progress.done = r;
        }
        if (!writeLine([&](int c) { return table.CellText(r, c); })) return FileFailure(file);
    }
    if (!file.Commit()) return FileFailure(file);
    progress.done = rows;
    return {ExportStatus::Ok};
}

}  // namespace nimbary
