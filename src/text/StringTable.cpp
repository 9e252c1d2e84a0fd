#include "StringTable.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <sstream>

namespace nimbary::text {
namespace detail {
extern const char* const kStringTableTsv;
}

namespace {

struct Entry {
    std::string english;
    std::string chinese;
    bool hasChinese = false;
};

std::string Unescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

const std::map<int, Entry>& Table() {
    static const std::map<int, Entry> table = [] {
        std::map<int, Entry> t;
        std::istringstream in(detail::kStringTableTsv);
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            size_t tab1 = line.find('\t');
            size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
            if (tab2 == std::string::npos) continue;  // malformed lines are caught by the tests
            Entry e;
            e.english = Unescape(line.substr(tab1 + 1, tab2 - tab1 - 1));
            std::string zh = line.substr(tab2 + 1);
            e.hasChinese = zh != "<fallback>";
            if (e.hasChinese) e.chinese = Unescape(zh);
            t[std::stoi(line.substr(0, tab1))] = std::move(e);
        }
        return t;
    }();
    return table;
}

std::atomic<int> g_language{static_cast<int>(Language::English)};

}  // namespace

void SetLanguage(Language lang) {
    g_language.store(static_cast<int>(lang));
}

Language CurrentLanguage() {
    return static_cast<Language>(g_language.load());
}

std::string Load(int id) {
    return Load(id, CurrentLanguage());
}

std::string Load(int id, Language lang) {
    const auto& t = Table();
    auto it = t.find(id);
    if (it == t.end()) return {};
    if (lang == Language::Chinese && it->second.hasChinese) return it->second.chinese;
    return it->second.english;
}

bool HasOwnText(int id, Language lang) {
    const auto& t = Table();
    auto it = t.find(id);
    if (it == t.end()) return false;
    return lang == Language::English ? true : it->second.hasChinese;
}

bool Exists(int id) {
    return Table().count(id) != 0;
}

std::vector<int> Ids() {
    std::vector<int> ids;
    for (const auto& kv : Table()) ids.push_back(kv.first);
    return ids;
}

std::string FormatText(const std::string& pattern, std::initializer_list<Arg> args) {
    std::string out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            char k = pattern[i + 1];
            if (k == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (k == 's' || k == 'd') {
                if (next != args.end()) out += (next++)->Text();
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string Format(int id, std::initializer_list<Arg> args) {
    return FormatText(Load(id), args);
}

}  // namespace nimbary::text
