#pragma once

#include <QColor>
#include <array>

namespace nimbary::colors {

inline const QColor kBackground(242, 242, 242);  // view background, panel corners
inline const QColor kPanelBody(250, 250, 250);   // also the graph corners
inline const QColor kBorder(160, 160, 160);
inline const QColor kCaptionBand(240, 240, 240);
inline const QColor kLabelBand(245, 245, 245);
inline const QColor kPanelText(34, 34, 34);
inline const QColor kGraphInside(255, 255, 255);
inline const QColor kGrid(242, 242, 242);
inline const QColor kGraphText(108, 108, 108);

// One colour per series, in series order; every graph takes from the front.
inline const std::array<QColor, 9> kSeries = {
    QColor(0, 204, 255),   QColor(0, 102, 255),   QColor(90, 192, 148),
    QColor(100, 218, 247), QColor(128, 202, 157), QColor(213, 159, 66),
    QColor(93, 85, 218),   QColor(122, 55, 185),  QColor(38, 19, 136)};

}  // namespace nimbary::colors
