#include "TextSource.h"

#include "StringTable.h"

namespace nimbary {

std::string StringTableSource::Load(int id) {
    return text::Load(id);
}

}  // namespace nimbary
