#pragma once

#include "StringTable.h"
#include "ZQ0093.h"

// The host's string table: the program's texts under the host's ids, in one
// language.
class HostStrings {
public:
    explicit HostStrings(nimbary::text::Language language);
    HostStrings(const HostStrings&) = delete;  // the module points back here
    HostStrings& operator=(const HostStrings&) = delete;
    const ZQ0093HostModule* Module() const { return &module_; }

private:
    static int LoadText(void* context, int id, char* buffer, int size);

    nimbary::text::Language language_;
    ZQ0093HostModule module_;
};
