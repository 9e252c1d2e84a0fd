#include "HistoryUiText.h"

#include <algorithm>

#include "StringTable.h"

namespace nimbary {

QString StationIdText(uint32_t id) {
    return QStringLiteral("%1").arg(id, 8, 16, QChar('0')).toUpper();
}

uint32_t ParseStationId(const QString& text) {
    constexpr int kMaxChars = 49;
    uint64_t v = 0;
    for (QChar c : text.left(kMaxChars)) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0) break;
        v = std::min<uint64_t>(v * 16 + digit, 0xFFFFFFFFu);
    }
    return static_cast<uint32_t>(v);
}

}  // namespace nimbary
