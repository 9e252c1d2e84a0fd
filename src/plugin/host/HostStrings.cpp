#include "HostStrings.h"

#include <algorithm>
#include <cstring>

#include "HostIds.h"

using namespace nimbary;

HostStrings::HostStrings(text::Language language) : language_(language) {
    module_.Context = this;
    module_.LoadText = &HostStrings::LoadText;
}

int HostStrings::LoadText(void* context, int id, char* buffer, int size) {
    const auto* self = static_cast<const HostStrings*>(context);
    const int programId = ProgramId(id);
    if (programId == 0 || !text::Exists(programId)) return 0;
    const std::string s = text::Load(programId, self->language_);
    if (buffer && size > 0) {
        const size_t n = std::min(s.size(), size_t(size - 1));
        std::memcpy(buffer, s.data(), n);
        buffer[n] = '\0';
    }
    return int(s.size());
}
