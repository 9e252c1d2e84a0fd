#include "DialogSupport.h"

#include "StringTable.h"

namespace nimbary {

QString Text(TextSource& texts, int id) {
    return QString::fromStdString(texts.Load(id));
}

QString Text(int id) {
    return QString::fromStdString(text::Load(id));
}

std::string RangeMessage(TextSource& texts, const std::string& lower, const std::string& upper) {
    return text::FormatText(texts.Load(2095), {lower, upper});
}

std::string RangeMessage(TextSource& texts, RangeQuantity q, bool indoor, const UnitSet& units) {
    const auto [lower, upper] = RangeEnds(q, indoor, units);
    return RangeMessage(texts, lower, upper);
}

QFont DialogFont() {
    // Family names on the heap: Qt's font cache outlives an unloaded plug-in
    // and with it any literal's data.
    QFont font(QString::fromLatin1("Arial"));
    font.setFamilies(
        QString::fromLatin1("Arial,Liberation Sans,WenQuanYi Zen Hei,Noto Sans CJK SC").split(','));
    font.setPixelSize(12);
    return font;
}

}  // namespace nimbary
