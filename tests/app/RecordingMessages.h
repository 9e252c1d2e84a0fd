#pragma once

#include <string>
#include <vector>

#include "Messages.h"

namespace nimbary {

// Records what would have been shown, and answers questions as told.
class RecordingMessages : public Messages {
public:
    struct Shown {
        std::string text;
        MessageIcon icon;
        std::string caption;
    };
    std::vector<Shown> shown;
    std::vector<std::string> asked;
    bool answer = false;

    void Show(const std::string& text, MessageIcon icon, const std::string& caption) override {
        shown.push_back({text, icon, caption});
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        asked.push_back(text);
        return answer;
    }
};

}  // namespace nimbary
