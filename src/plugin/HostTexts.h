#pragma once

#include <map>
#include <string>
#include <vector>

#include "TextSource.h"
#include "ZQ0093.h"

namespace nimbary {

// The program's texts by id, read from the host's string table under the
// host's ids. Empty for an id the host has no text for, or without a host.
class HostTexts : public TextSource {
public:
    explicit HostTexts(const ZQ0093HostModule* module) : module_(module) {}
    std::string Load(int programId) override;

private:
    const ZQ0093HostModule* module_;
};

// Copies of texts, kept after the host's table is gone.
class TextCopies : public TextSource {
public:
    // Replaces the copies with the texts of `ids` from `from`.
    void Take(TextSource& from, const std::vector<int>& ids);
    std::string Load(int id) override;

private:
    std::map<int, std::string> copies_;
};

}  // namespace nimbary
