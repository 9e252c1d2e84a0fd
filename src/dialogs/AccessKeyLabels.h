#pragma once

#include <QLabel>

#include "AccessKeys.h"

namespace nimbary {

// Makes `label` lead to `buddy` (Alt and the key focuses it, or ticks a check
// box) and marks its text with the key of control `item` at `place`.
void SetAccessKey(QLabel* label, QWidget* buddy, text::KeyPlace place, int item);
// The same for every label_<id> of `dialog` with its control idc_<id>.
void SetAccessKeys(QWidget& dialog, text::KeyPlace place);

}  // namespace nimbary
