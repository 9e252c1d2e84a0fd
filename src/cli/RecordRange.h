#pragma once

#include <cstdint>
#include <string>

#include "ArgList.h"

namespace nimbary::cli {

// The records a reading command works on: --station ID, --from TIME and
// --to TIME taken out of its arguments (exchanged when given the wrong way
// round).
struct RecordRange {
    uint32_t devId = 0;
    double start = 0.0;  // OLE dates, both ends included
    double end = 1e7;
    bool fromGiven = false, toGiven = false;

    // False with `error` set for a missing or malformed option.
    bool Take(ArgList& args, std::string& error);
};

}  // namespace nimbary::cli
