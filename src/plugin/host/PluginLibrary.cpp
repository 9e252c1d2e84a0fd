#include "PluginLibrary.h"

#include <dlfcn.h>

namespace {

template <class F>
bool Bind(void* handle, const char* name, F& out, std::string& error) {
    out = reinterpret_cast<F>(dlsym(handle, name));
    if (!out && error.empty()) error = std::string("the plug-in has no ") + name;
    return out != nullptr;
}

}  // namespace

PluginLibrary::~PluginLibrary() {
    if (handle_) dlclose(handle_);
}

bool PluginLibrary::Load(const std::string& path, std::string& error) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error = why ? why : "cannot load " + path;
        return false;
    }
    error.clear();
    bool ok = true;
    ok &= Bind(handle_, "InitVariant", InitVariant, error);
    ok &= Bind(handle_, "InitLanguage", InitLanguage, error);
    ok &= Bind(handle_, "ReadMainRecord", ReadMainRecord, error);
    ok &= Bind(handle_, "DrawData", DrawData, error);
    ok &= Bind(handle_, "OnMouseMove", OnMouseMove, error);
    ok &= Bind(handle_, "OnLButtonUp", OnLButtonUp, error);
    ok &= Bind(handle_, "OnLButtonDown", OnLButtonDown, error);
    ok &= Bind(handle_, "DeviceRemoveDone", DeviceRemoveDone, error);
    ok &= Bind(handle_, "GetUnit", GetUnit, error);
    ok &= Bind(handle_, "SetUnit", SetUnit, error);
    ok &= Bind(handle_, "ShowSetting", ShowSetting, error);
    ok &= Bind(handle_, "ShowAlarm", ShowAlarm, error);
    ok &= Bind(handle_, "ShowMaxMin", ShowMaxMin, error);
    return ok;
}
