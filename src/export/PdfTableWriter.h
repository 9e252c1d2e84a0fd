#pragma once

#include <string>
#include <vector>

#include "HistoryExport.h"

namespace nimbary {

class TableSource;
class PdfFont;

// The table as a PDF on cairo's PDF surface: 65 rows a page in a ruled
// frame, the header row on every page, the export time and the station id
// above the frame and "page/pages" below it. Lengths are PDF points
// measured from the bottom left, as the layout is specified; the one flip
// to cairo's top-left origin is DeviceY.
class PdfTableWriter {
public:
    static constexpr double kPageHeight = 842;
    static constexpr double kNarrowWidth = 595;  // A4 portrait
    static constexpr double kMargin = 25;
    static constexpr double kFrameTop = 817;
    static constexpr double kRowHeight = 12;
    static constexpr int kRowsPerPage = 65;

    static ExportResult Write(const TableSource& table, const std::string& path,
                              const PdfOptions& options, ExportProgress& progress);

    // Column widths: each header's width + 8, at least what the column's
    // width rule asks + 8 (the "No." column the largest row number, the Time
    // column the sample time), then column 0 another 8.
    static std::vector<double> ColumnWidths(const TableSource& table, PdfFont& font,
                                            const std::string& sampleTime);
    // 595, or the table's width + 50 when it is wider than 545.
    static double PageWidth(const std::vector<double>& widths);
    static int PageCount(int rows) { return (rows + kRowsPerPage - 1) / kRowsPerPage; }
    static double DeviceY(double y) { return kPageHeight - y; }
};

}  // namespace nimbary
