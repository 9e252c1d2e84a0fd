// The export of a year of 5-minute records (105,120 rows, 1,618 pages),
// each beside its floor in the same run: the text table against writing
// the same bytes at once, the PDF against cairo drawing the same pages'
// rules and ready glyph arrays with nothing else.
#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <fcntl.h>
#include <unistd.h>

#include <QLocale>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "HistoryExport.h"
#include "HistoryFill.h"
#include "HistoryTable.h"
#include "PdfFont.h"
#include "PdfTableWriter.h"
#include "RecordTime.h"
#include "TempDir.h"
#include "TextTableWriter.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x5A17C0DE;
constexpr int kYear = 105120;
using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double ResidentMB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0 / 1e6;
}

double FileMB(const std::string& path) {
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    return static_cast<double>(f.tellg()) / 1e6;
}

// A year of indoor, channel 1, wind, pressure and rain, loaded once per run
// as the browser loads it.
struct Year {
    TempDir dir;
    StderrMessages messages;
    HistoryDb db{&messages};
    std::unique_ptr<HistoryTable> table;

    Year() {
        QLocale::setDefault(QLocale::c());
        db.Open(dir.File("Nimbary.db"));
        SaveWeather(db, kDev, At(2023, 1, 1), kYear);
        table = std::make_unique<HistoryTable>(RecordTimeText, UnitSet{});
        db.SelectRecords(kDev, 0, 1e6);
        table->Load(db, kDev);
        db.CloseSelection();
    }
};

Year& TheYear() {
    static Year year;
    return year;
}

// The floor of the text table: its bytes, ready, in one write (synced, as
// the export syncs before it renames).
double WriteAtOnceMs(const std::string& bytes, const std::string& path) {
    const auto t0 = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::fsync(fd);
    ::close(fd);
    benchmark::DoNotOptimize(ok);
    return Millis(Clock::now() - t0);
}

// The cell texts alone, as the list shows them: what the export pays
// beyond the floor for texts it does not make itself.
double CellTextsMs(const HistoryTable& t) {
    const auto t0 = Clock::now();
    size_t bytes = 0;
    for (int r = 0; r < t.RowCount(); ++r)
        for (int c = 0; c < t.ColumnCount(); ++c) bytes += t.CellText(r, c).size();
    benchmark::DoNotOptimize(bytes);
    return Millis(Clock::now() - t0);
}

