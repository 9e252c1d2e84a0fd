// The plug-in's side of libstalink: the frames UsbRead* hand back, decoded
// by the plug-in's station (StalinkAccess), and what it hands UsbWrite*.
// libstalink here is our own, answering from the fuzz input: up to 16
// operations, each an operation byte (low 3 bits: which; bit 6: the call
// fails; bit 7: seal the frame with the right code and checksum), a length
// byte and that many frame bytes.
//
// Properties: a failed call or a rejected frame leaves the image as it was
// (the max/min: blank); an accepted one decodes as the program's decoders
// do; what the plug-in writes back reads as what it wrote.
#include <algorithm>

#include "Encoding.h"
#include "Protocol.h"
#include "StalinkAccess.h"
#include "StationCanon.h"
#include "airlink.h"
#include "stalink.h"

using namespace nimbary;
using namespace nimbary::fuzz;

namespace {

struct Link {
    Frame reply{};
    bool fail = false;
    Frame written{};
    int writes = 0;
} g_link;

int Reply(unsigned char* buffer) {
    if (g_link.fail) return STALINK_FAILED;
    std::copy(g_link.reply.begin(), g_link.reply.end(), buffer);
    return STALINK_OK;
}

int Written(unsigned char* buffer, unsigned char length) {
    std::copy(buffer, buffer + kFrameSize, g_link.written.begin());
    g_link.written[0] = length;
    ++g_link.writes;
    return g_link.fail ? STALINK_FAILED : STALINK_OK;
}

void Seal(Frame& f, uint8_t code) {
    f[1] = code;
    if (f[0] >= 2 && f[0] <= kFrameSize) f[f[0] - 1] = Checksum(f.data(), f[0] - 1u);
}

std::string ImageCanon(StalinkAccess& s) {
    const StationData& d = s.Image();
    const PluginUnitSet& u = s.Units();
    return CanonOf(d.Current) + CanonOf(d.Presence) + CanonOf(d.Settings) + CanonOf(d.Alarms) +
           CanonOf(d.MaxMin) + CanonOf(d.Graph) +
           (Canon() << u.Temperature << u.Pressure << u.Wind << u.Rain).str();
}

// The alarm frame the plug-in writes, as a read reply.
Frame AsAlarmReply(const Frame& written) {
    Frame f = written;
    Seal(f, CMD_READ_ALARMS);
    return f;
}

}  // namespace

