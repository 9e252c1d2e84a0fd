#include "Plugin.h"

#include <QApplication>
#include <QPainter>
#include <cstring>

#include "CAlarm.h"
#include "CMaxMin.h"
#include "CSetting.h"
#include "Protocol.h"
#include "QtMessages.h"

namespace nimbary {

namespace {

// The caption of the plug-in's own message boxes (not a QStringLiteral,
// whose data would go with the library while Qt might still hold it).
const char* const kCaption = "ZQ0093";

bool SameUnits(const PluginUnitSet& a, const PluginUnitSet& b) {
    return a.Temperature == b.Temperature && a.Pressure == b.Pressure && a.Wind == b.Wind &&
           a.Rain == b.Rain;
}

// Settings compared as the station holds them, so fields that decode alike
// are alike.
bool SameSettings(const StationSettings& a, const StationSettings& b) {
    uint8_t x[kSettingsBlockSize] = {}, y[kSettingsBlockSize] = {};
    EncodeSettingsBlock(a, x);
    EncodeSettingsBlock(b, y);
    return std::memcmp(x, y, kSettingsBlockSize) == 0;
}

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// Reads what the dialog shows from the station, then runs it modally with
// the host's texts; the dialog's end code.
template <class Dialog, class... Layout>
int RunDialog(StalinkAccess& station, QWidget* parent, const ZQ0093HostModule* module,
              const Layout&... layout) {
    if (!HaveWidgets()) return ZQ0093_IDCANCEL;
    HostTexts texts(module);
    QtMessages messages(parent, QString::fromLatin1(kCaption));
    const bool readOk = Dialog::ReadStation(station);
    Dialog dialog(station, texts, messages, readOk, layout..., parent);
    return dialog.exec() == QDialog::Accepted ? ZQ0093_IDOK : ZQ0093_IDCANCEL;
}

// Run by Qt as its application object goes, if that comes before unloading.
void ReleaseThePluginDisplay() {
    ThePlugin().ReleaseDisplay();
}

}  // namespace

DisplayVariant PluginDisplayVariant() {
    DisplayVariant v;
    v.panel.captionBand = QColor(248, 248, 248);
    v.panel.labelText = QColor(34, 34, 34);
    v.panel.valueText = QColor(82, 82, 82);
    v.panel.fontHeight = 16;
    v.panel.narrowColumns = true;
    for (int k = 0; k < kChannels; ++k) {
        v.channelSeries[k] = "CH" + std::to_string(k + 1);
        v.channelRows[k] = v.channelSeries[k] + ":";
    }
    return v;
}

Plugin::~Plugin() {
    if (cleanupRegistered_) qRemovePostRoutine(ReleaseThePluginDisplay);
}

ZQ0093Size Plugin::InitVariant(QWidget* window) {
    window_ = window;
    rainLaidOut_ = false;
    display_.reset();
    if (HaveGui()) {
        if (!cleanupRegistered_) qAddPostRoutine(ReleaseThePluginDisplay);
        cleanupRegistered_ = true;
        display_ = std::make_unique<LiveDisplay>(texts_, PluginDisplayVariant());
        display_->SetUnits(ToUnitSet(station_.Units()));
        display_->SetPresence(station_.Presence());
        display_->RelayoutForRain(false);
        display_->LayoutPanels();
        Refill(true);
    }
    return ZQ0093Size{kDisplayWidth, kDisplayHeight};
}

void Plugin::InitLanguage(const ZQ0093HostModule* module) {
    HostTexts host(module);
    texts_.Take(host, LiveDisplay::TextIds());
    if (display_) display_->ReloadTexts();
}

bool Plugin::ReadSeries() {
    for (const GraphRequest& r : GraphRefreshOrder(station_.Presence()))
        if (!station_.ReadGraph(r.type, r.index)) return false;
    return true;
}

void Plugin::Refill(bool allSeries) {
    display_->UpdateTexts(station_.Image());
    if (allSeries)
        display_->LoadSeries(station_.Image());
    else
        display_->UpdateCurrentPoints(station_.Image());
}

int Plugin::ReadMainRecord(QPainter* dc, PluginUnitSet* units) {
    const PresenceBlock presence = station_.Presence();
    const PluginUnitSet oldUnits = station_.Units();
    const StationSettings settings = station_.Settings();
    if (!station_.ReadSettings() || !station_.ReadCurrent()) return 0;
    if (units) *units = station_.Units();

    const bool presenceChanged = station_.Presence() != presence;
    const bool settingsChanged =
        !SameUnits(oldUnits, station_.Units()) || !SameSettings(settings, station_.Settings());
    bool seriesRead = false;
    if (presenceChanged || station_.Settings().GraphRefresh || refreshPending_) {
        // Until every series is in, each poll starts the refresh again.
        refreshPending_ = true;
        if (!ReadSeries()) return 0;
        refreshPending_ = false;
        seriesRead = true;
    }
    if (!display_) return 0;

    display_->SetPresence(station_.Presence());
    display_->SetUnits(ToUnitSet(station_.Units()));
    if (presenceChanged || settingsChanged) display_->UpdateAxisLimits();
    const bool rain = station_.Presence().Flags & QF_RAIN;
    if (rain != rainLaidOut_) {
        rainLaidOut_ = rain;
        display_->RelayoutForRain(rain);
        Refill(true);
        return 1;  // the host repaints the whole display
    }
    Refill(seriesRead || presenceChanged || settingsChanged);
    DrawData(dc, true);
    return 0;
}

void Plugin::DrawData(QPainter* dc, bool full) {
    if (dc && display_) display_->DrawAll(*dc, full);
}

int Plugin::HitLegend(int x, int y) const {
    return display_ && display_->HitLegend(x, y) ? 1 : 0;
}

int Plugin::ToggleAt(int x, int y, QPainter* dc) {
    MiniGraph* graph = display_ ? display_->ToggleAt(x, y) : nullptr;
    if (!graph) return 0;
    if (dc) graph->Draw(*dc, true);
    return 1;
}

void Plugin::DeviceRemoveDone() {
    station_.Image().Presence = PresenceBlock();
    rainLaidOut_ = false;
    if (!display_) return;
    display_->SetPresence(PresenceBlock());
    display_->RelayoutForRain(false);
    display_->ApplyPresence();
}

int Plugin::GetUnit(PluginUnitSet* units) const {
    if (!units) return 0;
    if (SameUnits(*units, station_.Units())) return 1;
    *units = station_.Units();
    return 0;
}

void Plugin::SetUnit(const PluginUnitSet* units) {
    if (!units) return;
    station_.Units() = *units;
    if (!display_) return;
    display_->SetUnits(ToUnitSet(*units));
    display_->UpdateAxisLimits();
    Refill(true);
}

int Plugin::ShowSetting(const ZQ0093HostModule* module) {
    return RunDialog<CSetting>(station_, window_, module);
}

int Plugin::ShowAlarm(const ZQ0093HostModule* module) {
    return RunDialog<CAlarm>(station_, window_, module);
}

int Plugin::ShowMaxMin(const ZQ0093HostModule* module) {
    return RunDialog<CMaxMin>(station_, window_, module, MaxMinLayout::EightChannels());
}

}  // namespace nimbary
