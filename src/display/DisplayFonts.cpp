#include "DisplayFonts.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace nimbary {

namespace {

QFont MakeFont(const QString& family, const QString& metricTwin, int cellHeight) {
    QFont font(family);
    // Metric-compatible twins first, then faces that carry simplified Chinese.
    font.setFamilies({family, metricTwin, QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("SimSun")});
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
    return MakeFont(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                    cellHeight);
}

QFont GraphFont() {
    return MakeFont(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), 14);
}

}  // namespace nimbary
