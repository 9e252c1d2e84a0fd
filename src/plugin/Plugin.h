#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "HostTexts.h"
#include "LiveDisplay.h"
#include "PollStep.h"
#include "StalinkAccess.h"
#include "ZQ0093.h"

class QPainter;

namespace nimbary {

// The plug-in's process-wide state and what its exports do with it.
class Plugin {
public:
    Plugin() = default;
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    ZQ0093Size InitVariant(QWidget* window);
    void InitLanguage(const ZQ0093HostModule* module);
    int ReadMainRecord(QPainter* dc, PluginUnitSet* units);
    void DrawData(QPainter* dc, bool full);
    int HitLegend(int x, int y) const;
    int ToggleAt(int x, int y, QPainter* dc);
    void DeviceRemoveDone();
    int GetUnit(PluginUnitSet* units) const;
    void SetUnit(const PluginUnitSet* units);
    int ShowSetting(const ZQ0093HostModule* module);
    int ShowAlarm(const ZQ0093HostModule* module);
    int ShowMaxMin(const ZQ0093HostModule* module);

    // Drops the display's surfaces and fonts while Qt is still there.
    void ReleaseDisplay() { display_.reset(); }

private:
    // Every series the presence names; false at the first that fails.
    bool ReadSeries();
    void Refill(bool allSeries);

    StalinkAccess station_;
    TextCopies texts_;
    std::unique_ptr<LiveDisplay> display_;
    QPointer<QWidget> window_;
    PollStep poll_;
    bool cleanupRegistered_ = false;
};

// The state of this process, made when the library is loaded.
Plugin& ThePlugin();

// The display's look in the plug-in.
DisplayVariant PluginDisplayVariant();

}  // namespace nimbary
