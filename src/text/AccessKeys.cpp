#include "AccessKeys.h"

#include <cctype>

#include "StringTable.h"

namespace nimbary::text {

namespace {

struct Key {
    KeyPlace place;
    int item;
    char key;
};

// Every access key of the program and of zq0093-host. The English texts
// decide the letters (a letter of the text where one is free); the Chinese
// texts show the same letters in brackets.
constexpr Key kKeys[] = {
    // The menu bar: File, Edit, History (Hi&story, as browsers have it), Help.
    {KeyPlace::MenuBar, 2103, 'F'},
    {KeyPlace::MenuBar, 2106, 'E'},
    {KeyPlace::MenuBar, 2111, 'S'},
    {KeyPlace::MenuBar, 2113, 'H'},
    {KeyPlace::FileMenu, 2104, 'X'},  // E&xit, with Ctrl+Q
    {KeyPlace::EditMenu, 2107, 'S'},
    {KeyPlace::EditMenu, 2108, 'A'},
    {KeyPlace::EditMenu, 2109, 'M'},
    {KeyPlace::EditMenu, 2110, 'L'},
    {KeyPlace::HistoryMenu, 2063, 'V'},
    {KeyPlace::HistoryMenu, 2115, 'M'},
    {KeyPlace::HelpMenu, 2114, 'A'},
    {KeyPlace::HelpMenu, kDebugItem, 'D'},

    // Setting: 23 labels, and their English texts hold only 22 distinct
    // letters that can be told apart, so Time Radio takes K (for clock) in
    // brackets. Channel Circle (1142) is never shown and has none.
    {KeyPlace::Setting, 1131, 'T'},  // Temperature (unit)
    {KeyPlace::Setting, 1132, 'P'},  // Pressure (unit)
    {KeyPlace::Setting, 1133, 'W'},  // Wind
    {KeyPlace::Setting, 1134, 'R'},  // Rainfall (unit)
    {KeyPlace::Setting, 1135, 'I'},  // Time
    {KeyPlace::Setting, 1136, 'G'},  // Graph
    {KeyPlace::Setting, 1137, 'F'},  // Graph Format
    {KeyPlace::Setting, 1138, 'L'},  // Rainfall (display)
    {KeyPlace::Setting, 1139, 'M'},  // Time Format
    {KeyPlace::Setting, 1140, 'D'},  // Date Format
    {KeyPlace::Setting, 1141, 'E'},  // Pressure (display)
    {KeyPlace::Setting, 1143, 'A'},  // Auto
    {KeyPlace::Setting, 1144, 'B'},  // Bright
    {KeyPlace::Setting, 1145, 'C'},  // Color By
    {KeyPlace::Setting, 1120, 'O'},  // Lower
    {KeyPlace::Setting, 1121, 'U'},  // Upper
    {KeyPlace::Setting, 1147, 'H'},  // Weather
    {KeyPlace::Setting, 1148, 'S'},  // Storm
    {KeyPlace::Setting, 1152, 'X'},  // Max / Min
    {KeyPlace::Setting, 1154, 'Z'},  // Buzzer
    {KeyPlace::Setting, 1149, 'N'},  // Time Zone
    {KeyPlace::Setting, 1150, 'K'},  // Time Radio
    {KeyPlace::Setting, 1151, 'V'},  // Daylight Saving

    // Alarm: each row's label leads to the row's first check box.
    {KeyPlace::Alarm, 1025, 'T'},  // Indoor Temperature
    {KeyPlace::Alarm, 1032, 'H'},  // Indoor Humidity
    {KeyPlace::Alarm, 1039, 'O'},  // Outdoor Temperature
    {KeyPlace::Alarm, 1046, 'U'},  // Outdoor Humidity
    {KeyPlace::Alarm, 1053, 'D'},  // Dew Point
    {KeyPlace::Alarm, 1060, 'F'},  // Feels Like
    {KeyPlace::Alarm, 1067, 'A'},  // Absolute Pressure
    {KeyPlace::Alarm, 1074, 'R'},  // Relative Pressure
    {KeyPlace::Alarm, 1081, 'W'},  // Wind
    {KeyPlace::Alarm, 1085, 'G'},  // Gust
    {KeyPlace::Alarm, 1089, 'N'},  // Rain Hour
    {KeyPlace::Alarm, 1093, 'Y'},  // Rain Day
    {KeyPlace::Alarm, 1097, 'M'},  // Alarm Time

    {KeyPlace::Language, 1117, 'L'},

    // The history browser; Update is F5 and Export Ctrl+E besides.
    {KeyPlace::History, 1008, 'S'},  // Start Time
    {KeyPlace::History, 1009, 'E'},  // End Time
    {KeyPlace::History, 1159, 'I'},  // ID
    {KeyPlace::History, 1158, 'C'},  // Chart
};

bool IsPlainAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Where `key` goes in `text`: at a word's start if it can, else its first
// place; npos when the text does not hold it.
size_t KeyPosition(const std::string& text, char key) {
    size_t first = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != key) continue;
        if (i == 0 || text[i - 1] == ' ') return i;
        if (first == std::string::npos) first = i;
    }
    return first;
}

}  // namespace

char AccessKey(KeyPlace place, int item) {
    for (const Key& k : kKeys)
        if (k.place == place && k.item == item) return k.key;
    return 0;
}

std::string WithAccessKey(const std::string& text, char key) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += '&';
        out += c;
    }
    if (!key) return out;
    const size_t at = IsPlainAscii(text) ? KeyPosition(out, key) : std::string::npos;
    if (at == std::string::npos) return out + "(&" + key + ")";
    return out.insert(at, 1, '&');
}

std::string WithoutAccessKey(const std::string& marked) {
    // The bracketed form may have a literal after it ("语言(&L):").
    std::string s = marked;
    for (size_t at = s.find("(&"); at != std::string::npos; at = s.find("(&", at + 1))
        if (at + 3 < s.size() && std::isupper(static_cast<unsigned char>(s[at + 2])) &&
            s[at + 3] == ')') {
            s.erase(at, 4);
            break;
        }
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;  // "&x" gives x, "&&" gives &
        out += s[i];
    }
    return out;
}

std::string LoadWithKey(KeyPlace place, int id) {
    return WithAccessKey(Load(id), AccessKey(place, id));
}

}  // namespace nimbary::text
