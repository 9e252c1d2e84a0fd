#include "StationImage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "Messages.h"

namespace nimbary::sim {

namespace {

constexpr size_t kTableBytes = 1024;
constexpr size_t kDumpBytes = 64256;
constexpr size_t kMaxIniBytes = 64 * 1024;

std::string Join(const std::string& folder, const char* name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// What a failed write of `path` is told as.
std::string WriteError(const std::string& path, int error) {
    if (IsDiskFull(error))
        return "the disk is full: cannot write " + path;
    return "cannot write " + path + ": " + std::strerror(error);
}

// Writes `bytes` whole to a new file beside `path`, synced; its name in
// `temp`. The file at `path` itself is not touched.
std::string WriteBeside(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& temp) {
    temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int error = errno;
        temp.clear();
        return "cannot create " + path + ": " + std::strerror(error);
    }
    ::fchmod(fd, 0644);
    const uint8_t* p = bytes.data();
    size_t left = bytes.size();
    int error = 0;
    while (left > 0 && error == 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno != EINTR) error = errno;
        if (n > 0) {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0) return {};
    ::unlink(temp.c_str());
    temp.clear();
    return WriteError(path, error);
}

// The files of one image replace those of an earlier one together, once all
// are written: a full disk half-way leaves the earlier image as it was.
std::string WriteFiles(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    std::vector<std::string> temps;
    std::string err;
    for (const auto& [path, bytes] : files) {
        std::string temp;
        err = WriteBeside(path, bytes, temp);
        if (!err.empty()) break;
        temps.push_back(temp);
    }
    for (size_t i = 0; err.empty() && i < temps.size(); ++i) {
        if (::rename(temps[i].c_str(), files[i].first.c_str()) != 0)
            err = "cannot replace " + files[i].first + ": " + std::strerror(errno);
        else
            temps[i].clear();
    }
    for (const std::string& t : temps)
        if (!t.empty()) ::unlink(t.c_str());
    return err;
}

// Reads at most `limit` bytes; a longer file is reported through `tooLong`.
std::string ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                     bool& tooLong) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return "cannot open " + path;
    out.assign(limit, 0);
    f.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(limit));
    out.resize(static_cast<size_t>(f.gcount()));
    if (f.bad()) return "cannot read " + path;
    tooLong = f.peek() != std::char_traits<char>::eof();
    return {};
}

std::string Trim(const std::string& s) {
    const char* ws = " \t\r\n";
    const size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Whole number in [lo, hi]; decimal, or hexadecimal with 0x (or always hex).
bool ParseNumber(const std::string& text, bool hex, long long lo, long long hi, long long& out) {
    std::string s = Trim(text);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s = s.substr(2);
        base = 16;
    } else if (hex) {
        base = 16;
    }
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, base);
    if (errno != 0 || end == s.c_str() || *end != '\0') return false;
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

}  // namespace

size_t StationImage::DataFileSize(uint16_t dataSize) {
    return dataSize > kDumpBytes ? dataSize : kDumpBytes;
}

std::string StationImage::Save(const std::string& folder) const {
    if (table.size() != kTableBytes) return "the block table is not 1024 bytes";
    if (data.size() != DataFileSize(dataSize)) return "the data area does not match DataSize";
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) return "cannot create the folder " + folder + ": " + ec.message();
    char id[16];
    std::snprintf(id, sizeof id, "0x%08X", devId);
    std::ostringstream ini;
    ini << "[Station]\n"
        << "DevID=" << id << "\n"
        << "Type=" << static_cast<int>(type) << "\n"
        << "Blocks=" << static_cast<int>(blocks) << "\n"
        << "DataSize=" << dataSize << "\n"
        << "FirstBlock=" << static_cast<int>(firstBlock) << "\n"
        << "CurrentBlock=" << static_cast<int>(currentBlock) << "\n"
        << "UsedSize=" << usedSize << "\n"
        << "PressureOffset=" << pressureOffset << "\n";
    const std::string text = ini.str();
    return WriteFiles({{Join(folder, "block.bin"), table},
                       {Join(folder, "data.bin"), data},
                       {Join(folder, "station.ini"), {text.begin(), text.end()}}});
}

