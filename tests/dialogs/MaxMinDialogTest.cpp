#include <gtest/gtest.h>

#include <QGroupBox>
#include <QImage>
#include <QPainter>

#include "CMaxMin.h"
#include "DialogFixture.h"
#include "MaxMinPainter.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

QImage Painted(const MaxMinRecord& r, bool rain, const UnitSet& u = UnitSet()) {
    const MaxMinLayout& l = MaxMinLayout::Program();
    QImage image(l.size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    StringTableSource texts;
    PaintMaxMin(p, l, r, u, texts, rain);
    return image;
}

// Pixels of roughly this hue inside `b` (text is antialiased).
int Reddish(const QImage& im, const Box& b, bool red) {
    int n = 0;
    for (int y = b.top + 1; y < b.bottom - 1; ++y)
        for (int x = b.left + 1; x < b.right - 1; ++x) {
            const QColor c = im.pixelColor(x, y);
            const int mine = red ? c.red() : c.blue(), others = red ? c.blue() : c.red();
            n += mine > 200 && others < 120 && c.green() < 120;
        }
    return n;
}

// Where a value box holds text, whatever its colour.
std::vector<bool> Ink(const QImage& im, const Box& b) {
    std::vector<bool> ink;
    for (int y = b.top + 2; y < b.bottom - 2; ++y)
        for (int x = b.left + 2; x < b.right - 2; ++x)
            ink.push_back(im.pixelColor(x, y) != maxmin::kBoxFill);
    return ink;
}

MaxMinRecord Sample() {
    MaxMinRecord r;
    r.InTempMax = 77.0, r.InTempMin = 60.8;
    r.RainMax[RAIN_HOUR] = 2.5;
    return r;
}

const MaxMinValue& ValueAt(const MaxMinLayout& l, MaxMinField f, bool maximum, int channel = 0) {
    for (const MaxMinValue& v : l.values)
        if (v.field == f && v.maximum == maximum && v.channel == channel) return v;
    throw std::out_of_range("no such value box");
}

}  // namespace

TEST(MaxMinLayout, EveryBoxLiesInItsGroupAndNoneOverlap) {
    for (const MaxMinLayout* l : {&MaxMinLayout::Program(), &MaxMinLayout::EightChannels()}) {
        for (size_t i = 0; i < l->values.size(); ++i) {
            const QRect r = l->values[i].box.ToQRect();
            bool inGroup = false;
            for (const Box& g : l->groups) inGroup |= g.ToQRect().contains(r);
            EXPECT_TRUE(inGroup) << i;
            for (size_t j = i + 1; j < l->values.size(); ++j)
                EXPECT_FALSE(r.intersects(l->values[j].box.ToQRect())) << i << " " << j;
        }
        EXPECT_TRUE(QRect(QPoint(), l->size).contains(l->exit.ToQRect()));
    }
    const MaxMinLayout& eight = MaxMinLayout::EightChannels();
    EXPECT_EQ(ValueAt(eight, MaxMinField::ChTemp, true, 7).box, (Box{116, 295, 196, 315}));
    EXPECT_EQ(ValueAt(eight, MaxMinField::ChDewPoint, false, 0).box, (Box{632, 85, 712, 105}));
    EXPECT_EQ(ValueAt(eight, MaxMinField::RainMonth, true).box, (Box{848, 400, 928, 420}));
    EXPECT_EQ(eight.size, QSize(965, 484));
}

TEST(MaxMinPainting, BoxesValuesAndLegendAtTheirPlaces) {
    const QImage im = Painted(Sample(), true);
    const Box inMax{116, 70, 196, 94}, inMin{202, 70, 282, 94};
    EXPECT_EQ(im.pixelColor(156, 70), maxmin::kBoxPen);   // top edge
    EXPECT_EQ(im.pixelColor(156, 93), maxmin::kBoxPen);   // last row
    EXPECT_EQ(im.pixelColor(195, 82), maxmin::kBoxPen);   // last column
    EXPECT_EQ(im.pixelColor(118, 72), maxmin::kBoxFill);  // inside, clear of the text
    EXPECT_EQ(im.pixelColor(156, 69), QColor(Qt::white));
    EXPECT_GT(Reddish(im, inMax, true), 20);
    EXPECT_GT(Reddish(im, inMin, false), 20);
    EXPECT_EQ(Reddish(im, inMax, false), 0);
    EXPECT_EQ(im.pixelColor(87, 323), maxmin::kMax);
    EXPECT_EQ(im.pixelColor(82, 318), maxmin::kMax);
    EXPECT_EQ(im.pixelColor(92, 323), QColor(Qt::white));
    EXPECT_EQ(im.pixelColor(177, 323), maxmin::kMin);
    // The header box of the temperature block, and an unreported field's empty box.
    EXPECT_EQ(im.pixelColor(200, 30), maxmin::kBoxPen);
    EXPECT_EQ(Reddish(im, Box{116, 110, 196, 134}, true), 0);
    EXPECT_EQ(im.pixelColor(156, 110), maxmin::kBoxPen);
}

