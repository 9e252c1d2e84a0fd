#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <QStringEncoder>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "../history/FileSizeLimit.h"
#include "BrowserFixture.h"
#include "HistoryExport.h"
#include "PdfFont.h"
#include "PdfTableWriter.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x89025CC1;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::string Utf16(const std::string& utf8) {
    return QByteArray(QStringEncoder(QStringEncoder::Utf16LE)(QString::fromUtf8(utf8)))
        .toStdString();
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

// Centre and lower edge (from the top) of the first word `text` of a page.
struct Word {
    double centre = 0, xMax = 0, yMax = 0;
};
Word Find(const std::string& bbox, const std::string& text) {
    const std::regex word(
        "xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">" + text +
        "</word>");
    std::smatch m;
    if (!std::regex_search(bbox, m, word)) return {};
    return {(std::stod(m[1]) + std::stod(m[2])) / 2, std::stod(m[2]), std::stod(m[3])};
}

class ExportTest : public BrowserFixture {
protected:
    // `n` weather records, five minutes apart from 2024-03-05 00:00.
    HistoryTable Weather(int n, const UnitSet& units = UnitSet{}) {
        EXPECT_EQ(SaveWeather(db, kDev, At(2024, 3, 5), n), 0);
        return LoadTable(kDev, units);
    }
    // Indoor temperature and humidity only: a narrow table.
    HistoryTable Indoor(int n) {
        std::vector<HistoryRecord> records;
        for (int i = 0; i < n; ++i) {
            HistoryRecord r = Empty(kDev, At(2024, 3, 5) + 300 * i);
            r.InTemp = 70.0;
            r.InHumi = 45;
            records.push_back(r);
        }
        EXPECT_EQ(SaveAll(db, kDev, records), 0);
        return LoadTable(kDev);
    }
    static ExportResult Write(const HistoryTable& t, const std::string& path,
                              text::Language lang = text::Language::English) {
        ExportProgress progress;
        const PdfOptions options{lang, "2026-12-09 05:07:36", SampleTimeText()};
        return ExportHistory(t, path, ExportFormatOf(path), options, progress);
    }
};

}  // namespace

// Sentinels, an empty cell in a kept column, units in the headers, and only
// the columns with data.
TEST_F(ExportTest, TextFileHoldsTheTableByteForByte) {
    HistoryRecord a = Empty(kDev, At(2024, 3, 5)), b = a, c = a;
    b.RecTime = StationTimeToOleDate(At(2024, 3, 5, 0, 5));
    c.RecTime = StationTimeToOleDate(At(2024, 3, 5, 0, 10));
    a.InTemp = 70.0, a.InHumi = 45, a.WindDir = 90, a.RelBaro = 1013.2;
    b.InTemp = VAL_LOW, b.InHumi = VAL_HIGH, b.WindDir = VAL_INVALID;
    c.InTemp = VAL_INVALID, c.RelBaro = 1013.2;
    ASSERT_EQ(SaveAll(db, kDev, {a, b, c}), 0);
    const std::string path = dir.File("t.csv");
    ASSERT_EQ(Write(LoadTable(kDev, MakeUnits(0, 1, 0, 0)), path).status, ExportStatus::Ok);
    EXPECT_EQ(Slurp(path),
              "\xFF\xFE" + Utf16("No.\tTime\tIn Temp.(°C)\tIn Humi.(%)\tWind Direction\t"
                                 "REL Pressure(inHg)\r\n"
                                 "1\t2024-03-05 00:00:00\t21.1\t45\tE\t29.92\r\n"
                                 "2\t2024-03-05 00:05:00\tLow\tHigh\t--\t\r\n"
                                 "3\t2024-03-05 00:10:00\t--.-\t\t\t29.92\r\n"));
}

