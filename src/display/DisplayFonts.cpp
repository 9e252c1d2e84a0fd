#include "DisplayFonts.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace nimbary {

namespace {

// Family names on the heap, never QStringLiteral: Qt's process-wide font
// cache keeps them, and the plug-in that holds this code can be unloaded.
QFont MakeFont(const char* family, const char* metricTwin, int cellHeight) {
    QFont font(QString::fromLatin1(family));
    // Metric-compatible twins first, then faces that carry simplified Chinese.
    font.setFamilies((QString::fromLatin1(family) + ',' + QString::fromLatin1(metricTwin) +
                      QString::fromLatin1(",WenQuanYi Zen Hei,Noto Sans CJK SC,SimSun"))
                         .split(','));
    font.setWeight(QFont::Normal);
    // The largest pixel size whose ascent plus descent still fits the cell.
    int px = std::max(1, cellHeight);
    for (; px > 1; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).height() <= cellHeight) break;
    }
    font.setPixelSize(px);
    return font;
}

}  // namespace

QFont PanelFont(int cellHeight) {
    return MakeFont("Times New Roman", "Liberation Serif", cellHeight);
}

QFont GraphFont() {
    return MakeFont("Arial", "Liberation Sans", 14);
}

}  // namespace nimbary
