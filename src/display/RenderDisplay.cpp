#include "RenderDisplay.h"

#include <QPainter>

#include "DisplayColors.h"
#include "LiveDisplay.h"

namespace nimbary {

QImage RenderDisplay(const StationData& station, const UnitSet& units, TextSource& texts) {
    LiveDisplay display(texts);
    display.SetPresence(station.Presence);
    display.SetUnits(units);
    display.RelayoutForRain(station.Presence.Flags & QF_RAIN);
    display.LayoutPanels();
    display.UpdateTexts(station);
    display.LoadSeries(station);

    QImage image(kDisplayWidth, kDisplayHeight, QImage::Format_RGB32);
    image.fill(colors::kBackground);
    QPainter painter(&image);
    display.DrawAll(painter, true);
    return image;
}

int RenderDisplayToPng(const StationData& station, const UnitSet& units, TextSource& texts,
                       const std::string& path) {
    const QImage image = RenderDisplay(station, units, texts);
    return image.save(QString::fromStdString(path), "PNG") ? 1 : 0;
}

}  // namespace nimbary
