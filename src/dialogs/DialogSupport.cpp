#include "DialogSupport.h"

#include "StringTable.h"

namespace nimbary {

QString Text(TextSource& texts, int id) {
    return QString::fromStdString(texts.Load(id));
}

std::string RangeMessage(TextSource& texts, const std::string& lower, const std::string& upper) {
    return text::FormatText(texts.Load(2095), {lower, upper});
}

std::string RangeMessage(TextSource& texts, Quantity q, bool indoor, const UnitSet& units) {
    const auto [lower, upper] = RangeEnds(q, indoor, units);
    return RangeMessage(texts, lower, upper);
}

QFont DialogFont() {
    QFont font(QStringLiteral("Arial"));
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    return font;
}

}  // namespace nimbary
