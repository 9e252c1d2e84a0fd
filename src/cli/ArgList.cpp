#include "ArgList.h"

namespace nimbary::cli {

bool ArgList::TakeFlag(const std::string& name) {
    bool found = false;
    for (size_t i = 0; i < args_.size();) {
        if (args_[i] == name) {
            args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i));
            found = true;
        } else {
            ++i;
        }
    }
    return found;
}

bool ArgList::TakeValue(const std::string& name, std::string& value, bool& given) {
    given = false;
    for (size_t i = 0; i < args_.size(); ++i) {
        const std::string& a = args_[i];
        if (a == name) {
            if (i + 1 >= args_.size() || args_[i + 1].empty()) {
                error_ = name + " needs a value";
                return false;
            }
            value = args_[i + 1];
            args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i),
                        args_.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            given = true;
            return true;
        }
        if (a.rfind(name + "=", 0) == 0) {
            value = a.substr(name.size() + 1);
            args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i));
            if (value.empty()) {
                error_ = name + " needs a value";
                return false;
            }
            given = true;
            return true;
        }
    }
    return true;
}

bool ArgList::Finish(std::vector<std::string>& positional, size_t min, size_t max,
                     const char* missing) {
    positional.clear();
    for (const std::string& a : args_) {
        if (a.size() > 1 && a[0] == '-') {
            error_ = "unknown option " + a;
            return false;
        }
        positional.push_back(a);
    }
    if (positional.size() < min) {
        error_ = std::string(missing) + " is missing";
        return false;
    }
    if (positional.size() > max) {
        error_ = "unexpected argument " + positional[max];
        return false;
    }
    return true;
}

}  // namespace nimbary::cli
