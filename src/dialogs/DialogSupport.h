#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <string>

#include "AccessKeyLabels.h"
#include "Parse.h"
#include "TextSource.h"

// What the dialogs share: their texts by the program's string ids (the
// station dialogs from whichever text source they were given), the range
// message, the font their fixed layouts are made for, and the making of
// named controls (their labels' access keys in AccessKeyLabels.h).
namespace nimbary {

QString Text(TextSource& texts, int id);
// From the program's string table, in the language in force.
QString Text(int id);

// "Data Range is %s to %s" (2095) with the given ends.
std::string RangeMessage(TextSource& texts, const std::string& lower, const std::string& upper);
// The same with a parser's range ends in `units`.
std::string RangeMessage(TextSource& texts, RangeQuantity q, bool indoor, const UnitSet& units);

// The dialogs place their controls by pixel, so they bring their own font:
// a Latin face of Arial's metrics, then faces with simplified Chinese.
QFont DialogFont();

// A control with an object name (idc_<id> for the controls that have an id),
// placed at `geometry` inside `parent`, which owns it.
template <class W>
W* Place(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}

inline QString Idc(int id) {
    return QStringLiteral("idc_%1").arg(id);
}
// The label in front of control `id`, which has no id of its own.
inline QString LabelName(int id) {
    return QStringLiteral("label_%1").arg(id);
}

}  // namespace nimbary
