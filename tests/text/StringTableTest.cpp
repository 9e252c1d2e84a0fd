#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "StringTable.h"

using namespace nimbary::text;

namespace {

struct LanguageGuard {
    ~LanguageGuard() { SetLanguage(Language::English); }
};

}  // namespace

// The resource file itself: every line id, English, Chinese; no id twice.
TEST(StringTable, ResourceFileIsWellFormed) {
    std::ifstream in(NIMBARY_STRINGS_TSV);
    ASSERT_TRUE(in) << NIMBARY_STRINGS_TSV;
    std::string line;
    std::set<int> seen;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        ++rows;
        std::istringstream cols(line);
        std::string id, en, zh, extra;
        ASSERT_TRUE(std::getline(cols, id, '\t')) << line;
        ASSERT_TRUE(std::getline(cols, en, '\t')) << line;
        ASSERT_TRUE(std::getline(cols, zh, '\t')) << line;
        EXPECT_FALSE(std::getline(cols, extra, '\t')) << "extra column: " << line;
        EXPECT_FALSE(en.empty()) << line;
        EXPECT_FALSE(zh.empty()) << line;
        EXPECT_TRUE(seen.insert(std::stoi(id)).second) << "duplicate id " << id;
    }
    EXPECT_EQ(rows, static_cast<int>(Ids().size()));
}

TEST(StringTable, EveryIdExistsInBothLanguages) {
    std::set<int> expected;
    // Our own texts: 2124 and 2126 for the status bar, 2125 for a language
    // that could not be saved, 2127 for a database that may only be read,
    // 2130-2137 for the gap report and the clock check, 2138-2141 for a
    // file that could not be written, 2150-2151 for a second start, 2160-2162
    // for the kinds of file the save dialogs offer, 2170-2183 for MQTT
    // publishing, 2200-2209 for the summaries.
    for (int id = 2000; id <= 2127; ++id) expected.insert(id);
    for (int id = 2130; id <= 2141; ++id) expected.insert(id);
    expected.insert({2150, 2151, 2160, 2161, 2162});
    for (int id = 2170; id <= 2183; ++id) expected.insert(id);
    for (int id = 2200; id <= 2209; ++id) expected.insert(id);
    expected.insert({100, 128, 57344, 57345});
    std::vector<int> ids = Ids();
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()), expected);

    const std::set<int> englishOnly = {100, 128, 57344};
    for (int id : ids) {
        EXPECT_FALSE(Load(id, Language::English).empty()) << id;
        EXPECT_FALSE(Load(id, Language::Chinese).empty()) << id;
        EXPECT_EQ(HasOwnText(id, Language::Chinese), englishOnly.count(id) == 0) << id;
    }
    EXPECT_EQ(Load(57344, Language::Chinese), "Nimbary");  // falls back to English
    EXPECT_EQ(Load(1, Language::English), "");
    EXPECT_FALSE(Exists(1));
}

TEST(StringTable, TextsAreExactIncludingTheirOddities) {
    EXPECT_EQ(Load(2122, Language::English), "Cann not overwrite the file:\n%s");
    EXPECT_EQ(Load(2061, Language::English), "List | Chart");
    EXPECT_EQ(Load(2061, Language::Chinese), "列表 | 图表");
    EXPECT_EQ(Load(2065, Language::Chinese), "退出");
    EXPECT_EQ(Load(2104, Language::Chinese), "退出");
    EXPECT_EQ(Load(2043, Language::Chinese), "室内温度");
    EXPECT_EQ(Load(100, Language::English),
              "OLE initialization failed.  Make sure that the OLE libraries are the correct "
              "version.");
    EXPECT_EQ(Load(128, Language::English),
              "Nimbary\n\nNimbary\n\n\nNimbary.Document\nNimbary.Document");
}

TEST(StringTable, SwitchingLanguageChangesLoadAtOnce) {
    LanguageGuard guard;
    SetLanguage(Language::English);
    EXPECT_EQ(Load(2065), "Cancel");
    SetLanguage(Language::Chinese);
    EXPECT_EQ(CurrentLanguage(), Language::Chinese);
    EXPECT_EQ(Load(2065), "退出");
    EXPECT_EQ(Load(57345), "就绪");
    SetLanguage(Language::English);
    EXPECT_EQ(Load(57345), "Ready");
}

TEST(StringTable, FormatSubstitutesInOrderAndToleratesMissingPlaceholders) {
    LanguageGuard guard;
    SetLanguage(Language::English);
    EXPECT_EQ(Format(2102, {5}), "Create directory failed (5)");
    EXPECT_EQ(Format(2096, {"2026-12-08 10:00", 12}),
              "Read history complete at 2026-12-08 10:00, total read records: 12");
    EXPECT_EQ(Format(2042, {3}), "Channel 3");
    SetLanguage(Language::Chinese);
    EXPECT_EQ(Format(2102, {5}), "建立目录失败");
    EXPECT_EQ(Format(2101, {"/tmp/x"}), "无法拷贝文件：\n/tmp/x");
    EXPECT_EQ(FormatText("100%% %s %d %x", {"a"}), "100% a  %x");
}
