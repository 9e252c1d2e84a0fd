// Until the station layer's library is in the build, the tests get the few
// StationData members they construct from here; the bodies match it.
#include "StationData.h"

namespace nimbary {

void MaxMinRecord::Clear() {
    InTempMax = InTempMin = VAL_ABSENT;
    InHumiMax = InHumiMin = VAL_ABSENT;
    for (int k = 0; k < kChannels; ++k) {
        ChTempMax[k] = ChTempMin[k] = VAL_ABSENT;
        ChHumiMax[k] = ChHumiMin[k] = VAL_ABSENT;
        ChDewPointMax[k] = ChDewPointMin[k] = VAL_ABSENT;
        ChFeelLikeMax[k] = ChFeelLikeMin[k] = VAL_ABSENT;
    }
    AbsBaroMax = AbsBaroMin = RelBaroMax = RelBaroMin = VAL_ABSENT;
    WindMax = GustMax = VAL_ABSENT;
    for (double& r : RainMax) r = VAL_ABSENT;
}

void GraphSeries::Clear() {
    for (int i = 0; i < kGraphPoints; ++i) {
        InTemp[i] = Baro[i] = Wind[i] = Gust[i] = Rain[i] = VAL_ABSENT;
        InHumi[i] = VAL_ABSENT;
        for (int k = 0; k < kChannels; ++k) {
            ChTemp[k][i] = VAL_ABSENT;
            ChHumi[k][i] = VAL_ABSENT;
        }
    }
}

StationData::StationData(CUsb* usb, UnitSet* units) : usb(usb), units(units) {}

}  // namespace nimbary
