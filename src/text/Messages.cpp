#include "Messages.h"

#include <cstdio>

namespace nimbary {

void StderrMessages::Show(const std::string& text, MessageIcon icon, const std::string& caption) {
    const char* kind = icon == MessageIcon::Error     ? "error: "
                       : icon == MessageIcon::Warning ? "warning: "
                                                      : "";
    if (!caption.empty())
        std::fprintf(stderr, "%s%s: %s\n", kind, caption.c_str(), text.c_str());
    else
        std::fprintf(stderr, "%s%s\n", kind, text.c_str());
}

bool StderrMessages::AskYesNo(const std::string& text, const std::string&) {
    std::fprintf(stderr, "%s (answered No)\n", text.c_str());
    return false;
}

}  // namespace nimbary