TEST_F(ExportTest, PdfPagesHold65RowsWithPageNumbersBelow) {
    struct Case {
        int rows;
        std::vector<std::string> lastLines;  // of each page: the last row and the footer
    };
    const Case cases[] = {{65, {"65", "1/1"}}, {66, {"65", "1/2", "66", "2/2"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        db.DeleteDevice(kDev);
        const std::string path = dir.File("p.pdf");
        ASSERT_EQ(Write(Indoor(c.rows), path).status, ExportStatus::Ok);
        const std::string info = Shell("pdfinfo " + path);
        EXPECT_NE(info.find("Pages:           " + std::to_string(c.lastLines.size() / 2)),
                  std::string::npos);
        EXPECT_NE(info.find("Page size:       595 x 842 pts"), std::string::npos) << info;
        std::vector<std::string> last;
        std::istringstream pages(Shell("pdftotext -layout " + path + " -"));
        std::string page;
        while (std::getline(pages, page, '\f')) {
            std::smatch m;
            const std::regex tail("\n\\s*(\\d+)\\s+2024-03-05[^\n]*\n\\s*(\\d+/\\d+)\\s*$");
            if (std::regex_search(page, m, tail)) last.insert(last.end(), {m[1], m[2]});
        }
        EXPECT_EQ(last, c.lastLines);
    }
}

// Arial's widths at size 10: "No." 15.56, "Time" 22.22 and the sample time
// "2016-12-28 22:58:58" 92.84, so column 0 is 31.56 wide and column 1
// 100.84. The PDF's glyph widths are whole thousandths of the size.
TEST_F(ExportTest, PdfTextsSitInTheirBoxes) {
    const std::string path = dir.File("g.pdf");
    ASSERT_EQ(Write(Indoor(3), path).status, ExportStatus::Ok);
    const std::string bbox = Shell("pdftotext -bbox " + path + " -");
    EXPECT_NEAR(Find(bbox, "No.").centre, 25 + 31.56 / 2, 0.1);
    EXPECT_NEAR(Find(bbox, "Time").centre, 25 + 31.56 + 100.84 / 2, 0.1);
    EXPECT_NEAR(Find(bbox, "05:07:36").xMax, 595 - 25, 0.1);
    EXPECT_NEAR(Find(bbox, "1/1").centre, 595 / 2.0, 0.1);
    const Word id = Find(bbox, "89025cc1"), header = Find(bbox, "No."), one = Find(bbox, "1"),
               footer = Find(bbox, "1/1"), three = Find(bbox, "3");
    // The ID line's baseline 819 up, Arial's descent (0.212 of the size) below it.
    EXPECT_NEAR(id.yMax, 842 - 819 + 2.12, 0.1);
    EXPECT_NEAR(header.yMax - id.yMax, 12, 0.01);
    EXPECT_NEAR(one.yMax - header.yMax, 12, 0.01);
    EXPECT_NEAR(footer.yMax - three.yMax, 12 * 63, 0.01);  // rows 4 to 65 stand empty
    EXPECT_NE(Shell("pdftotext -layout " + path + " -").find("ID: 89025cc1"), std::string::npos);
}

TEST_F(ExportTest, PdfInEitherLanguageEmbedsItsFontAsASubset) {
    struct Case {
        text::Language lang;
        const char* font;
        std::vector<std::string> texts;
        double pageWidth;
    };
    const Case cases[] = {
        {text::Language::English,
         "LiberationSans",
         {"No.", "Time", "In Temp.(°C)", "Out Feel(°C)", "Rain Total(mm)", "2024-03-05 00:05:00"},
         31.5615 + 100.8564 + 1403.2062 + 50},
        {text::Language::Chinese,
         "WenQuanYiZenHei",
         {"序号", "时间", "室内温度(°C)", "风向"},
         36 + 106.9355 + 1207.8399 + 50},
    };
    for (const Case& c : cases) {
        text::SetLanguage(c.lang);
        db.DeleteDevice(kDev);
        const HistoryTable table = Weather(70);
        const std::string path = dir.File("f.pdf");
        ASSERT_EQ(Write(table, path, c.lang).status, ExportStatus::Ok);
        const std::string layout = Shell("pdftotext -layout " + path + " -");
        for (const std::string& t : c.texts) EXPECT_NE(layout.find(t), std::string::npos) << t;
        const std::string fonts = Shell("pdffonts " + path);
        EXPECT_TRUE(std::regex_search(fonts, std::regex(std::string(c.font) + ".* yes yes yes")))
            << fonts;
        // The wide table's pages are 50 wider than the table: its header
        // widths (FreeType's advances at size 10) + 8 each, the sample time
        // for "Time", 8 more for "No.".
        std::smatch m;
        const std::string info = Shell("pdfinfo " + path);
        ASSERT_TRUE(std::regex_search(info, m, std::regex("Page size: +([0-9.]+) x 842")));
        EXPECT_NEAR(std::stod(m[1]), c.pageWidth, 0.05);
    }
}

// A failed or cancelled export leaves the earlier file as it was and
// nothing beside it; a good one replaces it whole, keeping its permissions.
// A folder with blanks and letters beyond ASCII.
TEST_F(ExportTest, FailuresKeepTheEarlierFile) {
    if (const std::string why = AsUnprivileged::CannotReachTemp(); !why.empty()) GTEST_SKIP() << why;
    const HistoryTable table = Weather(100);
    const std::string folder = dir.File("Wetter Jänner 气象");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    chmod(dir.Path().c_str(), 0755);
    for (const char* name : {"Jahr ä.CSV", "Jahr ä.Pdf"}) {
        SCOPED_TRACE(name);
        const std::string path = folder + "/" + name;
        std::ofstream(path) << "earlier";
        {
            ExportProgress cancelled;
            cancelled.cancel = true;
            EXPECT_EQ(
                ExportHistory(table, path, ExportFormatOf(path), PdfOptions::ForNow(), cancelled)
                    .status,
                ExportStatus::Cancelled);
        }
        {
            // A full disk: writes past 2000 bytes fail.
            ExportResult full;
            {
                nimbary::testing::FileSizeLimit limit(2000);
                full = Write(table, path);
            }
            EXPECT_EQ(full.status, ExportStatus::WriteFailed);
            EXPECT_EQ(full.error, EFBIG);
        }
        // A folder that may not be written; then one that may, over a
        // file that may not (also when the test's user owns it).
        chmod(path.c_str(), 0444);
        for (mode_t mode : {0555, 0777}) {
            chmod(folder.c_str(), mode);
            AsUnprivileged nobody;
            ASSERT_TRUE(nobody.Active());
            EXPECT_EQ(Write(table, path).status, ExportStatus::CannotReplace);
        }
        chmod(folder.c_str(), 0755);
        EXPECT_EQ(Slurp(path), "earlier");
        EXPECT_EQ(Entries(folder), std::vector<std::string>{name});

        chmod(path.c_str(), 0640);
        ASSERT_EQ(Write(table, path).status, ExportStatus::Ok);
        EXPECT_NE(Slurp(path), "earlier");
        struct stat st {};
        stat(path.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        EXPECT_EQ(Entries(folder), std::vector<std::string>{name});
        std::filesystem::remove(path);
    }
    EXPECT_EQ(Write(table, folder + "/none/x.csv").status, ExportStatus::CannotCreate);
}

TEST_F(ExportTest, FormatsAndMessages) {
    const std::pair<const char*, ExportFormat> formats[] = {
        {"a.csv", ExportFormat::Text}, {"/x/A.CSV", ExportFormat::Text},
        {"b.Pdf", ExportFormat::Pdf},  {"c.txt", ExportFormat::None},
        {"csv", ExportFormat::None},   {"d.pdf/e", ExportFormat::None}};
    for (const auto& [path, format] : formats) EXPECT_EQ(ExportFormatOf(path), format) << path;

    const std::string full = std::filesystem::current_path().string() + "/x.pdf";
    const std::tuple<ExportStatus, int, std::string, MessageIcon> messages[] = {
        {ExportStatus::Ok, 0, "Successful export data!", MessageIcon::Information},
        {ExportStatus::CannotCreate, EACCES, "Can not create the file:\n" + full,
         MessageIcon::Warning},
        // A full disk, quota or file-size limit is told as a full disk.
        {ExportStatus::WriteFailed, EFBIG,
         "The disk is full: the file could not be written:\n" + full, MessageIcon::Warning},
        {ExportStatus::WriteFailed, ENOSPC,
         "The disk is full: the file could not be written:\n" + full, MessageIcon::Warning},
        {ExportStatus::WriteFailed, EIO, "The file could not be written:\n" + full,
         MessageIcon::Warning},
        {ExportStatus::CannotReplace, EACCES, "Cann not overwrite the file:\n" + full,
         MessageIcon::Warning},
        {ExportStatus::Failed, 0, "Error: no font", MessageIcon::Warning},
        {ExportStatus::Cancelled, 0, "", MessageIcon::None},
    };
    for (const auto& [status, error, text, icon] : messages) {
        const ExportMessage m = MessageFor({status, error, "no font"}, "./x.pdf");
        EXPECT_EQ(m.text, text);
        EXPECT_EQ(m.icon, icon);
    }
}

namespace {

// fontconfig sees the Latin fonts alone for one scope, as on a machine
// without the Chinese font the package only recommends.
class LatinFontsOnly {
public:
    LatinFontsOnly() {
        PdfFont loaded(text::Language::English);  // fontconfig's own configuration first
        saved_ = FcConfigReference(nullptr);
        FcConfig* latin = FcConfigCreate();
        const std::string config =
            "<fontconfig><dir>/usr/share/fonts/truetype/liberation</dir>"
            "<dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>" +
            cache_.Path() + "</cachedir></fontconfig>";
        FcConfigParseAndLoadFromMemory(latin, reinterpret_cast<const FcChar8*>(config.c_str()),
                                       FcTrue);
        FcConfigBuildFonts(latin);
        FcConfigSetCurrent(latin);
        FcConfigDestroy(latin);  // held as the current one
    }
    ~LatinFontsOnly() {
        FcConfigSetCurrent(saved_);
        FcConfigDestroy(saved_);
    }

private:
    TempDir cache_;
    FcConfig* saved_ = nullptr;
};

}  // namespace

// Every text needs its glyphs: a font that lacks some gives way to the next
// that has them all (Time cells in Japanese beside English headers), and
// without any (no Chinese font at all) the export fails, saying which font
// to install, and the earlier file stays.
TEST_F(ExportTest, PdfTextsWithoutGlyphsTakeTheNextFontOrFail) {
    const HistoryTable english = Indoor(3);
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const std::string japanese = dir.File("ja.pdf");
    ExportProgress progress;
    const PdfOptions options{text::Language::English, CurrentTimeText(), SampleTimeText()};
    ASSERT_EQ(ExportHistory(english, japanese, ExportFormat::Pdf, options, progress).status,
              ExportStatus::Ok);
    EXPECT_NE(Shell("pdftotext -layout " + japanese + " -").find("0時05分00秒"), std::string::npos);
    EXPECT_NE(Shell("pdffonts " + japanese).find("WenQuanYiZenHei"), std::string::npos);
    QLocale::setDefault(QLocale::c());

    text::SetLanguage(text::Language::Chinese);
    const HistoryTable chinese = LoadTable(kDev);
    const std::string path = dir.File("zh.pdf");
    std::ofstream(path) << "earlier";
    ExportResult result;
    {
        LatinFontsOnly latin;
        result = Write(chinese, path, text::Language::Chinese);
    }
    EXPECT_EQ(result.status, ExportStatus::Failed);
    EXPECT_NE(result.detail.find("序号"), std::string::npos) << result.detail;
    EXPECT_NE(result.detail.find("fonts-wqy-zenhei"), std::string::npos) << result.detail;
    EXPECT_EQ(Slurp(path), "earlier");
    for (const std::string& name : Entries(dir.Path())) EXPECT_NE(name[0], '.') << name;
}

namespace {

// Page 1 of a PDF rendered at four pixels a point.
struct Rendered {
    int width = 0, height = 0;
    std::string rgb;
    static constexpr int kScale = 4;

    Rendered(const std::string& pdf, const std::string& prefix) {
        Shell("pdftoppm -r " + std::to_string(72 * kScale) + " -f 1 -l 1 -singlefile " + pdf + " " +
              prefix);
        std::ifstream in(prefix + ".ppm", std::ios::binary);
        std::string magic;
        int depth = 0;
        in >> magic >> width >> height >> depth;
        in.get();
        rgb.assign(std::istreambuf_iterator<char>(in), {});
        if (magic != "P6" || rgb.size() != size_t(width) * height * 3) width = height = 0;
    }
    // The colour of the pixel at (x, y), in points from the bottom left.
    std::array<int, 3> At(double x, double y) const {
        const int px = static_cast<int>(x * kScale), py = static_cast<int>((842 - y) * kScale);
        if (px < 0 || py < 0 || px >= width || py >= height) return {-1, -1, -1};
        const auto* p =
            reinterpret_cast<const unsigned char*>(rgb.data()) + 3 * (size_t(py) * width + px);
        return {p[0], p[1], p[2]};
    }
    bool White(double x, double y) const { return At(x, y) == std::array<int, 3>{255, 255, 255}; }
};

}  // namespace

// The frame and the grid of a narrow table, from the rendered page: the
// frame 1 wide from (25, 25) to (570, 817), the grid 0.5 wide, both in RGB
// (0.8125, 0.83984375, 0.89453125); the columns' lines end at the table's
// edge, the rows' lines run on to the frame.
TEST_F(ExportTest, PdfFrameAndGridOfANarrowTable) {
    const std::string path = dir.File("grid.pdf");
    ASSERT_EQ(Write(Indoor(3), path).status, ExportStatus::Ok);
    const Rendered page(path, dir.File("grid"));
    ASSERT_EQ(page.width, 595 * Rendered::kScale);
    const std::array<int, 3> rule = {207, 214, 228};
    const double quarter = 1.0 / Rendered::kScale;  // a pixel
    // The frame: 1 wide on each of its four sides.
    for (double y : {100.0, 500.0}) {
        for (double x : {25.0, 570.0}) {
            EXPECT_EQ(page.At(x - 0.5, y), rule) << x;
            EXPECT_EQ(page.At(x + 0.5 - quarter, y), rule) << x;
            EXPECT_TRUE(page.White(x - 0.5 - quarter, y)) << x;
            EXPECT_TRUE(page.White(x + 0.5, y)) << x;
        }
    }
    for (double y : {25.0, 817.0}) {
        EXPECT_EQ(page.At(300, y - 0.5 + quarter / 2), rule) << y;
        EXPECT_EQ(page.At(300, y + 0.5 - quarter / 2), rule) << y;
        EXPECT_TRUE(page.White(300, y + 0.5 + quarter / 2)) << y;
        EXPECT_TRUE(page.White(300, y - 0.5 - quarter / 2)) << y;
    }
    // The rows: 0.5 wide every 12 from 37, from the frame to the frame.
    for (double y : {37.0, 49.0, 421.0, 805.0}) {
        for (double x : {26.0, 400.0, 569.0}) {
            EXPECT_EQ(page.At(x, y - 0.25 + quarter / 2), rule) << x << "," << y;
            EXPECT_EQ(page.At(x, y + 0.25 - quarter / 2), rule) << x << "," << y;
            EXPECT_TRUE(page.White(x, y + 0.25 + quarter / 2)) << x << "," << y;
            EXPECT_TRUE(page.White(x, y - 0.25 - quarter / 2)) << x << "," << y;
        }
    }
    // The columns (31.56, 100.84, 65.34 and 60.78 wide) in the empty last
    // row, and nothing between the table's edge and the frame.
    std::vector<double> lines;
    for (double x = 25.75; x < 569.5; x += quarter)
        if (!page.White(x, 31) && (lines.empty() || x - lines.back() > 1)) lines.push_back(x);
    const std::vector<double> columns = {56.56, 157.40, 222.74, 283.52};
    ASSERT_EQ(lines.size(), columns.size());
    for (size_t i = 0; i < columns.size(); ++i) EXPECT_NEAR(lines[i], columns[i] - 0.25, 0.3);
    for (double y : {25.5, 816.5}) EXPECT_FALSE(page.White(283.52, y)) << y;
    EXPECT_TRUE(page.White(283.52, 817.75));
}
