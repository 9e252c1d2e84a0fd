#pragma once

#include <string>
#include <vector>

#include "Messages.h"

namespace nimbary::testing {

// Keeps every message instead of showing it.
class RecordingMessages : public Messages {
public:
    std::vector<std::string> texts;
    void Show(const std::string& text, MessageIcon, const std::string&) override {
        texts.push_back(text);
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        texts.push_back(text);
        return false;
    }
};

}  // namespace nimbary::testing
