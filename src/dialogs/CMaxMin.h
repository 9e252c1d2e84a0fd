#pragma once

#include <QDialog>

#include "MaxMinLayout.h"
#include "Messages.h"
#include "StationAccess.h"
#include "TextSource.h"

class QPushButton;

namespace nimbary {

// The station's recorded maxima and minima, painted into the fixed boxes of
// a layout table, and their reset on the station.
class CMaxMin : public QDialog {
    Q_OBJECT
public:
    // `readOk`: whether the max/min read before opening succeeded; without it
    // Reset is disabled. `layout` outlives the dialog.
    CMaxMin(StationAccess& station, TextSource& texts, Messages& messages, bool readOk,
            const MaxMinLayout& layout = MaxMinLayout::Program(), QWidget* parent = nullptr);

    // What the dialog shows, read from the station before it opens.
    static bool ReadStation(StationAccess& station) { return station.ReadMaxMin() != 0; }

private:
    class Canvas;
    void OnReset();

    StationAccess& station_;
    TextSource& texts_;
    Messages& messages_;
    const MaxMinLayout& layout_;
    const UnitSet units_;
    const bool rain_;
    QWidget* canvas_ = nullptr;
};

}  // namespace nimbary
