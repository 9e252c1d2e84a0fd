#include "PdfTableWriter.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "HistoryTable.h"
#include "PdfFont.h"
#include "ReplacingFile.h"

namespace nimbary {

namespace {

constexpr double kNarrowTable = 545;
constexpr double kCellBaseline = 2;  // above a cell's lower edge
constexpr double kHeaderCell = 805;
constexpr double kFooterCell = 13;

enum class Align { Left, Centre, Right };

// cairo's output goes through the replacing file; once the export is
// abandoned, what cairo still writes on finishing is dropped.
struct Sink {
    ReplacingFile* file;
    bool discard = false;
};

cairo_status_t WriteToSink(void* closure, const unsigned char* data, unsigned int length) {
    auto* sink = static_cast<Sink*>(closure);
    if (sink->discard) return CAIRO_STATUS_SUCCESS;
    return sink->file->Write(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

// One page's texts gathered into one glyph array, drawn at once.
class PageTexts {
public:
    explicit PageTexts(PdfFont& font) : font_(font) {}

    // `text` in the box from x of width `box`, on the baseline of the cell
    // whose lower edge is at `cell`.
    void Put(const std::string& text, double x, double box, Align align, double cell) {
        if (text.empty()) return;
        const PdfFont::Glyphs& shaped = font_.Shape(text);
        const double left = align == Align::Left     ? x
                            : align == Align::Centre ? x + (box - shaped.width) * 0.5
                                                     : x + box - shaped.width;
        const double baseline = PdfTableWriter::DeviceY(cell + kCellBaseline);
        for (cairo_glyph_t g : shaped.glyphs) {
            g.x += left;
            g.y += baseline;
            glyphs_.push_back(g);
        }
    }

    void Draw(cairo_t* cr) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_show_glyphs(cr, glyphs_.data(), static_cast<int>(glyphs_.size()));
        glyphs_.clear();
    }

private:
    PdfFont& font_;
    std::vector<cairo_glyph_t> glyphs_;
};

void Line(cairo_t* cr, double x0, double y0, double x1, double y1) {
    cairo_move_to(cr, x0, PdfTableWriter::DeviceY(y0));
    cairo_line_to(cr, x1, PdfTableWriter::DeviceY(y1));
}

// The frame, then every grid line of the page in one stroke.
void DrawRules(cairo_t* cr, double w, const std::vector<double>& widths) {
    using W = PdfTableWriter;
    cairo_set_source_rgb(cr, 0.8125, 0.83984375, 0.89453125);
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, W::kMargin, W::DeviceY(W::kMargin));
    cairo_line_to(cr, w - W::kMargin, W::DeviceY(W::kMargin));
    cairo_line_to(cr, w - W::kMargin, W::DeviceY(W::kFrameTop));
    cairo_line_to(cr, W::kMargin, W::DeviceY(W::kFrameTop));
    cairo_close_path(cr);
    cairo_stroke(cr);

    cairo_set_line_width(cr, 0.5);
    double x = W::kMargin;
    for (double width : widths) {
        x += width;
        Line(cr, x, W::kMargin, x, W::kFrameTop);
    }
    for (int i = 1; i <= W::kRowsPerPage + 1; ++i) {
        const double y = W::kMargin + i * W::kRowHeight;
        Line(cr, W::kMargin, y, w - W::kMargin, y);
    }
    cairo_stroke(cr);
}

}  // namespace

std::vector<double> PdfTableWriter::ColumnWidths(const HistoryTable& table, PdfFont& font,
                                                 const std::string& sampleTime) {
    std::vector<double> widths;
    for (int c = 0; c < table.ColumnCount(); ++c) {
        double w = font.Width(table.HeaderText(c)) + 8;
        if (table.FullColumn(c) == 1) w = std::max(w, font.Width(sampleTime) + 8);
        widths.push_back(w);
    }
    if (!widths.empty()) widths[0] += 8;
    return widths;
}

double PdfTableWriter::PageWidth(const std::vector<double>& widths) {
    const double table = std::accumulate(widths.begin(), widths.end(), 0.0);
    return table > kNarrowTable ? table + 2 * kMargin : kNarrowWidth;
}

ExportResult PdfTableWriter::Write(const HistoryTable& table, const std::string& path,
                                   const PdfOptions& options, ExportProgress& progress) {
    const int rows = table.RowCount();
    if (rows == 0) return {ExportStatus::NoRows};
    PdfFont font(options.language);
    if (!font.Ok()) return {ExportStatus::Failed, 0, font.Error()};
    const std::vector<double> widths = ColumnWidths(table, font, options.sampleTime);
    const double w = PageWidth(widths);
    const int pages = PageCount(rows);
    progress.total = pages;

    ReplacingFile file(path);
    if (!file.Create()) return FileFailure(file);
    Sink sink{&file};
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(WriteToSink, &sink, w, kPageHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_scaled_font(cr, font.Scaled());

    char id[16];
    std::snprintf(id, sizeof id, "ID: %08x", table.DevId());
    const int columns = table.ColumnCount();
    PageTexts texts(font);
    const double line = w - 2 * kMargin;
    bool cancelled = false;
    auto drawing = [&] {
        return file.Failed() == ReplacingFile::Failure::None &&
               cairo_status(cr) == CAIRO_STATUS_SUCCESS &&
               cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    };
    for (int page = 0; page < pages && drawing(); ++page) {
        if (progress.cancel) {
            cancelled = true;
            break;
        }
        DrawRules(cr, w, widths);
        texts.Put(options.exportTime, kMargin, line, Align::Right, kFrameTop);
        texts.Put(id, kMargin, line, Align::Left, kFrameTop);
        double x = kMargin;
        for (int c = 0; c < columns; ++c) {
            texts.Put(table.HeaderText(c), x, widths[c], Align::Centre, kHeaderCell);
            x += widths[c];
        }
        const int first = page * kRowsPerPage;
        const int last = std::min(rows, first + kRowsPerPage);
        for (int r = first; r < last; ++r) {
            const double cell = kHeaderCell - (r - first + 1) * kRowHeight;
            x = kMargin;
            for (int c = 0; c < columns; ++c) {
                texts.Put(table.CellText(r, c), x, widths[c], Align::Centre, cell);
                x += widths[c];
            }
        }
        char footer[32];
        std::snprintf(footer, sizeof footer, "%d/%d", page + 1, pages);
        texts.Put(footer, kMargin, line, Align::Centre, kFooterCell);
        texts.Draw(cr);
        cairo_show_page(cr);
        progress.done = page + 1;
    }
    const cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    sink.discard = cancelled || drawn != CAIRO_STATUS_SUCCESS;
    cairo_surface_finish(surface);
    const cairo_status_t finished = cairo_surface_status(surface);
    cairo_surface_destroy(surface);

    if (file.Failed() != ReplacingFile::Failure::None) return FileFailure(file);
    if (cancelled) return {ExportStatus::Cancelled};
    const cairo_status_t status = drawn != CAIRO_STATUS_SUCCESS ? drawn : finished;
    if (status != CAIRO_STATUS_SUCCESS)
        return {ExportStatus::Failed, 0, cairo_status_to_string(status)};
    if (!file.Commit()) return FileFailure(file);
    return {ExportStatus::Ok};
}

}  // namespace nimbary
