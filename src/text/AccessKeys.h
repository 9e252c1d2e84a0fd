#pragma once

#include <string>

// Access keys (Alt+letter) of the menus and the dialog labels. The string
// table's texts stay as they are; the key is added where a text is shown,
// from the one table in AccessKeys.cpp, where the keys of each menu and
// dialog are chosen together so that none repeats there.
namespace nimbary::text {

// Where a key is used. Menus name their items by string id; dialogs name a
// label by the id of the control it leads to.
enum class KeyPlace {
    MenuBar,
    FileMenu,
    EditMenu,
    HistoryMenu,
    HelpMenu,
    Setting,
    Alarm,
    Language,
    History,
};

// The Help menu's Debug item, whose text is a literal, not a string id.
constexpr int kDebugItem = 32777;

// The key of `item` at `place`, an upper-case letter, or 0 when it has none.
char AccessKey(KeyPlace place, int item);

// `text` marked with `key` for Qt: in a plain ASCII text that holds the
// letter, an '&' before it (at a word's start where it can be, "Time Zo&ne"
// otherwise); elsewhere, Chinese above all, the letter in brackets after the
// text ("文件(&F)"). Ampersands of the text itself are doubled. A key of 0
// leaves the text as it is.
std::string WithAccessKey(const std::string& text, char key);

// The text as the string table has it: the marking of WithAccessKey undone.
std::string WithoutAccessKey(const std::string& marked);

// Load(id) marked with its key at `place`.
std::string LoadWithKey(KeyPlace place, int id);

}  // namespace nimbary::text
