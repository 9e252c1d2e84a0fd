// Every decoder of station replies, on a frame made of the fuzz input.
//   byte 0: the decoder (low nibble); bit 7 seals the frame (the decoder's
//           reply code and a right checksum), so most inputs get past the
//           envelope and into the fields
//   bytes 1-2: the decoder's parameters (area and count, type and index,
//              all channels), bytes 3-4 the presence flags and channel mask
//   bytes 5..: the frame, zero-filled to 128 bytes
#include <algorithm>

#include "Encoding.h"
#include "Protocol.h"
#include "StationCanon.h"

using namespace nimbary;
using namespace nimbary::fuzz;

namespace {

// Decodes twice into copies of `initial`: both runs agree, and a rejected
// frame leaves the output as it was. True when the frame was accepted.
template <class Out, class Decode>
bool DecodeTwice(const Out& initial, Out& out, Decode decode) {
    Out a = initial, b = initial;
    const bool ra = decode(a), rb = decode(b);
    FUZZ_CHECK(ra == rb);
    FUZZ_CHECK(CanonOf(a) == CanonOf(b));
    if (!ra) FUZZ_CHECK(CanonOf(a) == CanonOf(initial));
    out = a;
    return ra;
}

void Seal(Frame& f, uint8_t code) {
    f[1] = code;
    if (f[0] >= 2 && f[0] <= kFrameSize) f[f[0] - 1] = Checksum(f.data(), f[0] - 1u);
}

void SettingsRoundTrip(const StationSettings& s) {
    uint8_t block[kSettingsBlockSize];
    EncodeSettingsBlock(s, block);
    StationSettings again = s;
    DecodeSettingsBlock(block, again);
    FUZZ_CHECK(CanonOfBlock(again) == CanonOfBlock(s));
}

// Writing the alarms back and reading them again settles after one round:
// what was written once reads back as itself.
void AlarmsSettle(const AlarmRecord& a) {
    AlarmRecord once, twice;
    Frame f;
    BuildWriteAlarms(f, a);
    Seal(f, CMD_READ_ALARMS);
    FUZZ_CHECK(DecodeAlarms(f, once));
    BuildWriteAlarms(f, once);
    Seal(f, CMD_READ_ALARMS);
    FUZZ_CHECK(DecodeAlarms(f, twice));
    FUZZ_CHECK(CanonOf(once) == CanonOf(twice));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const uint8_t which = data[0] & 0x0F;
    const bool seal = data[0] & 0x80;
    const uint8_t p1 = data[1], p2 = data[2];
    PresenceBlock presence;
    presence.Flags = data[3];
    presence.TempMask = data[4];
    Frame f{};
    std::copy(data + 5, data + std::min(size, 5 + kFrameSize), f.begin());

    switch (which) {
        case 0: {
            if (seal) Seal(f, CMD_READ_INFO);
            StationInfo out;
            DecodeTwice(StationInfo{}, out, [&](StationInfo& o) { return DecodeDeviceInfo(f, o); });
            break;
        }
        case 1: {
            if (seal) f[2] = AREA_STATUS, Seal(f, CMD_READ_MEMORY);
            MemoryStatus out;
            DecodeTwice(MemoryStatus{}, out,
                        [&](MemoryStatus& o) { return DecodeMemoryStatus(f, o); });
            break;
        }
        case 2: {
            const uint8_t area = p1 & 3, count = p2;
            if (seal) f[2] = area, Seal(f, CMD_READ_MEMORY);
            const std::vector<uint8_t> initial(3, 0xA5);
            std::vector<uint8_t> a = initial, b = initial;
            const bool ok = DecodeMemory(f, area, count, a);
            FUZZ_CHECK(ok == DecodeMemory(f, area, count, b) && a == b);
            if (!ok) {
                FUZZ_CHECK(a == initial);
            } else {
                // Exactly the bytes between the header and the checksum (or
                // the count asked for), straight from the frame.
                const size_t want = area == AREA_BLOCK_TABLE || area == AREA_DATA ? count : f[0] - 4u;
                FUZZ_CHECK(a.size() == want && want + 4 <= f[0]);
                FUZZ_CHECK(std::equal(a.begin(), a.end(), f.begin() + 3));
            }
            break;
        }
        case 3: {
            if (seal) f[2] = AREA_PRESSURE_OFFSET, Seal(f, CMD_READ_MEMORY);
            int16_t a = 0x5A5A, b = 0x5A5A;
            const bool ok = DecodePressureOffset(f, a);
            FUZZ_CHECK(ok == DecodePressureOffset(f, b) && a == b);
            if (!ok) FUZZ_CHECK(a == 0x5A5A);
            break;
        }
        case 4: {
            if (seal) Seal(f, CMD_READ_CURRENT);
            const bool all = p1 & 1;
            HistoryRecord initial;
            initial.Rain[RAIN_EVENT] = 1.5;  // not in the reply: kept
            HistoryRecord a = initial, b = initial;
            PresenceBlock pa, pb;
            const bool ok = DecodeCurrent(f, all, a, pa);
            FUZZ_CHECK(ok == DecodeCurrent(f, all, b, pb));
            FUZZ_CHECK(CanonOf(a) == CanonOf(b) && CanonOf(pa) == CanonOf(pb));
            if (!ok) {
                FUZZ_CHECK(CanonOf(a) == CanonOf(initial) && CanonOf(pa) == CanonOf(PresenceBlock{}));
                break;
            }
            FUZZ_CHECK(a.Rain[RAIN_EVENT] == 1.5);
            if (!all) {
                FUZZ_CHECK(pa.TempMask <= 1 && pa.HumiMask <= 1);
                for (int k = 1; k < kChannels; ++k)
                    FUZZ_CHECK(a.ChTemp[k] == VAL_INVALID && a.ChHumi[k] == VAL_INVALID &&
                               a.ChDewPoint[k] == VAL_INVALID && a.ChFeelLike[k] == VAL_INVALID);
            }
            break;
        }
        case 5: {
            if (seal) Seal(f, CMD_READ_MAXMIN);
            const MaxMinRecord initial;  // every field VAL_ABSENT
            MaxMinRecord m;
            if (!DecodeTwice(initial, m,
                             [&](MaxMinRecord& o) { return DecodeMaxMin(f, presence, o); }))
                break;
            // What the presence block does not name stays as it was.
            const uint8_t fl = presence.Flags;
            if (!(fl & QF_IN_TEMP)) FUZZ_CHECK(m.InTempMax == VAL_ABSENT && m.InTempMin == VAL_ABSENT);
            if (!(fl & QF_IN_HUMI)) FUZZ_CHECK(m.InHumiMax == VAL_ABSENT && m.InHumiMin == VAL_ABSENT);
            for (int k = 0; k < kChannels; ++k)
                if (!(presence.TempMask & (1 << k)))
                    FUZZ_CHECK(m.ChTempMax[k] == VAL_ABSENT && m.ChHumiMin[k] == VAL_ABSENT &&
                               m.ChDewPointMax[k] == VAL_ABSENT && m.ChFeelLikeMin[k] == VAL_ABSENT);
            if (!(fl & QF_PRESSURE)) FUZZ_CHECK(m.AbsBaroMax == VAL_ABSENT && m.RelBaroMin == VAL_ABSENT);
            if (!(fl & QF_WIND)) FUZZ_CHECK(m.WindMax == VAL_ABSENT && m.GustMax == VAL_ABSENT);
            if (!(fl & QF_RAIN)) FUZZ_CHECK(m.RainMax[RAIN_HOUR] == VAL_ABSENT);
            FUZZ_CHECK(m.RainMax[RAIN_TOTAL] == VAL_ABSENT && m.RainMax[RAIN_EVENT] == VAL_ABSENT);
            break;
        }
        case 6: {
            if (seal) Seal(f, CMD_READ_ALARMS);
            AlarmRecord a;
            if (DecodeTwice(AlarmRecord{}, a, [&](AlarmRecord& o) { return DecodeAlarms(f, o); }))
                AlarmsSettle(a);
            break;
        }
        case 7: {
            if (seal) Seal(f, CMD_READ_SETTINGS);
            StationSettings s;
            if (DecodeTwice(StationSettings{}, s,
                            [&](StationSettings& o) { return DecodeSettings(f, o); }))
                SettingsRoundTrip(s);
            break;
        }
        case 8: {
            const uint8_t type = p1 & 0x0F, index = p2 & 0x0F;
            if (seal) f[2] = type, f[3] = index, Seal(f, CMD_READ_GRAPH);
            const GraphSeries initial;
            GraphSeries g;
            if (!DecodeTwice(initial, g,
                             [&](GraphSeries& o) { return DecodeGraph(f, type, index, o); }))
                break;
            // Only the series asked for changed: put the old one back and
            // nothing else differs.
            GraphSeries restored = g;
            auto put = [](auto& to, const auto& from) { std::copy(std::begin(from), std::end(from), std::begin(to)); };
            switch (type) {
                case GRAPH_IN_TEMP: put(restored.InTemp, initial.InTemp); break;
                case GRAPH_IN_HUMI: put(restored.InHumi, initial.InHumi); break;
                case GRAPH_CH_TEMP: put(restored.ChTemp[index], initial.ChTemp[index]); break;
                case GRAPH_CH_HUMI: put(restored.ChHumi[index], initial.ChHumi[index]); break;
                case GRAPH_BARO: put(restored.Baro, initial.Baro); break;
                case GRAPH_WIND:
                    if (index == 0) put(restored.Wind, initial.Wind);
                    else put(restored.Gust, initial.Gust);
                    break;
                case GRAPH_RAIN: put(restored.Rain, initial.Rain); break;
                default: FUZZ_CHECK(!"a graph type the station does not serve was decoded");
            }
            FUZZ_CHECK(CanonOf(restored) == CanonOf(initial));
            break;
        }
        case 9: {
            // The settings block alone, any 22 bytes.
            StationSettings s;
            DecodeSettingsBlock(f.data(), s);
            SettingsRoundTrip(s);
            break;
        }
        default:
            break;
    }
    return 0;
}