void BM_TextExport(benchmark::State& state) {
    Year& y = TheYear();
    const std::string path = y.dir.File("year.csv");
    double total = 0, floor = 0, cells = 0;
    for (auto _ : state) {
        ExportProgress progress;
        const auto t0 = Clock::now();
        const ExportResult r = TextTableWriter::Write(*y.table, path, progress);
        total += Millis(Clock::now() - t0);
        if (r.status != ExportStatus::Ok) state.SkipWithError("export failed");
        state.PauseTiming();
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        floor += WriteAtOnceMs(bytes, y.dir.File("floor.csv"));
        cells += CellTextsMs(*y.table);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["rows"] = kYear;
    state.counters["file_MB"] = FileMB(path);
    state.counters["ms"] = total / n;
    state.counters["floor_ms"] = floor / n;
    state.counters["x_floor"] = total / floor;
    state.counters["cells_ms"] = cells / n;
    state.counters["x_floor_beyond_cells"] = (total - cells) / floor;
}
BENCHMARK(BM_TextExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Page by page, while the writer runs: when each page was done and what
// the process held then.
struct PageClock {
    std::vector<double> doneMs;
    std::vector<double> residentMB;
};

PageClock Watch(ExportProgress& progress, const std::atomic<bool>& finished) {
    PageClock clock;
    const auto t0 = Clock::now();
    while (!finished) {
        const int done = progress.done;
        while (static_cast<int>(clock.doneMs.size()) < done) {
            clock.doneMs.push_back(Millis(Clock::now() - t0));
            clock.residentMB.push_back(ResidentMB());
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return clock;
}

// Milliseconds a page over pages [from, to).
double MsPerPage(const PageClock& c, size_t from, size_t to) {
    if (to > c.doneMs.size() || from == 0 || to <= from) return 0;
    return (c.doneMs[to - 1] - c.doneMs[from - 1]) / static_cast<double>(to - from);
}

// The same pages drawn by cairo from glyph arrays made beforehand.
struct ReadyPages {
    double width = 0;
    std::vector<double> widths;
    std::vector<std::vector<cairo_glyph_t>> glyphs;
};

ReadyPages Prepare(const HistoryTable& t, PdfFont& font, const PdfOptions& o) {
    using W = PdfTableWriter;
    ReadyPages ready;
    ready.widths = W::ColumnWidths(t, font, o.sampleTime);
    ready.width = W::PageWidth(ready.widths);
    const double line = ready.width - 2 * W::kMargin;
    const int pages = W::PageCount(t.RowCount());
    ready.glyphs.resize(pages);
    for (int p = 0; p < pages; ++p) {
        auto& out = ready.glyphs[p];
        auto put = [&](const std::string& s, double x, double box, double align, double cell) {
            const PdfFont::Glyphs& g = font.Shape(s);
            const double left = x + (box - g.width) * align;
            for (cairo_glyph_t glyph : g.glyphs)
                out.push_back({glyph.index, glyph.x + left, glyph.y + W::DeviceY(cell + 2)});
        };
        put(o.exportTime, W::kMargin, line, 1.0, W::kFrameTop);
        put("ID: 5a17c0de", W::kMargin, line, 0.0, W::kFrameTop);
        for (int r = -1; r < W::kRowsPerPage && p * W::kRowsPerPage + r < t.RowCount(); ++r) {
            double x = W::kMargin;
            for (int c = 0; c < t.ColumnCount(); ++c) {
                put(r < 0 ? t.HeaderText(c) : t.CellText(p * W::kRowsPerPage + r, c), x,
                    ready.widths[c], 0.5, 805 - (r + 1) * W::kRowHeight);
                x += ready.widths[c];
            }
        }
        put(std::to_string(p + 1) + "/" + std::to_string(pages), W::kMargin, line, 0.5, 13);
    }
    return ready;
}

double DrawReadyMs(const ReadyPages& ready, PdfFont& font, const std::string& path) {
    using W = PdfTableWriter;
    const auto t0 = Clock::now();
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), ready.width, W::kPageHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_scaled_font(cr, font.Scaled());
    const double w = ready.width;
    for (const auto& page : ready.glyphs) {
        cairo_set_source_rgb(cr, 0.8125, 0.83984375, 0.89453125);
        cairo_set_line_width(cr, 1.0);
        cairo_rectangle(cr, W::kMargin, W::DeviceY(W::kFrameTop), w - 2 * W::kMargin,
                        W::kFrameTop - W::kMargin);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 0.5);
        double x = W::kMargin;
        for (double cw : ready.widths) {
            x += cw;
            cairo_move_to(cr, x, W::DeviceY(W::kMargin));
            cairo_line_to(cr, x, W::DeviceY(W::kFrameTop));
        }
        for (int i = 1; i <= W::kRowsPerPage + 1; ++i) {
            cairo_move_to(cr, W::kMargin, W::DeviceY(W::kMargin + i * W::kRowHeight));
            cairo_line_to(cr, w - W::kMargin, W::DeviceY(W::kMargin + i * W::kRowHeight));
        }
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_show_glyphs(cr, page.data(), static_cast<int>(page.size()));
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return Millis(Clock::now() - t0);
}

// Time a page over the first and the last tenth of the pages, and the
// memory held at the end of each, show whether the cost grows with the
// page count.
void BM_PdfExport(benchmark::State& state) {
    Year& y = TheYear();
    const auto language = static_cast<text::Language>(state.range(0));
    text::SetLanguage(language);
    y.table = std::make_unique<HistoryTable>(RecordTimeText, UnitSet{});  // headers in the language
    y.db.SelectRecords(kDev, 0, 1e6);
    y.table->Load(y.db, kDev);
    y.db.CloseSelection();
    PdfOptions options = PdfOptions::ForNow();
    const std::string path = y.dir.File("year.pdf");
    double total = 0, floor = 0;
    PageClock clock;
    for (auto _ : state) {
        ExportProgress progress;
        std::atomic<bool> finished{false};
        std::thread watcher([&] { clock = Watch(progress, finished); });
        const auto t0 = Clock::now();
        const ExportResult r = PdfTableWriter::Write(*y.table, path, options, progress);
        total += Millis(Clock::now() - t0);
        finished = true;
        watcher.join();
        if (r.status != ExportStatus::Ok) state.SkipWithError("export failed");

        state.PauseTiming();
        PdfFont font(language);
        const ReadyPages ready = Prepare(*y.table, font, options);
        floor += DrawReadyMs(ready, font, y.dir.File("floor.pdf"));
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    const size_t pages = clock.doneMs.size(), tenth = pages / 10;
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["file_MB"] = FileMB(path);
    state.counters["floor_file_MB"] = FileMB(y.dir.File("floor.pdf"));
    state.counters["ms"] = total / n;
    state.counters["floor_ms"] = floor / n;
    state.counters["x_floor"] = total / floor;
    state.counters["first_tenth_ms_page"] = MsPerPage(clock, 1, tenth + 1);
    state.counters["last_tenth_ms_page"] = MsPerPage(clock, pages - tenth, pages);
    // What the process took on between the first tenth and the last page.
    state.counters["rss_growth_MB"] =
        tenth ? clock.residentMB[pages - 1] - clock.residentMB[tenth - 1] : 0;
    text::SetLanguage(text::Language::English);
}
BENCHMARK(BM_PdfExport)
    ->Arg(static_cast<int>(text::Language::English))
    ->Arg(static_cast<int>(text::Language::Chinese))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
