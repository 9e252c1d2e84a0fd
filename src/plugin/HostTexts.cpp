#include "HostTexts.h"

#include "HostIds.h"

namespace nimbary {

namespace {

// Longer than any text a host has any business handing over.
constexpr int kMaxText = 1 << 16;

}  // namespace

std::string HostTexts::Load(int programId) {
    const int id = HostId(programId);
    if (!module_ || !module_->LoadText || id == 0) return {};
    std::string buffer(256, '\0');
    for (;;) {
        const int n = module_->LoadText(module_->Context, id, buffer.data(), int(buffer.size()));
        if (n <= 0) return {};
        if (n < int(buffer.size())) {
            buffer.resize(size_t(n));
            return buffer;
        }
        if (n >= kMaxText) return {};
        buffer.assign(size_t(n) + 1, '\0');
    }
}

void TextCopies::Take(TextSource& from, const std::vector<int>& ids) {
    copies_.clear();
    for (int id : ids) copies_[id] = from.Load(id);
}

std::string TextCopies::Load(int id) {
    const auto it = copies_.find(id);
    return it == copies_.end() ? std::string() : it->second;
}

}  // namespace nimbary
