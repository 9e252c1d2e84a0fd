#include "PanelGeometry.h"

#include <Qt>
#include <algorithm>

namespace nimbary {

PanelLayout LayoutPanelRows(int width, int height, const std::vector<PanelRowSize>& visibleRows) {
    PanelLayout layout;
    const int m = int(visibleRows.size());
    int lw = 0, lh = 0, vw = 0, vh = 0;
    for (const PanelRowSize& r : visibleRows) {
        lw = std::max(lw, r.labelWidth);
        lh = std::max(lh, r.labelHeight);
        vw = std::max(vw, r.valueWidth);
        vh = std::max(vh, r.valueHeight);
    }
    const int bodyBottom = height - kPanelBottomMargin;
    const int room = height - kPanelBodyTop;  // from the caption line to the bottom border
    int f = lh + vh + 12;
    layout.twoLine = width < lw + vw + 13;
    // Two-line rows that would climb over the caption (five rain rows with a
    // three-digit total) go on one line instead whenever label and value
    // still fit between the borders.
    if (layout.twoLine && f * m > room && lw + vw + 5 <= width - 2) layout.twoLine = false;
    layout.rows.reserve(m);

    if (layout.twoLine) {
        // Rows still too tall (five rain rows with a total of 1000.0 mm and
        // more) give up some of the 12 pixels around label and value, so the
        // last one stays above the bottom border.
        if (m > 0 && f * m > room) f = std::max(lh + vh, room / m);
        const int pad = f - lh - vh;
        const int bandPad = pad * 8 / 12;  // 8 pixels in the label band, 3 below it
        const int valueTop = lh + bandPad + pad * 3 / 12;
        int top = kPanelBodyTop + (bodyBottom - f * m - kPanelBodyTop + 8) / 2;
        top = std::max(top, kPanelBodyTop);
        for (int i = 0; i < m; ++i) {
            PanelRowPlace row;
            row.band = Box{1, top, width - 1, top + lh + bandPad};
            row.label = row.band;
            row.labelAlign = Qt::AlignCenter;
            row.value = Box{1, top + valueTop, width - 1, top + valueTop + vh};
            row.valueAlign = Qt::AlignCenter;
            layout.rows.push_back(row);
            top += f;
        }
    } else {
        int top = kPanelBodyTop + (bodyBottom - (lh + 8) * m - kPanelBodyTop + 8) / 2;
        const int left = (width - lw - vw - 5) / 2;
        for (int i = 0; i < m; ++i) {
            PanelRowPlace row;
            row.label = Box{left, top, left + lw + vw + 5, bodyBottom};
            row.value = row.label;
            row.labelAlign = Qt::AlignLeft | Qt::AlignTop;
            row.valueAlign = Qt::AlignRight | Qt::AlignTop;
            layout.rows.push_back(row);
            top += lh + 8;
        }
    }
    return layout;
}

void UseNarrowColumns(PanelLayout& layout, int width,
                      const std::vector<PanelRowSize>& visibleRows) {
    int lw = 0, vw = 0;
    for (const PanelRowSize& r : visibleRows) {
        lw = std::max(lw, r.labelWidth);
        vw = std::max(vw, r.valueWidth);
    }
    // Never left of the border, should the widest texts only just fit.
    if (layout.twoLine) {
        const int widest = std::max(lw, vw);
        const int left = std::max(0, (width - widest) / 2);
        for (PanelRowPlace& row : layout.rows)
            for (Box* b : {&row.band, &row.label, &row.value}) {
                b->left = left;
                b->right = left + widest + 5;
            }
    } else {
        const int left = std::max(0, (width - lw - vw - 13) / 2);
        for (PanelRowPlace& row : layout.rows) {
            row.label.left = left;
            row.label.right = left + lw + 5;
            row.value.left = left + lw + 7;
            row.value.right = left + lw + 7 + vw;
        }
    }
}

}  // namespace nimbary
