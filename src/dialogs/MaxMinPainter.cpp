#include "MaxMinPainter.h"

#include "DisplayFonts.h"
#include "Format.h"
#include "StringTable.h"

namespace nimbary {

namespace {

constexpr int kFlags = FMT_VALUE | FMT_UNIT;

// A rounded box whose outline covers its first and last pixel row and column.
void RoundBox(QPainter& p, const Box& b) {
    p.setPen(maxmin::kBoxPen);
    p.setBrush(maxmin::kBoxFill);
    p.drawRoundedRect(QRect(b.left, b.top, b.Width() - 1, b.Height() - 1), 2.5, 2.5);
}

void Write(QPainter& p, const Box& b, const QString& s, const QColor& c, int align) {
    p.setPen(c);
    p.drawText(b.ToQRect(), align | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, s);
}

}  // namespace

std::string MaxMinValueText(const MaxMinRecord& r, const MaxMinValue& v, const UnitSet& u) {
    const bool mx = v.maximum;
    const int k = v.channel;
    switch (v.field) {
        case MaxMinField::InTemp:
            return FormatTemp(mx ? r.InTempMax : r.InTempMin, kFlags, u);
        case MaxMinField::InHumi:
            return FormatHumi(mx ? r.InHumiMax : r.InHumiMin, kFlags, u);
        case MaxMinField::ChTemp:
            return FormatTemp(mx ? r.ChTempMax[k] : r.ChTempMin[k], kFlags, u);
        case MaxMinField::ChHumi:
            return FormatHumi(mx ? r.ChHumiMax[k] : r.ChHumiMin[k], kFlags, u);
        case MaxMinField::ChDewPoint:
            return FormatTemp(mx ? r.ChDewPointMax[k] : r.ChDewPointMin[k], kFlags, u);
        case MaxMinField::ChFeelLike:
            return FormatTemp(mx ? r.ChFeelLikeMax[k] : r.ChFeelLikeMin[k], kFlags, u);
        case MaxMinField::AbsBaro:
            return FormatBaro(mx ? r.AbsBaroMax : r.AbsBaroMin, kFlags, u);
        case MaxMinField::RelBaro:
            return FormatBaro(mx ? r.RelBaroMax : r.RelBaroMin, kFlags, u);
        case MaxMinField::Wind:
            return FormatWind(r.WindMax, kFlags, u);
        case MaxMinField::Gust:
            return FormatWind(r.GustMax, kFlags, u);
        case MaxMinField::RainHour:
            return FormatRain(r.RainMax[RAIN_HOUR], kFlags, u);
        case MaxMinField::RainDay:
            return FormatRain(r.RainMax[RAIN_DAY], kFlags, u);
        case MaxMinField::RainWeek:
            return FormatRain(r.RainMax[RAIN_WEEK], kFlags, u);
        case MaxMinField::RainMonth:
            return FormatRain(r.RainMax[RAIN_MONTH], kFlags, u);
    }
    return {};
}

void PaintMaxMin(QPainter& p, const MaxMinLayout& layout, const MaxMinRecord& record,
                 const UnitSet& units, TextSource& texts, bool rain) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(PanelFont(16));
    p.setBackgroundMode(Qt::TransparentMode);
    for (const MaxMinText& t : layout.texts) {
        if (t.rain && !rain) continue;
        std::string s = texts.Load(t.textId);
        if (t.channel > 0) s = text::FormatText(s, {t.channel});
        if (t.colon) s += ":";
        if (t.boxed) RoundBox(p, t.box);
        const int align = t.align == MaxMinText::Right  ? Qt::AlignRight
                          : t.align == MaxMinText::Left ? Qt::AlignLeft
                                                        : Qt::AlignHCenter;
        Write(p, t.box, QString::fromStdString(s), Qt::black, align);
    }
    for (const MaxMinValue& v : layout.values) {
        if (v.rain && !rain) continue;
        RoundBox(p, v.box);
        Write(p, v.box, QString::fromStdString(MaxMinValueText(record, v, units)),
              v.maximum ? maxmin::kMax : maxmin::kMin, Qt::AlignHCenter);
    }
    const int n = MaxMinLayout::kSquare;
    p.fillRect(QRect(layout.maxSquare, QSize(n, n)), maxmin::kMax);
    p.fillRect(QRect(layout.minSquare, QSize(n, n)), maxmin::kMin);
    p.restore();
}

}  // namespace nimbary
