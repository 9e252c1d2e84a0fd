#pragma once

#include <vector>

#include "Box.h"

// Row placement inside a value panel, kept apart from painting.
namespace nimbary {

constexpr int kPanelCaptionLine = 35;  // the line under the caption band
constexpr int kPanelBodyTop = 36;
constexpr int kPanelBottomMargin = 8;

struct PanelRowSize {
    int labelWidth = 0;
    int labelHeight = 0;
    int valueWidth = 0;
    int valueHeight = 0;
};

struct PanelRowPlace {
    Box band;  // label band of the two-line layout; empty in the one-line layout
    Box label;
    Box value;
    int labelAlign = 0;  // Qt::Alignment flags
    int valueAlign = 0;
};

struct PanelLayout {
    bool twoLine = false;
    std::vector<PanelRowPlace> rows;
};

// Places the visible rows of a panel of `width` x `height`: label and value
// on one line when both fit side by side, else the label in a band above its
// value. Rows are centred vertically in the body. Two-line rows too tall
// for the body go on one line when that fits across, else close up their
// spacing to stay inside the panel, and never start above the body.
PanelLayout LayoutPanelRows(int width, int height, const std::vector<PanelRowSize>& visibleRows);

// The plug-in's columns over a layout of the same rows, which keep their
// vertical places. One line: a block LW + VW + 13 wide, centred, with the
// label left-aligned in its first LW + 5 pixels and the value right-aligned
// in VW pixels after a gap of 2. Two lines: label band and value in a box as
// wide as the widest text plus 5, from (width - widest text) / 2.
void UseNarrowColumns(PanelLayout& layout, int width, const std::vector<PanelRowSize>& visibleRows);

}  // namespace nimbary
