#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// The user-interface string table: every text the program shows, by id, in
// English and Chinese (simplified). Texts are UTF-8.
namespace nimbary::text {

enum class Language { English = 0, Chinese = 1 };

// Windows language ids, kept because the plug-in host and main.ini speak them.
constexpr int kLangIdEnglish = 1033;
constexpr int kLangIdChinese = 2052;

// Current user-interface language; switching takes effect for the next Load.
void SetLanguage(Language lang);
Language CurrentLanguage();

// Text of `id` in the current language. An id that has no Chinese text falls
// back to English; an unknown id gives the empty text.
std::string Load(int id);
std::string Load(int id, Language lang);

// True when `id` has a text of its own in `lang` (not a fallback).
bool HasOwnText(int id, Language lang);
// True when `id` exists in the table.
bool Exists(int id);
// Every id of the table, ascending.
std::vector<int> Ids();

// One argument of Format: a text or a whole number.
class Arg {
public:
    Arg(const std::string& s) : text_(s) {}
    Arg(const char* s) : text_(s ? s : "") {}
    Arg(int v) : text_(std::to_string(v)) {}
    Arg(long v) : text_(std::to_string(v)) {}
    Arg(long long v) : text_(std::to_string(v)) {}
    Arg(unsigned v) : text_(std::to_string(v)) {}
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// printf-style substitution of %s and %d with the arguments in order ("%%" is
// a percent sign). Extra arguments are ignored and missing ones give the
// empty text, so a translation with fewer placeholders is safe.
std::string FormatText(const std::string& pattern, std::initializer_list<Arg> args);

// Load(id) used as the pattern of FormatText.
std::string Format(int id, std::initializer_list<Arg> args);

}  // namespace nimbary::text
