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

}  // namespace nimbary::cli
