#include "BrowserLayout.h"

namespace nimbary {

namespace {

// From left/top edges and exclusive right/bottom edges.
QRect Span(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

BrowserLayout BrowserLayout::ForClient(int width, int height) {
    return BrowserLayout{10, 100, width - 10, height - 10};
}

BrowserLayout::Placement BrowserLayout::Place(int mode, int sx, int sy) const {
    Placement p;
    switch (mode) {
        case VIEW_LIST:
            p.list = Span(left, top, right, bottom);
            p.listShown = true;
            break;
        case VIEW_CHART:
            p.chart = Span(left, top, right, bottom);
            p.chartShown = true;
            break;
        case VIEW_LIST_CHART:
            p.list = QRect(left, top, sx - left + 1, bottom - top);
            p.splitter = QRect(sx, top, kBarWidth, bottom - top);
            p.chart = Span(sx + 7, top, right, bottom);
            p.listShown = p.chartShown = p.splitterShown = true;
            break;
        case VIEW_CHART_LIST:
            p.chart = QRect(left, top, right - left, sy - top + 1);
            p.splitter = QRect(left, sy, right - left, kBarWidth);
            p.list = Span(left, sy + 7, right, bottom);
            p.listShown = p.chartShown = p.splitterShown = true;
            break;
        case VIEW_SUMMARY:
            p.summary = Span(left, top, right, bottom);
            p.summaryShown = true;
            break;
        default:
            break;
    }
    return p;
}

namespace {

int Clamp(int v, int low, int high) {
    if (high < low) return (low + high) / 2;
    return v < low ? low : v > high ? high : v;
}

}  // namespace

int BrowserLayout::ClampX(int x) const {
    return Clamp(x, left + kMarginX, right - kMarginX);
}

int BrowserLayout::ClampY(int y) const {
    return Clamp(y, top + kMarginY, bottom - kMarginY);
}

}  // namespace nimbary
