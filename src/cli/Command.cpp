#include "Command.h"

#include <cstdio>

namespace nimbary::cli {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "nimbary-cli: %s\n", text.c_str());
}

int UsageError(const std::string& command, const std::string& text) {
    std::fprintf(stderr, "nimbary-cli %s: %s\n", command.c_str(), text.c_str());
    return kExitUsage;
}

std::string LanguageArg(const std::string& lang, bool given, text::Language& out) {
    if (!given || lang == "en")
        out = text::Language::English;
    else if (lang == "zh")
        out = text::Language::Chinese;
    else
        return "--lang takes en or zh, not '" + lang + "'";
    return "";
}

}  // namespace nimbary::cli
