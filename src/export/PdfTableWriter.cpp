#include "PdfTableWriter.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cstdio>
#include <memory>
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

std::vector<double> PdfTableWriter::ColumnWidths(const TableSource& table, PdfFont& font,
                                                 const std::string& sampleTime) {
    std::vector<double> widths;
    for (int c = 0; c < table.ColumnCount(); ++c) {
        double w = font.Width(table.HeaderText(c)) + 8;
        switch (table.WidthRule(c)) {
            case TableSource::Width::RowNumbers:
                w = std::max(w, font.Width(std::to_string(table.RowCount())) + 8);
                break;
            case TableSource::Width::SampleTime:
                w = std::max(w, font.Width(sampleTime) + 8);
                break;
            case TableSource::Width::Cells:
                for (int r = 0; r < table.RowCount(); ++r)
                    w = std::max(w, font.Width(table.CellText(r, c)) + 8);
                break;
            case TableSource::Width::Header:
                break;
        }
        widths.push_back(w);
    }
    if (!widths.empty()) widths[0] += 8;
    return widths;
}

double PdfTableWriter::PageWidth(const std::vector<double>& widths) {
    const double table = std::accumulate(widths.begin(), widths.end(), 0.0);
    return table > kNarrowTable ? table + 2 * kMargin : kNarrowWidth;
}

namespace {

struct SurfaceFree {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextFree {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

// What every page shares.
struct Pages {
    const TableSource& table;
    const PdfOptions& options;
    std::vector<double> widths;
    double width;  // of a page
    int count;
    std::string id;
};

void DrawPage(cairo_t* cr, PageTexts& texts, const Pages& p, int page) {
    using W = PdfTableWriter;
    DrawRules(cr, p.width, p.widths);
    const double line = p.width - 2 * W::kMargin;
    texts.Put(p.options.exportTime, W::kMargin, line, Align::Right, W::kFrameTop);
    texts.Put(p.id, W::kMargin, line, Align::Left, W::kFrameTop);
    const int columns = p.table.ColumnCount();
    const int first = page * W::kRowsPerPage;
    const int last = std::min(p.table.RowCount(), first + W::kRowsPerPage);
    // The header row, then the page's rows below it.
    for (int r = first - 1; r < last; ++r) {
        const double cell = kHeaderCell - (r - first + 1) * W::kRowHeight;
        double x = W::kMargin;
        for (int c = 0; c < columns; ++c) {
            texts.Put(r < first ? p.table.HeaderText(c) : p.table.CellText(r, c), x, p.widths[c],
                      Align::Centre, cell);
            x += p.widths[c];
        }
    }
    char footer[32];
    std::snprintf(footer, sizeof footer, "%d/%d", page + 1, p.count);
    texts.Put(footer, W::kMargin, line, Align::Centre, kFooterCell);
    texts.Draw(cr);
    cairo_show_page(cr);
}

}  // namespace

namespace {

// One attempt with one font; `missing` tells that a text needed a glyph
// the font lacks, and nothing was committed then.
ExportResult WriteWith(PdfFont& font, const TableSource& table, const std::string& path,
                       const PdfOptions& options, ExportProgress& progress, bool& missing) {
    char id[16];
    std::snprintf(id, sizeof id, "ID: %08x", table.DevId());
    Pages pages{table,
                options,
                PdfTableWriter::ColumnWidths(table, font, options.sampleTime),
                0,
                PdfTableWriter::PageCount(table.RowCount()),
                id};
    pages.width = PdfTableWriter::PageWidth(pages.widths);
    progress.total = pages.count;

    ReplacingFile file(path);
    if (!file.Create()) return FileFailure(file);
    Sink sink{&file};
    std::unique_ptr<cairo_surface_t, SurfaceFree> surface(cairo_pdf_surface_create_for_stream(
        WriteToSink, &sink, pages.width, PdfTableWriter::kPageHeight));
    std::unique_ptr<cairo_t, ContextFree> cr(cairo_create(surface.get()));
    cairo_set_scaled_font(cr.get(), font.Scaled());
    PageTexts texts(font);
    auto status = [&] {
        const cairo_status_t drawn = cairo_status(cr.get());
        return drawn != CAIRO_STATUS_SUCCESS ? drawn : cairo_surface_status(surface.get());
    };
    bool cancelled = false;
    for (int page = 0; page < pages.count && status() == CAIRO_STATUS_SUCCESS; ++page) {
        if ((cancelled = progress.cancel)) break;
        DrawPage(cr.get(), texts, pages, page);
        progress.done = page + 1;
        if ((missing = !font.Missing().empty())) break;
    }
    // An abandoned document is not finished into the file.
    sink.discard = cancelled || missing || status() != CAIRO_STATUS_SUCCESS;
    cairo_surface_finish(surface.get());
    const cairo_status_t drawn = status();

    if (file.Failed() != ReplacingFile::Failure::None) return FileFailure(file);
    if (cancelled) return {ExportStatus::Cancelled};
    if (missing) return {ExportStatus::Failed};
    if (drawn != CAIRO_STATUS_SUCCESS)
        return {ExportStatus::Failed, 0, cairo_status_to_string(drawn)};
    if (!file.Commit()) return FileFailure(file);
    return {ExportStatus::Ok};
}

}  // namespace

ExportResult PdfTableWriter::Write(const TableSource& table, const std::string& path,
                                   const PdfOptions& options, ExportProgress& progress) {
    if (table.RowCount() == 0) return {ExportStatus::Nothing};
    // The font must have every character: the headers' and the lines' around
    // the table first, then any a cell turns out to need as well.
    std::vector<std::string> texts = {options.exportTime, options.sampleTime,
                                      "ID: 0123456789abcdef/"};
    for (int c = 0; c < table.ColumnCount(); ++c) texts.push_back(table.HeaderText(c));
    for (int attempt = 0; attempt < 3; ++attempt) {
        PdfFont font(options.language, texts);
        if (!font.Ok()) return {ExportStatus::Failed, 0, font.Error()};
        bool missing = false;
        const ExportResult result = WriteWith(font, table, path, options, progress, missing);
        if (!missing) return result;
        texts.push_back(font.Missing());
    }
    return {ExportStatus::Failed, 0, "no font has every character of the table"};
}

}  // namespace nimbary
