#pragma once

#include <vector>

#include "SaveDialog.h"

namespace nimbary::testing {

// Answers the save dialog with `answer` and keeps what it was asked.
struct CannedSave : SaveDialog {
    QString answer;
    std::vector<SaveRequest> asked;
    QString AskSavePath(QWidget*, const SaveRequest& request) override {
        asked.push_back(request);
        return answer;
    }
};

}  // namespace nimbary::testing
