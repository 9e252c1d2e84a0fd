#pragma once

#include <QColor>
#include <QPainter>
#include <string>

#include "MaxMinLayout.h"
#include "StationData.h"
#include "TextSource.h"

namespace nimbary {

namespace maxmin {
inline const QColor kBoxPen(164, 201, 227);
inline const QColor kBoxFill(245, 245, 245);
inline const QColor kMax(255, 0, 0);
inline const QColor kMin(0, 0, 255);
}  // namespace maxmin

// The text of one value box: value and unit, empty for an unreported field.
std::string MaxMinValueText(const MaxMinRecord& r, const MaxMinValue& v, const UnitSet& units);

// Paints a layout's header boxes, labels, value boxes and legend. Whatever
// belongs to the rain group is left out without rain.
void PaintMaxMin(QPainter& p, const MaxMinLayout& layout, const MaxMinRecord& record,
                 const UnitSet& units, TextSource& texts, bool rain);

}  // namespace nimbary
