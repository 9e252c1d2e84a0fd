#pragma once

#include <QRect>

namespace nimbary {

// The history browser's view modes, in the order of their buttons; the
// Summary view takes the whole working area.
enum ViewMode : int {
    VIEW_LIST = 0,
    VIEW_CHART = 1,
    VIEW_LIST_CHART = 2,
    VIEW_CHART_LIST = 3,
    VIEW_SUMMARY = 4
};

// Where the list, the chart and the splitter bar go. The working area is the
// client rectangle less 10 pixels left, 100 top, 10 right and 10 bottom, its
// right and bottom edges exclusive; the splitter position is its left (mode
// 2) or top (mode 3) edge.
struct BrowserLayout {
    int left = 0, top = 0, right = 0, bottom = 0;

    static BrowserLayout ForClient(int width, int height);

    struct Placement {
        QRect list, chart, splitter, summary;
        bool listShown = false, chartShown = false, splitterShown = false, summaryShown = false;
    };
    Placement Place(int mode, int splitterX, int splitterY) const;

    // The splitter position while dragging with the mouse at `mouse`: 4
    // pixels left of (above) it, kept 200 (150) pixels inside the area.
    int DragX(int mouseX) const { return ClampX(mouseX - 4); }
    int DragY(int mouseY) const { return ClampY(mouseY - 4); }
    // A splitter position kept within those margins (the middle of an area
    // too small for both).
    int ClampX(int x) const;
    int ClampY(int y) const;

    static constexpr int kBarWidth = 8;
    static constexpr int kMarginX = 200;
    static constexpr int kMarginY = 150;
};

}  // namespace nimbary
