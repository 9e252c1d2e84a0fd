#include "Plugin.h"

#include <QApplication>
#include <QPainter>

#include <dlfcn.h>

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

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// A host may unload the library from a timer while a dialog's event loop
// runs in it, which would pull the code from under the loop. From its first
// dialog on the library stays loaded until the process ends: letting go when
// the dialog closes could itself be the last unload, returning into code that
// is gone.
void StayLoaded() {
    static bool staying = false;
    Dl_info self;
    if (staying || !dladdr(reinterpret_cast<void*>(&StayLoaded), &self) || !self.dli_fname) return;
    staying = dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

// Reads what the dialog shows from the station, then runs it modally with
// the host's texts; the dialog's end code.
template <class Dialog, class... Layout>
int RunDialog(StalinkAccess& station, QWidget* parent, const ZQ0093HostModule* module,
              const Layout&... layout) {
    if (!HaveWidgets()) return ZQ0093_IDCANCEL;
    StayLoaded();
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
    display_.reset();
    if (HaveGui()) {
        if (!cleanupRegistered_) qAddPostRoutine(ReleaseThePluginDisplay);
        cleanupRegistered_ = true;
        display_ = std::make_unique<LiveDisplay>(texts_, PluginDisplayVariant());
        poll_.ShowUnits(*display_, ToUnitSet(station_.Units()));
        display_->LayoutPanels();
        poll_.Forget(*display_);  // the next poll lays out what the station has
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
    if (!station_.ReadSettings() || !station_.ReadCurrent()) return 0;
    if (units) *units = station_.Units();

    const PollStep::Changes changes = poll_.Compare(
        station_.Presence(), ToUnitSet(station_.Units()), station_.Settings().GraphRefresh);
    if (changes.readSeries) {
        if (!ReadSeries()) return 0;  // read again next time
        poll_.SeriesRead();
    }
    if (!display_) return 0;
    if (poll_.Apply(changes, *display_, station_.Image()) == PollStep::Redraw::Relayout)
        return 1;  // the host repaints the whole display
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
    if (display_) poll_.Forget(*display_);
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
    poll_.ShowUnits(*display_, ToUnitSet(*units));
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
