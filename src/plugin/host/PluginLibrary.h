#pragma once

#include <string>

#include "ZQ0093.h"

// libZQ0093.so opened with dlopen and its exports looked up by name.
class PluginLibrary {
public:
    ~PluginLibrary();
    // False with `error` set when the library or one of its exports is missing.
    bool Load(const std::string& path, std::string& error);

    ZQ0093Size (*InitVariant)(QWidget*) = nullptr;
    void (*InitLanguage)(const ZQ0093HostModule*) = nullptr;
    int (*ReadMainRecord)(QPainter*, PluginUnitSet*) = nullptr;
    void (*DrawData)(QPainter*, int) = nullptr;
    int (*OnMouseMove)(uint32_t, int, int) = nullptr;
    int (*OnLButtonUp)(uint32_t, int, int) = nullptr;
    int (*OnLButtonDown)(uint32_t, int, int, QPainter*) = nullptr;
    void (*DeviceRemoveDone)() = nullptr;
    int (*GetUnit)(PluginUnitSet*) = nullptr;
    void (*SetUnit)(const PluginUnitSet*) = nullptr;
    int (*ShowSetting)(const ZQ0093HostModule*, int32_t) = nullptr;
    int (*ShowAlarm)(const ZQ0093HostModule*) = nullptr;
    int (*ShowMaxMin)(const ZQ0093HostModule*) = nullptr;

private:
    void* handle_ = nullptr;
};
