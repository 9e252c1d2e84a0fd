#pragma once

// The host's string table carries the roles of the program's texts under
// shifted ids: the same up to 2013, one higher from 2014 to 2109, two higher
// for 2111 and 2123. Ids with no host counterpart map to 0.
namespace nimbary {

constexpr int HostId(int programId) {
    if (programId >= 1 && programId <= 2013) return programId;
    if (programId >= 2014 && programId <= 2109) return programId + 1;
    if (programId == 2111 || programId == 2123) return programId + 2;
    return 0;
}

constexpr int ProgramId(int hostId) {
    if (hostId >= 1 && hostId <= 2013) return hostId;
    if (hostId >= 2015 && hostId <= 2110) return hostId - 1;
    if (hostId == 2113 || hostId == 2125) return hostId - 2;
    return 0;
}

}  // namespace nimbary