std::string StationImage::Load(const std::string& folder, StationImage& out) {
    const std::string iniPath = Join(folder, "station.ini");
    std::vector<uint8_t> raw;
    bool tooLong = false;
    std::string err = ReadFile(iniPath, kMaxIniBytes, raw, tooLong);
    if (!err.empty()) return err;
    if (tooLong) return iniPath + " is too large to be a station description";

    // [Station] keys, case-insensitive; other sections and keys are ignored.
    std::map<std::string, std::string> keys;
    bool inStation = false, sawStation = false;
    std::istringstream lines(std::string(raw.begin(), raw.end()));
    std::string line;
    int lineNo = 0;
    while (std::getline(lines, line)) {
        ++lineNo;
        const std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            if (t.back() != ']')
                return iniPath + " line " + std::to_string(lineNo) + ": unclosed section name";
            inStation = Lower(Trim(t.substr(1, t.size() - 2))) == "station";
            sawStation = sawStation || inStation;
            continue;
        }
        const size_t eq = t.find('=');
        if (eq == std::string::npos)
            return iniPath + " line " + std::to_string(lineNo) + ": expected key=value";
        if (inStation) keys[Lower(Trim(t.substr(0, eq)))] = Trim(t.substr(eq + 1));
    }
    if (!sawStation) return iniPath + ": no [Station] section";

    StationImage img;
    struct Field {
        const char* name;
        bool hex;
        long long lo, hi;
        long long value;
    };
    Field fields[] = {
        {"DevID", true, 0, 0xFFFFFFFFLL, 0}, {"Type", false, 0, 255, 0},
        {"Blocks", false, 1, 64, 0},         {"DataSize", false, 128, 65535, 0},
        {"FirstBlock", false, 0, 64, 0},     {"CurrentBlock", false, 0, 64, 0},
        {"UsedSize", false, 0, 65535, 0},    {"PressureOffset", false, -32768, 32767, 0},
    };
    for (Field& f : fields) {
        auto it = keys.find(Lower(f.name));
        if (it == keys.end()) return iniPath + ": [Station] has no " + f.name;
        if (!ParseNumber(it->second, f.hex, f.lo, f.hi, f.value))
            return iniPath + ": " + f.name + "=" + it->second + " is not a number from " +
                   std::to_string(f.lo) + " to " + std::to_string(f.hi);
    }
    img.devId = static_cast<uint32_t>(fields[0].value);
    img.type = static_cast<uint8_t>(fields[1].value);
    img.blocks = static_cast<uint8_t>(fields[2].value);
    img.dataSize = static_cast<uint16_t>(fields[3].value);
    img.firstBlock = static_cast<uint8_t>(fields[4].value);
    img.currentBlock = static_cast<uint8_t>(fields[5].value);
    img.usedSize = static_cast<uint16_t>(fields[6].value);
    img.pressureOffset = static_cast<int16_t>(fields[7].value);
    if (img.firstBlock > img.blocks || img.currentBlock > img.blocks)
        return iniPath + ": FirstBlock and CurrentBlock must not exceed Blocks";
    if ((img.firstBlock == 0) != (img.currentBlock == 0))
        return iniPath + ": FirstBlock and CurrentBlock must both be 0 (empty) or both be set";
    if (img.usedSize > img.dataSize) return iniPath + ": UsedSize exceeds DataSize";

    const std::string tablePath = Join(folder, "block.bin");
    err = ReadFile(tablePath, kTableBytes, img.table, tooLong);
    if (!err.empty()) return err;
    if (img.table.size() != kTableBytes || tooLong)
        return tablePath + " must be exactly 1024 bytes" +
               (tooLong ? std::string(" (it is longer)")
                        : " (it has " + std::to_string(img.table.size()) + ")");

    const std::string dataPath = Join(folder, "data.bin");
    const size_t want = DataFileSize(img.dataSize);
    err = ReadFile(dataPath, want, img.data, tooLong);
    if (!err.empty()) return err;
    if (img.data.size() != want || tooLong)
        return dataPath + " must be exactly " + std::to_string(want) + " bytes" +
               (tooLong ? std::string(" (it is longer)")
                        : " (it has " + std::to_string(img.data.size()) + ")");

    out = std::move(img);
    return {};
}

}  // namespace nimbary::sim
