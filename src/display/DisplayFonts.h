#pragma once

#include <QFont>

// The display's fonts are given by cell height, the way the layouts were
// designed: a "Times New Roman" font 18 pixels high puts 18 pixels between
// the top of the tallest ascender and the bottom of the deepest descender.
namespace nimbary {

// "Times New Roman" with a line height of at most `cellHeight` pixels, for
// the value panels. The family list names a CJK face after the Latin one, so
// Chinese captions still render where the Latin face has no such glyphs.
QFont PanelFont(int cellHeight = 18);

// "Arial" with a line height of at most 14 pixels for the graphs, with the
// same CJK fallback.
QFont GraphFont();

}  // namespace nimbary
