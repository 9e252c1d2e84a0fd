#include "MqttConfig.h"

#include <sys/stat.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "StringTable.h"

namespace nimbary {

const char* const kMqttKeys[7] = {"Broker", "Topic",     "User",         "PasswordFile",
                                  "CaFile", "Discovery", "StateInterval"};

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const std::string* Find(const std::map<std::string, std::string>& keys, const char* name) {
    for (const auto& [k, v] : keys)
        if (Lower(k) == Lower(name)) return &v;
    return nullptr;
}

bool HostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

// mqtt://host[:port][/] or mqtts://..., host a name, an IPv4 address or an
// IPv6 address in brackets. False when it is none of these; `userInfo`
// tells a user or password written into it.
bool ParseBroker(const std::string& url, MqttConfig& out, bool& userInfo) {
    userInfo = false;
    const std::string lower = Lower(url);
    size_t at;
    if (lower.rfind("mqtt://", 0) == 0) {
        out.tls = false;
        at = 7;
    } else if (lower.rfind("mqtts://", 0) == 0) {
        out.tls = true;
        at = 8;
    } else {
        return false;
    }
    std::string rest = url.substr(at);
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (rest.find('@') != std::string::npos) {
        userInfo = true;
        return false;
    }
    std::string host, port;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos) return false;
        host = rest.substr(1, close - 1);
        for (char c : host)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
        rest = rest.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return false;
        if (!rest.empty()) port = rest.substr(1);
        if (host.empty()) return false;
    } else {
        const size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) return false;
        }
        if (host.empty() || host.front() == '.' || host.front() == '-') return false;
        for (char c : host)
            if (!HostChar(c)) return false;
    }
    int p = out.tls ? 8883 : 1883;
    if (!port.empty()) {
        if (port.size() > 5) return false;
        p = 0;
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            p = p * 10 + (c - '0');
        }
        if (p < 1 || p > 65535) return false;
    }
    out.host = host;
    out.port = p;
    return true;
}

// A topic level we publish under: no wildcards, no empty levels at the ends.
bool TopicPrefix(const std::string& t) {
    if (t.empty() || t.front() == '/' || t.back() == '/' || t.size() > 200) return false;
    for (char c : t)
        if (c == '+' || c == '#' || c == '\0' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

// Reads a whole small file, or says why it cannot.
bool ReadSmallFile(const std::string& path, std::string& out, std::string& why) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = std::strerror(errno ? errno : EACCES);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

}  // namespace

std::string MqttConfig::BrokerKey() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(tls ? "mqtts://" : "mqtt://") + (v6 ? "[" + host + "]" : Lower(host)) + ":" +
           std::to_string(port);
}

std::string LoadMqttConfig(const std::map<std::string, std::string>& keys, MqttConfig& out) {
    out = MqttConfig();
    const std::string* broker = Find(keys, "Broker");
    if (!broker || broker->empty()) return {};

    MqttConfig c;
    c.broker = *broker;
    bool userInfo = false;
    if (!ParseBroker(c.broker, c, userInfo))
        return userInfo ? text::Load(2171) : text::Format(2170, {c.broker});
    if (const std::string* t = Find(keys, "Topic")) {
        if (!TopicPrefix(*t)) return text::Format(2174, {"Topic", *t});
        c.topic = *t;
    }
    if (const std::string* d = Find(keys, "Discovery")) {
        if (!d->empty() && !TopicPrefix(*d)) return text::Format(2174, {"Discovery", *d});
        c.discovery = *d;
    }
    if (const std::string* s = Find(keys, "StateInterval")) {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(s->c_str(), &end, 10);
        if (s->empty() || *end || errno || v < 1 || v > 86400)
            return text::Format(2174, {"StateInterval", *s});
        c.stateInterval = static_cast<int>(v);
    }
    if (const std::string* u = Find(keys, "User")) c.user = *u;
    if (const std::string* p = Find(keys, "PasswordFile"); p && !p->empty()) {
        if (c.user.empty()) return text::Load(2175);
        std::string content, why;
        if (!ReadSmallFile(*p, content, why)) return text::Format(2172, {*p, why});
        // The first line is the password; the newline an editor adds is not part of it.
        c.password = content.substr(0, content.find_first_of("\r\n"));
    }
    if (const std::string* a = Find(keys, "CaFile"); a && !a->empty()) {
        if (!c.tls) return text::Format(2176, {c.broker});
        std::string content, why;
        if (!ReadSmallFile(*a, content, why)) return text::Format(2173, {*a, why});
        c.caFile = *a;
    }
    out = c;
    return {};
}

}  // namespace nimbary