extern "C" {
int UsbReadRecord(unsigned char* buffer) {
    return Reply(buffer);
}
int UsbReadMaxMin(unsigned char* buffer) {
    return Reply(buffer);
}
int UsbReadAlarm(unsigned char* buffer, unsigned char length) {
    FUZZ_CHECK(length == 3);
    return Reply(buffer);
}
int UsbReadParam(unsigned char* buffer, unsigned char length) {
    FUZZ_CHECK(length == 3);
    return Reply(buffer);
}
int UsbReadGraph(unsigned char* buffer, unsigned char, unsigned char) {
    return Reply(buffer);
}
int UsbWriteAlarm(unsigned char* buffer, unsigned char length) {
    FUZZ_CHECK(length == kAlarmLength);
    return Written(buffer, length);
}
int UsbWriteParam(unsigned char* buffer, unsigned char length) {
    FUZZ_CHECK(length == 2 + kSettingsBlockSize + 1);
    return Written(buffer, length);
}
int UsbClearMaxMin(void) {
    return g_link.fail ? STALINK_FAILED : STALINK_OK;
}
}  // extern "C"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    StalinkAccess station;
    size_t at = 0;
    // A few operations an input: the image carries over from one to the
    // next, and longer runs add little but time.
    for (int ops = 0; ops < 16 && at + 2 <= size; ++ops) {
        const uint8_t op = in[at], n = std::min<uint8_t>(in[at + 1], kFrameSize);
        at += 2;
        const size_t take = std::min<size_t>(n, size - at);
        Frame& f = g_link.reply;
        f.fill(0);
        std::copy(in + at, in + at + take, f.begin());
        at += take;
        g_link.fail = op & 0x40;
        const bool seal = op & 0x80;
        const std::string before = ImageCanon(station);
        StationData& img = station.Image();

        switch (op & 7) {
            case 0: {  // settings
                if (seal) Seal(f, CMD_READ_SETTINGS);
                StationSettings want = img.Settings;
                const bool decodes = DecodeSettings(f, want);
                const int ok = station.ReadSettings();
                FUZZ_CHECK(ok == (!g_link.fail && decodes));
                if (!ok) {
                    FUZZ_CHECK(ImageCanon(station) == before);
                    break;
                }
                FUZZ_CHECK(CanonOf(img.Settings) == CanonOf(want));
                FUZZ_CHECK(station.Units().Temperature == (want.TempUnit == TEMP_C ? 1 : 0));
                // Written back, the block reads as the settings it came from.
                g_link.fail = false;
                FUZZ_CHECK(station.WriteSettings(img.Settings) == 1);
                StationSettings back = img.Settings;
                DecodeSettingsBlock(g_link.written.data() + 2, back);
                FUZZ_CHECK(CanonOfBlock(back) == CanonOfBlock(img.Settings));
                break;
            }
            case 1: {  // alarms
                if (seal) Seal(f, CMD_READ_ALARMS);
                AlarmRecord want;
                const bool decodes = DecodeAlarms(f, want);
                const int ok = station.ReadAlarms();
                FUZZ_CHECK(ok == (!g_link.fail && decodes));
                if (!ok) {
                    FUZZ_CHECK(ImageCanon(station) == before);
                    break;
                }
                want.TimeMinute = Bcd2Hex(f[2]);
                want.TimeHour = Bcd2Hex(f[3]);
                FUZZ_CHECK(CanonOf(img.Alarms) == CanonOf(want));
                // Write, read back what was written, write again: the second
                // write repeats the first byte for byte.
                g_link.fail = false;
                FUZZ_CHECK(station.WriteAlarms() == 1);
                const Frame first = g_link.written;
                f = AsAlarmReply(first);
                FUZZ_CHECK(station.ReadAlarms() == 1);
                FUZZ_CHECK(station.WriteAlarms() == 1);
                // Up to the checksum, which libstalink fills in.
                FUZZ_CHECK(std::equal(first.begin(), first.begin() + kAlarmLength - 1,
                                      g_link.written.begin()));
                break;
            }
            case 2: {  // max/min
                if (seal) Seal(f, CMD_READ_MAXMIN);
                MaxMinRecord want;
                const bool decodes = DecodeMaxMin(f, img.Presence, want);
                const int ok = station.ReadMaxMin();
                FUZZ_CHECK(ok == (!g_link.fail && decodes));
                // Unread or rejected: what the station did not report is blank.
                FUZZ_CHECK(CanonOf(img.MaxMin) == CanonOf(ok ? want : MaxMinRecord()));
                break;
            }
            case 3: {  // current reading, all eight channels
                if (seal) Seal(f, CMD_READ_CURRENT);
                HistoryRecord want = img.Current;
                PresenceBlock presence = img.Presence;
                const bool decodes = DecodeCurrent(f, true, want, presence);
                const int ok = station.ReadCurrent();
                FUZZ_CHECK(ok == (!g_link.fail && decodes));
                if (!ok) {
                    FUZZ_CHECK(ImageCanon(station) == before);
                    break;
                }
                FUZZ_CHECK(CanonOf(img.Current) == CanonOf(want) &&
                           CanonOf(img.Presence) == CanonOf(presence));
                break;
            }
            case 4: {  // one graph series
                const uint8_t type = f[2], index = f[3];
                if (seal) Seal(f, CMD_READ_GRAPH);
                GraphSeries want = img.Graph;
                const bool decodes = DecodeGraph(f, type, index, want);
                const int ok = station.ReadGraph(type, index);
                FUZZ_CHECK(ok == (!g_link.fail && decodes));
                if (ok)
                    FUZZ_CHECK(CanonOf(img.Graph) == CanonOf(want));
                else
                    FUZZ_CHECK(ImageCanon(station) == before);
                break;
            }
            case 5:
                FUZZ_CHECK(station.ClearMaxMin() == (g_link.fail ? 0 : 1));
                break;
            default:
                break;
        }
    }
    return 0;
}
