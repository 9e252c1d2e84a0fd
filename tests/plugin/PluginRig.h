#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "CaptureFile.h"
#include "StringTable.h"
#include "ZQ0093.h"
#include "stalink.h"

namespace nimbary::testing {

// The host's string table for the tests: the program's English texts under
// the host's ids, and every id the plug-in asked for.
struct RecordingHost {
    ZQ0093HostModule module{this, &RecordingHost::Lookup};
    std::set<int> asked;
    bool silent = false;  // a host with no texts at all

    static int Lookup(void* context, int id, char* buffer, int size);
};

// libZQ0093.so loaded with dlopen against a simulated station of its own,
// every report of the session captured, and its exports bound by name. The
// tests' libstalink.so is loaded first, so the plug-in takes it for its own
// and the tests reach the simulated station through its controls.
class PluginRig {
public:
    // `simOptions` go after "--simulate" into NIMBARY_STALINK.
    explicit PluginRig(const std::string& simOptions = "");
    ~PluginRig();

    template <class F>
    F Bind(const char* name, void* handle = nullptr) {
        void* p = dlsym(handle ? handle : plugin_, name);
        EXPECT_NE(p, nullptr) << name;
        return reinterpret_cast<F>(p);
    }
    // What the host does when it lets the plug-in go.
    void UnloadPlugin();

    // InitVariant without a window, then InitLanguage with the host.
    void Start();
    // One ReadMainRecord on the image.
    int Poll();
    // A fresh full drawing on the view's background.
    QImage Draw();
    // The graph series requested so far, as (type, index).
    std::vector<std::pair<int, int>> GraphRequests() const;
    // Every request frame so far.
    std::vector<std::vector<uint8_t>> Requests() const;

    RecordingHost host;
    QImage image{1170, 690, QImage::Format_RGB32};
    PluginUnitSet units{};

    ZQ0093Size (*InitVariant)(QWidget*);
    void (*InitLanguage)(const ZQ0093HostModule*);
    int (*ReadMainRecord)(QPainter*, PluginUnitSet*);
    void (*DrawData)(QPainter*, int);
    int (*OnMouseMove)(uint32_t, int, int);
    int (*OnLButtonUp)(uint32_t, int, int);
    int (*OnLButtonDown)(uint32_t, int, int, QPainter*);
    void (*DeviceRemoveDone)();
    int (*GetUnit)(PluginUnitSet*);
    void (*SetUnit)(const PluginUnitSet*);
    int (*ShowSetting)(const ZQ0093HostModule*, int32_t);
    int (*ShowAlarm)(const ZQ0093HostModule*);
    int (*ShowMaxMin)(const ZQ0093HostModule*);
    // The tests' libstalink.so: the maker's settings functions and the
    // simulated station's controls.
    int (*UsbReadParam)(unsigned char*, unsigned char);
    int (*UsbWriteParam)(unsigned char*, unsigned char);
    int (*SimPlug)(int);
    int (*SimPresence)(int, int, int);
    int (*SimGraphRefresh)(int);
    int (*SimFault)(const char*, int, int, int);

private:
    std::string dir_;
    std::string capture_;
    void* stalink_ = nullptr;
    void* plugin_ = nullptr;
};

// Whether `text` in `font` and `colour` on `background` appears anywhere in
// `region` of `image`, at any quarter-pixel offset across.
bool FindText(const QImage& image, const QRect& region, const QString& text, const QFont& font,
              const QColor& colour, const QColor& background);

}  // namespace nimbary::testing