TEST(MaxMinPainting, RainGroupOnlyWithRain) {
    const Box rainHour{632, 208, 712, 232};
    const QImage wet = Painted(Sample(), true), dry = Painted(Sample(), false);
    EXPECT_EQ(wet.pixelColor(672, 208), maxmin::kBoxPen);
    EXPECT_GT(Reddish(wet, rainHour, true), 10);
    for (int y = 200; y < 280; ++y)
        for (int x = 540; x < 940; ++x) ASSERT_EQ(dry.pixelColor(x, y), QColor(Qt::white));
    EXPECT_EQ(dry.pixelColor(156, 208), maxmin::kBoxPen);  // pressure stays
}

TEST(MaxMinPainting, BeaufortMaximaShowAsClassNumbers) {
    MaxMinRecord r;
    r.WindMax = 8.0, r.GustMax = 32.6;
    UnitSet u;
    u.WindUnit = WIND_BFT;
    const MaxMinLayout& l = MaxMinLayout::Program();
    EXPECT_EQ(MaxMinValueText(r, ValueAt(l, MaxMinField::Wind, true), u), "5 bft");
    EXPECT_EQ(MaxMinValueText(r, ValueAt(l, MaxMinField::Gust, true), u), "12 bft");
}

TEST(MaxMinDialog, ResetClearsTheStationAndPaintsWhatItReadsBack) {
    SimStationRig rig;
    CMaxMin d(rig.access, rig.texts, rig.messages, rig.access.ReadMaxMin());
    EXPECT_NE(rig.data.MaxMin.InTempMax, rig.data.MaxMin.InTempMin);
    const QImage before = d.grab().toImage();
    const size_t sent = rig.counting->Codes().size();
    Click(d, 1020);
    const std::vector<uint8_t> codes = rig.counting->Codes();
    EXPECT_EQ(std::vector<uint8_t>(codes.begin() + static_cast<long>(sent), codes.end()),
              (std::vector<uint8_t>{0x87, 0x05}));
    const sim::MaxMinValues m = rig.Sim().MaxMin();
    EXPECT_EQ(m.inTempMax, m.inTempMin);
    EXPECT_EQ(rig.data.MaxMin.InTempMax, rig.data.MaxMin.InTempMin);
    EXPECT_EQ(Shown(rig.messages), Msg("Successfully clear!", MessageIcon::Information));

    // The dialog shows the values read back: the indoor maximum and minimum,
    // equal now, in the same figures (red and blue).
    const QImage shown = d.grab().toImage();
    EXPECT_EQ(shown.pixelColor(156, 70), maxmin::kBoxPen);  // not tinted by the group box
    EXPECT_EQ(shown.pixelColor(118, 72), maxmin::kBoxFill);
    const Box inMax = ValueAt(MaxMinLayout::Program(), MaxMinField::InTemp, true).box;
    const Box inMin = ValueAt(MaxMinLayout::Program(), MaxMinField::InTemp, false).box;
    EXPECT_EQ(Ink(shown, inMax), Ink(shown, inMin));
    EXPECT_NE(Ink(before, inMax), Ink(before, inMin)) << "they differed before the reset";
}

TEST(MaxMinDialog, FailedClearOrReadLeavesResetHarmless) {
    SimStationRig rig;
    rig.Faults().Add(sim::Fault::WrongStatus, 1, 0x87);
    CMaxMin d(rig.access, rig.texts, rig.messages, rig.access.ReadMaxMin());
    const size_t before = rig.counting->Codes().size();
    Click(d, 1020);
    EXPECT_EQ(rig.counting->Codes().size(), before + 1);  // no read after a failed clear
    EXPECT_EQ(Shown(rig.messages), Msg("Clear failed!", MessageIcon::Error));

    rig.backend->Unplug();
    rig.usb->OnRemoval(sim::SimBackend::kStationPath);
    CMaxMin unplugged(rig.access, rig.texts, rig.messages, rig.access.ReadMaxMin());
    EXPECT_FALSE(Control(unplugged, 1020)->isEnabled());
    EXPECT_EQ(rig.data.MaxMin.InTempMax, VAL_ABSENT);
}

TEST(MaxMinDialog, RainGroupIsHiddenWithoutRain) {
    RigOptions dry;
    dry.rain = false;
    SimStationRig rig(dry);
    CMaxMin d(rig.access, rig.texts, rig.messages, rig.access.ReadMaxMin());
    EXPECT_TRUE(Control(d, 1019)->isHidden());
    EXPECT_FALSE(Control(d, 1018)->isHidden());
    EXPECT_EQ(Control<QGroupBox>(d, 1018)->title(), "Wind");
}
