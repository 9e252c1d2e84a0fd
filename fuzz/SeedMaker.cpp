// Writes the seed corpora into corpus/<target>/ from the simulated station:
// its replies, its memory and image, and a capture of a session with it.
//   fuzz_seeds FOLDER   (the fuzz/corpus folder)
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CaptureFile.h"
#include "Protocol.h"
#include "SimStation.h"
#include "StationImage.h"

using namespace nimbary;
using Bytes = std::vector<uint8_t>;

namespace {

std::string g_root;

void Put(const std::string& target, const std::string& name, const Bytes& b) {
    const std::string dir = g_root + "/" + target;
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void Put(const std::string& target, const std::string& name, const std::string& s) {
    Put(target, name, Bytes(s.begin(), s.end()));
}

sim::SimConfig Config(uint8_t blocks, uint16_t dataSize, uint8_t maxRecords, bool rainHeader,
                      uint8_t channels) {
    sim::SimConfig c;
    c.seed = 7;
    c.devId = 0x1234ABCD;
    c.memory.blocks = blocks;
    c.memory.dataSize = dataSize;
    c.memory.maxRecords = maxRecords;
    c.rainHeader = rainHeader;
    c.presence.tempMask = c.presence.humiMask = channels;
    c.startTime = 776000000;  // 2024 on the station's clock
    c.frozen = true;
    c.historyDays = 1;
    return c;
}

Bytes Ask(sim::SimStation& st, const Frame& request) {
    auto reply = st.Handle(request.data(), request[0]);
    if (!reply) return {};
    reply->resize(std::min<size_t>(reply->size(), kFrameSize));
    return *reply;
}

// Capture lines for one exchange: the request, and the reply in 64-byte reports.
std::string CaptureOf(const Frame& request, const Bytes& reply) {
    std::string s = "> " + HexBytes(request.data(), request[0]) + "\n";
    for (size_t at = 0; at < reply.size(); at += 64) {
        uint8_t report[64] = {};
        std::memcpy(report, reply.data() + at, std::min<size_t>(64, reply.size() - at));
        s += "< " + HexBytes(report, 64) + "\n";
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    g_root = argv[1];
    sim::SimStation st(Config(64, 64256, 255, true, 0x05));

    // Replies, each behind the protocol target's five parameter bytes.
    struct Ask1 {
        const char* name;
        uint8_t which, p1, p2;
        Frame request;
    };
    std::vector<Ask1> asks;
    Frame f;
    BuildReadInfo(f), asks.push_back({"info", 0, 0, 0, f});
    BuildReadMemory(f, AREA_STATUS, 0, 0), asks.push_back({"status", 1, 0, 0, f});
    BuildReadMemory(f, AREA_BLOCK_TABLE, 0, 16), asks.push_back({"table", 2, 1, 16, f});
    BuildReadMemory(f, AREA_DATA, 100, 124), asks.push_back({"data", 2, 2, 124, f});
    BuildReadMemory(f, AREA_PRESSURE_OFFSET, 0, 0), asks.push_back({"offset", 3, 0, 0, f});
    BuildReadCurrent(f), asks.push_back({"current", 4, 1, 0, f});
    BuildReadMaxMin(f), asks.push_back({"maxmin", 5, 0, 0, f});
    BuildReadAlarms(f), asks.push_back({"alarms", 6, 0, 0, f});
    BuildReadSettings(f), asks.push_back({"settings", 7, 0, 0, f});
    BuildReadGraph(f, GRAPH_IN_TEMP, 0), asks.push_back({"graph-intemp", 8, 1, 0, f});
    BuildReadGraph(f, GRAPH_CH_HUMI, 2), asks.push_back({"graph-chhumi", 8, 4, 2, f});
    BuildReadGraph(f, GRAPH_BARO, 0), asks.push_back({"graph-baro", 8, 5, 0, f});
    BuildReadGraph(f, GRAPH_WIND, 1), asks.push_back({"graph-gust", 8, 6, 1, f});

    std::string capture = "# nimbary-cli 1.2.0 capture\n";
    Bytes plugin;
    for (const Ask1& a : asks) {
        const Bytes reply = Ask(st, a.request);
        Bytes seed = {a.which, a.p1, a.p2, 0x7F, 0x05};
        seed.insert(seed.end(), reply.begin(), reply.end());
        Put("protocol", a.name, seed);
        capture += CaptureOf(a.request, reply);
        // The plug-in's operations for the same replies.
        const int op = a.which == 7 ? 0 : a.which == 6 ? 1 : a.which == 5 ? 2 : a.which == 4 ? 3
                                                                          : a.which == 8 ? 4 : -1;
        if (op >= 0) {
            Bytes one = {static_cast<uint8_t>(op), static_cast<uint8_t>(reply.size())};
            one.insert(one.end(), reply.begin(), reply.end());
            Put("plugin_frames", a.name, one);
            plugin.insert(plugin.end(), one.begin(), one.end());
        }
    }
    Put("plugin_frames", "session", plugin);

    // The same exchanges through the transport: the operation, its two
    // parameter bytes, and the reply as input reports behind their control bytes.
    {
        struct Op {
            uint8_t op, p1, p2;
            Frame request;
        };
        std::vector<Op> ops;
        BuildReadInfo(f), ops.push_back({0, 0, 0, f});
        BuildReadMemory(f, AREA_STATUS, 0, 0), ops.push_back({1, 0, 0, f});
        BuildReadMemory(f, AREA_DATA, 0x42 << 4, 100), ops.push_back({2, 0x42, 100, f});
        BuildReadMemory(f, AREA_PRESSURE_OFFSET, 0, 0), ops.push_back({3, 0, 0, f});
        BuildReadCurrent(f), ops.push_back({4, 0, 0, f});
        BuildReadMaxMin(f), ops.push_back({5, 0, 0, f});
        BuildReadAlarms(f), ops.push_back({6, 0, 0, f});
        BuildReadSettings(f), ops.push_back({7, 0, 0, f});
        BuildReadGraph(f, GRAPH_BARO, 0), ops.push_back({8, GRAPH_BARO, 0, f});
        BuildClear(f, CLEAR_MAXMIN), ops.push_back({10, CLEAR_MAXMIN, 0, f});
        Bytes session;
        for (const Op& o : ops) {
            const Bytes reply = Ask(st, o.request);
            Bytes seed = {o.op, o.p1, o.p2};
            for (size_t at = 0; at < reply.size(); at += 64) {
                seed.push_back(0);
                Bytes report(64, 0);
                std::copy(reply.begin() + at, reply.begin() + std::min(reply.size(), at + 64), report.begin());
                seed.insert(seed.end(), report.begin(), report.end());
            }
            session.insert(session.end(), seed.begin(), seed.end());
            if (o.op == 2 || o.op == 4 || o.op == 7 || o.op == 8) Put("transport", "op" + std::to_string(o.op), seed);
        }
        Put("transport", "session", session);
    }
    {
        const sim::SettingsBytes s = st.Settings();
        Bytes seed = {9, 0, 0, 0, 0};
        seed.insert(seed.end(), s.begin(), s.end());
        Put("protocol", "settings-block", seed);
    }
    Put("capture", "session", capture);

    // Station memories for the history walk: small data areas so the whole
    // memory fits a seed, with and without rain headers, one that wraps.
    struct Mem {
        const char* name;
        uint8_t blocks;
        uint16_t size;
        uint8_t maxRecords;
        bool rainHeader;
        uint8_t channels;
        uint8_t failAfter;
    };
    const Mem mems[] = {
        {"small", 4, 2048, 40, true, 0x01, 0},
        {"wrapped", 8, 1024, 16, false, 0x03, 0},
        {"failing", 6, 1536, 30, true, 0x01, 9},
    };
    for (const Mem& m : mems) {
        sim::SimStation s(Config(m.blocks, m.size, m.maxRecords, m.rainHeader, m.channels));
        const sim::StationImage img = s.Image();
        Bytes seed = {img.type, img.blocks, static_cast<uint8_t>(img.dataSize),
                      static_cast<uint8_t>(img.dataSize >> 8)};
        for (int i = 0; i < 4; ++i) seed.push_back(static_cast<uint8_t>(img.devId >> (8 * i)));
        seed.insert(seed.end(), {img.firstBlock, img.currentBlock,
                                 static_cast<uint8_t>(img.dataSize), static_cast<uint8_t>(img.dataSize >> 8),
                                 static_cast<uint8_t>(img.pressureOffset),
                                 static_cast<uint8_t>(img.pressureOffset >> 8), m.failAfter});
        seed.insert(seed.end(), img.table.begin(), img.table.begin() + 16 * img.blocks);
        seed.insert(seed.end(), img.data.begin(), img.data.begin() + img.dataSize);
        Put("history_walk", m.name, seed);

        // The same station as an image folder: station.ini whole, the start of
        // block.bin and data.bin, padded by the target to their sizes.
        const std::string dir = g_root + "/../.seed-image";
        img.Save(dir);
        std::ifstream ini(dir + "/station.ini");
        const std::string text((std::istreambuf_iterator<char>(ini)), {});
        std::filesystem::remove_all(dir);
        const size_t tableBytes = 16 * img.blocks;
        Bytes im = {0x03, static_cast<uint8_t>(text.size()), static_cast<uint8_t>(text.size() >> 8),
                    static_cast<uint8_t>(tableBytes), static_cast<uint8_t>(tableBytes >> 8)};
        im.insert(im.end(), text.begin(), text.end());
        im.insert(im.end(), img.table.begin(), img.table.begin() + tableBytes);
        im.insert(im.end(), img.data.begin(), img.data.begin() + 256);
        Put("station_image", m.name, im);
    }

    // main.ini as the program writes it, in each encoding it reads.
    const std::string ini =
        "[Language]\r\nDefault=English\r\n\r\n[Menu]\r\nDebug=0\r\n\r\n[About]\r\n"
        "Copyright=Copyright (C) 2026 The Nimbary developers\r\nWeb=\r\n";
    Put("ini_file", "utf8", std::string(1, char(255)) + ini);
    Put("ini_file", "utf8-bom", std::string(1, char(7)) + "\xEF\xBB\xBF" + ini);
    Bytes le = {40, 0xFF, 0xFE}, be = {40, 0xFE, 0xFF};
    for (char c : ini) le.insert(le.end(), {static_cast<uint8_t>(c), 0}), be.insert(be.end(), {0, static_cast<uint8_t>(c)});
    Put("ini_file", "utf16le", le);
    Put("ini_file", "utf16be", be);

    // nimbary-cli command lines (after the four bytes of a station time).
    auto args = [](std::vector<std::string> a) {
        std::string s("\x80\x5F\x40\x2E", 4);
        for (size_t i = 0; i < a.size(); ++i) s += (i ? std::string(1, '\0') : "") + a[i];
        return s;
    };
    Put("cli_args", "records", args({"--station", "0x1234ABCD", "--from", "2024-03-05", "--to",
                                     "2024-03-05T12:00", "--out=x.txt", "extra"}));
    Put("cli_args", "export", args({"--station=1234ABCD", "--from", "2024-03-05 06:30:15", "--all",
                                    "--to", "2024-02-29"}));
    Put("cli_args", "download", args({"--simulate", "--sim-days", "2", "--sim-channels", "1,3",
                                      "--sim-seed=9", "--capture", "x.cap", "--sim-speed", "60"}));
    Put("cli_args", "replay", args({"--replay", "session.cap", "--sim-no-rain", "--sim-image", "img"}));
    return 0;
}
