// The transport and the command operations over a device whose input
// reports come from the fuzz input: CUsb's report assembly, resync and
// flush, and StationData's checks and decodes on what it assembled.
//   up to 24 operations, each an operation byte (which, mod 13) and two
//   parameter bytes; every report the transport reads takes a control byte
//   (bit 6: time-out, bit 7: read error; else the next 64 bytes, zero-filled)
//
// Properties: an operation that succeeds decoded exactly the reply frame the
// device delivered after its request; one that fails leaves the station
// image as it was (the max/min: blank).
#include <algorithm>

#include "CUsb.h"
#include "Protocol.h"
#include "StationCanon.h"

using namespace nimbary;
using namespace nimbary::fuzz;

namespace {

struct Stream {
    const uint8_t* p = nullptr;
    size_t n = 0;
    uint8_t Byte() {
        if (n == 0) return 0x40;  // nothing left: a time-out
        --n;
        return *p++;
    }
};

class FuzzDevice : public HidDevice {
public:
    explicit FuzzDevice(Stream& s) : s_(s) {}
    Frame reply{};    // the reports read since the last request, as a frame
    int reads = 0;    // reports read since the last request
    HidStatus Write(const uint8_t (&report)[kOutputReportSize], int) override {
        FUZZ_CHECK(report[0] == 0 && ReplyValid(*FrameOf(report)));
        reply.fill(0);
        reads = 0;
        return HidStatus::Ok;
    }
    HidStatus Read(uint8_t (&data)[kReportSize], int) override {
        const uint8_t control = s_.n ? s_.Byte() : 0x40;
        if (control & 0x40) return HidStatus::Timeout;
        if (control & 0x80) return HidStatus::Error;
        std::fill(std::begin(data), std::end(data), 0);
        const size_t take = std::min<size_t>(kReportSize, s_.n);
        std::copy(s_.p, s_.p + take, data);
        s_.p += take, s_.n -= take;
        if (reads < 2) std::copy(data, data + kReportSize, reply.begin() + kReportSize * reads);
        ++reads;
        return HidStatus::Ok;
    }

private:
    // A request is a frame too: length, code, checksum.
    static const Frame* FrameOf(const uint8_t (&report)[kOutputReportSize]) {
        static Frame f;
        f.fill(0);
        std::copy(report + 1, report + kOutputReportSize, f.begin());
        return &f;
    }
    Stream& s_;
};

class FuzzBackend : public HidBackend {
public:
    explicit FuzzBackend(Stream& s) : s_(s) {}
    FuzzDevice* device = nullptr;
    std::vector<HidDeviceInfo> Enumerate() override {
        return {{"fuzz", kStationVendor, kStationProduct, kStationRelease}};
    }
    std::unique_ptr<HidDevice> Open(const std::string&) override {
        auto d = std::make_unique<FuzzDevice>(s_);
        device = d.get();
        return d;
    }

private:
    Stream& s_;
};

std::string ImageCanon(const StationData& d) {
    return CanonOf(d.Current) + CanonOf(d.Presence) + CanonOf(d.Settings) + CanonOf(d.Alarms) +
           CanonOf(d.MaxMin) + CanonOf(d.Graph);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    Stream s{in, size};
    FuzzBackend backend(s);
    CUsb usb(backend);
    FUZZ_CHECK(usb.OpenStation() == 1 && backend.device);
    UnitSet units;
    StationData st(&usb, &units);
    st.KeepAllChannels = size & 1;
    for (int ops = 0; ops < 24 && s.n >= 3; ++ops) {
        const uint8_t op = s.Byte() % 13, p1 = s.Byte(), p2 = s.Byte();
        const std::string before = ImageCanon(st);
        const Frame& f = backend.device->reply;
        int ok = 0;
        switch (op) {
            case 0: {
                StationInfo info, want;
                ok = st.ReadDeviceInfo(info);
                if (ok) FUZZ_CHECK(DecodeDeviceInfo(f, want) && CanonOf(info) == CanonOf(want));
                break;
            }
            case 1: {
                MemoryStatus m, want;
                ok = st.ReadMemoryStatus(m);
                if (ok) FUZZ_CHECK(DecodeMemoryStatus(f, want) && CanonOf(m) == CanonOf(want));
                break;
            }
            case 2: {
                const uint8_t area = p1 & 3, count = p2 & 0x7F;
                std::vector<uint8_t> data(2, 0xA5), want;
                const std::vector<uint8_t> old = data;
                ok = st.ReadMemory(area, static_cast<uint16_t>(p1 << 4), count, data);
                if (ok)
                    FUZZ_CHECK(DecodeMemory(f, area, count, want) && data == want);
                else
                    FUZZ_CHECK(data == old);
                break;
            }
            case 3: {
                int16_t t = 77, want = 0;
                ok = st.ReadPressureOffset(t);
                FUZZ_CHECK(ok ? DecodePressureOffset(f, want) && t == want : t == 77);
                break;
            }
            case 4: {
                HistoryRecord want = st.Current;
                PresenceBlock p;
                ok = st.ReadCurrent();
                if (ok)
                    FUZZ_CHECK(DecodeCurrent(f, st.KeepAllChannels, want, p) &&
                               CanonOf(want) == CanonOf(st.Current) &&
                               CanonOf(p) == CanonOf(st.Presence));
                break;
            }
            case 5: {
                MaxMinRecord want;
                ok = st.ReadMaxMin();
                if (ok) FUZZ_CHECK(DecodeMaxMin(f, st.Presence, want));
                FUZZ_CHECK(CanonOf(st.MaxMin) == CanonOf(ok ? want : MaxMinRecord()));
                break;
            }
            case 6: {
                AlarmRecord want;
                ok = st.ReadAlarms();
                if (ok) FUZZ_CHECK(DecodeAlarms(f, want) && CanonOf(want) == CanonOf(st.Alarms));
                break;
            }
            case 7: {
                StationSettings want = st.Settings;
                ok = st.ReadSettings();
                if (ok) {
                    FUZZ_CHECK(DecodeSettings(f, want) && CanonOf(want) == CanonOf(st.Settings));
                    FUZZ_CHECK(units.TempUnit == st.Settings.TempUnit &&
                               units.WindUnit == st.Settings.WindUnit);
                }
                break;
            }
            case 8: {
                GraphSeries want = st.Graph;
                ok = st.ReadGraph(p1 & 0x0F, p2 & 0x0F);
                if (ok)
                    FUZZ_CHECK(DecodeGraph(f, p1 & 0x0F, p2 & 0x0F, want) &&
                               CanonOf(want) == CanonOf(st.Graph));
                break;
            }
            case 9:
                ok = st.SetClock(2000 + p1 % 100, 1 + p2 % 12, 1 + p1 % 28, p2 % 24, p1 % 60, p2 % 60, 0);
                if (ok) FUZZ_CHECK(StatusOk(f, CMD_SET_CLOCK));
                break;
            case 10:
                ok = st.ClearRecords(p1 & 3);
                if (ok) FUZZ_CHECK((p1 & 3) <= CLEAR_MAXMIN && StatusOk(f, CMD_CLEAR));
                break;
            case 11:
                ok = st.WriteSettings();
                if (ok) FUZZ_CHECK(StatusOk(f, CMD_WRITE_SETTINGS));
                break;
            case 12:
                ok = st.WriteAlarms();
                break;
        }
        if (Verbose()) std::fprintf(stderr, "operation %d: %d\n", op, ok);
        // Whatever the operation, a failure changed nothing it keeps.
        if (!ok && op != 5) FUZZ_CHECK(ImageCanon(st) == before);
    }
    return 0;
}
