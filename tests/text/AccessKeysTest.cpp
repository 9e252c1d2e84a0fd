#include <gtest/gtest.h>

#include "AccessKeys.h"
#include "StringTable.h"

using namespace nimbary::text;

TEST(AccessKeys, MarkedInPlaceInEnglishAndInBracketsElsewhere) {
    struct Case {
        const char* text;
        char key;
        const char* marked;
    };
    const Case cases[] = {
        {"File", 'F', "&File"},
        {"Exit", 'X', "E&xit"},
        {"Indoor Humidity", 'H', "Indoor &Humidity"},  // a word's start before an earlier h
        {"Time Zone", 'N', "Time Zo&ne"},              // no word starts with it
        {"Time Radio", 'K', "Time Radio(&K)"},         // not in the text
        {"文件", 'F', "文件(&F)"},
        {"关于 Nimbary", 'A', "关于 Nimbary(&A)"},  // Chinese, though its Latin part holds an a
        {"R&D", 'D', "R&&&D"},                      // the text's own ampersand stays one
        {"Tom & Jerry", 'J', "Tom && &Jerry"},
        {"Channel Circle", 0, "Channel Circle"},
        {"", 'F', "(&F)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithAccessKey(c.text, c.key), c.marked) << c.text;
        EXPECT_EQ(WithoutAccessKey(c.marked), c.text) << c.marked;
    }
    // A literal after the key, as the language dialog adds its colon.
    EXPECT_EQ(WithoutAccessKey(WithAccessKey("语言", 'L') + ":"), "语言:");
}

TEST(AccessKeys, LoadedTextsCarryTheirPlacesKeyInTheLanguageInForce) {
    EXPECT_EQ(AccessKey(KeyPlace::MenuBar, 2111), 'S');
    EXPECT_EQ(AccessKey(KeyPlace::FileMenu, 2111), 0);  // keys belong to their place
    EXPECT_EQ(AccessKey(KeyPlace::Setting, 1142), 0);   // never shown
    EXPECT_EQ(LoadWithKey(KeyPlace::MenuBar, 2111), "Hi&story");
    SetLanguage(Language::Chinese);
    EXPECT_EQ(LoadWithKey(KeyPlace::MenuBar, 2111), "历史(&S)");
    SetLanguage(Language::English);
}
