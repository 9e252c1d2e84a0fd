// libZQ0093.so: the plug-in's exports. Everything else in the library is
// hidden.
#include "ZQ0093.h"
#include "Plugin.h"

#define ZQ0093_EXPORT __attribute__((visibility("default")))

namespace nimbary {

namespace {
// Made when the library is loaded, gone when it is unloaded.
Plugin g_plugin;
}  // namespace

Plugin& ThePlugin() {
    return g_plugin;
}

}  // namespace nimbary

using nimbary::ThePlugin;

extern "C" {

ZQ0093_EXPORT ZQ0093Size InitVariant(QWidget* window) {
    return ThePlugin().InitVariant(window);
}

ZQ0093_EXPORT void InitLanguage(const ZQ0093HostModule* module) {
    ThePlugin().InitLanguage(module);
}

ZQ0093_EXPORT int ReadMainRecord(QPainter* dc, PluginUnitSet* units) {
    return ThePlugin().ReadMainRecord(dc, units);
}

ZQ0093_EXPORT void DrawData(QPainter* dc, int full) {
    ThePlugin().DrawData(dc, full != 0);
}

ZQ0093_EXPORT int OnMouseMove(uint32_t, int x, int y) {
    return ThePlugin().HitLegend(x, y);
}

// The same entry under the second name.
ZQ0093_EXPORT int OnLButtonUp(uint32_t, int, int) __attribute__((alias("OnMouseMove")));

ZQ0093_EXPORT int OnLButtonDown(uint32_t, int x, int y, QPainter* dc) {
    return ThePlugin().ToggleAt(x, y, dc);
}

ZQ0093_EXPORT void DeviceRemoveDone(void) {
    ThePlugin().DeviceRemoveDone();
}

ZQ0093_EXPORT int GetUnit(PluginUnitSet* units) {
    return ThePlugin().GetUnit(units);
}

ZQ0093_EXPORT void SetUnit(const PluginUnitSet* units) {
    ThePlugin().SetUnit(units);
}

ZQ0093_EXPORT int ShowSetting(const ZQ0093HostModule* module, int32_t) {
    return ThePlugin().ShowSetting(module);
}

ZQ0093_EXPORT int ShowAlarm(const ZQ0093HostModule* module) {
    return ThePlugin().ShowAlarm(module);
}

ZQ0093_EXPORT int ShowMaxMin(const ZQ0093HostModule* module) {
    return ThePlugin().ShowMaxMin(module);
}

}  // extern "C"
