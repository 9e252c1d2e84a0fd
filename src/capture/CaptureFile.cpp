#include "CaptureFile.h"

#include <ctime>
#include <fstream>
#include <sstream>

namespace nimbary {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A piece of the file as a message can show it: at most 16 characters,
// bytes that are not printable ASCII as \xHH.
std::string Shown(const std::string& piece) {
    std::string out;
    for (size_t i = 0; i < piece.size() && i < 16; ++i) {
        const auto c = static_cast<unsigned char>(piece[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return piece.size() > 16 ? out + "..." : out;
}

}  // namespace

std::string HexBytes(const uint8_t* bytes, size_t n) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string s;
    s.reserve(n * 3);
    for (size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += kHex[bytes[i] >> 4];
        s += kHex[bytes[i] & 15];
    }
    return s;
}

bool ParseCapture(const std::string& text, std::vector<CaptureLine>& lines, std::string& error) {
    lines.clear();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        char mark = line[start];
        if (mark != '>' && mark != '<') {
            error = "line " + std::to_string(number) + ": expected '>', '<' or '#', not '" +
                    Shown(line.substr(start, 16)) + "'";
            return false;
        }
        CaptureLine out{mark == '>' ? CaptureLine::Out : CaptureLine::In, {}, number};
        std::istringstream tokens(line.substr(start + 1));
        std::string tok;
        while (tokens >> tok) {
            if (out.bytes.size() == 64) {
                error = "line " + std::to_string(number) +
                        ": a report holds 1 to 64 bytes, not 65 or more";
                return false;
            }
            int hi = tok.size() == 2 ? HexDigit(tok[0]) : -1;
            int lo = tok.size() == 2 ? HexDigit(tok[1]) : -1;
            if (hi < 0 || lo < 0) {
                error = "line " + std::to_string(number) + ": '" + Shown(tok) +
                        "' is not a two-digit hexadecimal byte";
                return false;
            }
            out.bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        if (out.bytes.empty()) {
            error = "line " + std::to_string(number) + ": a report holds 1 to 64 bytes, not 0";
            return false;
        }
        lines.push_back(std::move(out));
    }
    return true;
}

bool LoadCapture(const std::string& path, std::vector<CaptureLine>& lines, std::string& error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot open " + path;
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    if (f.bad()) {
        error = "cannot read " + path;
        return false;
    }
    if (!ParseCapture(ss.str(), lines, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

CaptureWriter::CaptureWriter(const std::string& path, const std::string& program,
                             const std::string& version)
    : file_(std::fopen(path.c_str(), "a")) {
    if (!file_) return;
    std::time_t now = std::time(nullptr);
    char when[64];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S%z", std::localtime(&now));
    std::fprintf(file_.get(), "# %s %s capture started %s\n", program.c_str(), version.c_str(),
                 when);
    std::fflush(file_.get());
}

void CaptureWriter::Line(char mark, const uint8_t* bytes, size_t n) {
    if (!file_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(file_.get(), "%c %s\n", mark, HexBytes(bytes, n).c_str());
    std::fflush(file_.get());
}

void CaptureWriter::Output(const uint8_t* frame, size_t n) {
    Line('>', frame, n);
}

void CaptureWriter::Input(const uint8_t* report64) {
    Line('<', report64, 64);
}

}  // namespace nimbary
