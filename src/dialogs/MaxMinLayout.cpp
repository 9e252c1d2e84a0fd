#include "MaxMinLayout.h"

namespace nimbary {

namespace {

// Dialog units to pixels the way the dialog templates were laid out: a
// dialog unit is a quarter of a 6-pixel character cell across and an eighth
// of a 13-pixel one down, each edge rounded on its own.
int DluX(int d) {
    return (d * 6 + 2) / 4;
}
int DluY(int d) {
    return (d * 13 + 4) / 8;
}
Box FromDlu(int x, int y, int w, int h) {
    return Box{DluX(x), DluY(y), DluX(x + w), DluY(y + h)};
}

// The vertical places of one table; the columns are the same in both.
struct Rows {
    int headerTop, headerBottom;
    int rowTop, rowHeight, rowPitch;  // upper block, row 0 indoor, then the channels
    int channels;
    int channelText;  // row label of the channel rows
    int lowerTop[2];
    int legendTop;
    int squareTop;
};

struct UpperBlock {
    int header;
    int maxLeft, maxRight, minLeft, minRight;
    bool indoor;
    MaxMinField in, channel;
};

const UpperBlock kUpper[4] = {
    {2034, 116, 196, 202, 282, true, MaxMinField::InTemp, MaxMinField::ChTemp},
    {2035, 332, 412, 418, 498, true, MaxMinField::InHumi, MaxMinField::ChHumi},
    {2040, 548, 628, 632, 712, false, MaxMinField::InTemp, MaxMinField::ChDewPoint},
    {2041, 762, 842, 848, 928, false, MaxMinField::InTemp, MaxMinField::ChFeelLike},
};

// A lower-block column: two labelled rows of one maximum each, or of a
// maximum and a minimum.
struct LowerColumn {
    int labelLeft, labelRight;
    int texts[2];
    MaxMinField fields[2];
    int maxLeft, maxRight, minLeft, minRight;  // minLeft 0: maxima only
    bool rain;
};

const LowerColumn kLower[4] = {
    {10,
     110,
     {2001, 2002},
     {MaxMinField::AbsBaro, MaxMinField::RelBaro},
     116,
     196,
     202,
     282,
     false},
    {332, 412, {2049, 2050}, {MaxMinField::Wind, MaxMinField::Gust}, 418, 498, 0, 0, false},
    {548, 628, {2026, 2027}, {MaxMinField::RainHour, MaxMinField::RainDay}, 632, 712, 0, 0, true},
    {762, 842, {2029, 2030}, {MaxMinField::RainWeek, MaxMinField::RainMonth}, 848, 928, 0, 0, true},
};

void AddPair(MaxMinLayout& l, int top, int bottom, const UpperBlock& b, MaxMinField f, int ch) {
    l.values.push_back({Box{b.maxLeft, top, b.maxRight, bottom}, f, ch, true, false});
    l.values.push_back({Box{b.minLeft, top, b.minRight, bottom}, f, ch, false, false});
}

void AddRows(MaxMinLayout& l, const Rows& r) {
    auto top = [&](int row) { return r.rowTop + row * r.rowPitch; };
    const int h = r.rowHeight;
    l.texts.push_back({Box{10, top(0), 110, top(0) + h}, 2032, 0, true});
    for (int ch = 0; ch < r.channels; ++ch)
        l.texts.push_back({Box{10, top(ch + 1), 110, top(ch + 1) + h}, r.channelText,
                           r.channels > 1 ? ch + 1 : 0, true});
    for (const UpperBlock& b : kUpper) {
        MaxMinText header{Box{b.maxLeft, r.headerTop, b.minRight, r.headerBottom}, b.header};
        header.boxed = true;
        l.texts.push_back(header);
        if (b.indoor) AddPair(l, top(0), top(0) + h, b, b.in, 0);
        for (int ch = 0; ch < r.channels; ++ch)
            AddPair(l, top(ch + 1), top(ch + 1) + h, b, b.channel, ch);
    }
    for (const LowerColumn& c : kLower)
        for (int row = 0; row < 2; ++row) {
            const int y = r.lowerTop[row];
            MaxMinText label{Box{c.labelLeft, y, c.labelRight, y + h}, c.texts[row], 0, true};
            label.rain = c.rain;
            l.texts.push_back(label);
            l.values.push_back(
                {Box{c.maxLeft, y, c.maxRight, y + h}, c.fields[row], 0, true, c.rain});
            if (c.minLeft)
                l.values.push_back(
                    {Box{c.minLeft, y, c.minRight, y + h}, c.fields[row], 0, false, c.rain});
        }
    const int lt = r.legendTop, lb = r.legendTop + h;
    MaxMinText max{Box{10, lt, 80, lb}, 2054, 0, true}, min{Box{100, lt, 170, lb}, 2055, 0, true},
        daily{Box{320, lt, 600, lb}, 2056};
    max.align = min.align = MaxMinText::Right;
    daily.align = MaxMinText::Left;
    l.texts.insert(l.texts.end(), {max, min, daily});
    l.maxSquare = QPoint(82, r.squareTop);
    l.minSquare = QPoint(172, r.squareTop);
}

// The dialog's template in dialog units: its size, the upper group's height,
// the lower groups' row and the buttons' row; the columns are the same in both.
MaxMinLayout Make(int width, int height, int upperHeight, int lowerTop, int lowerHeight,
                  int buttonTop, const Rows& rows) {
    MaxMinLayout l;
    l.size = QSize(DluX(width), DluY(height));
    l.groups[0] = FromDlu(7, 3, 627, upperHeight);
    l.groups[1] = FromDlu(7, lowerTop, 192, lowerHeight);
    l.groups[2] = FromDlu(213, lowerTop, 131, lowerHeight);
    l.groups[3] = FromDlu(357, lowerTop, 277, lowerHeight);
    l.reset = FromDlu(513, buttonTop, 50, 14);
    l.exit = FromDlu(584, buttonTop, 50, 14);
    AddRows(l, rows);
    return l;
}

}  // namespace

const MaxMinLayout& MaxMinLayout::Program() {
    static const MaxMinLayout layout =
        Make(641, 214, 86, 104, 72, 193, Rows{30, 54, 70, 24, 40, 1, 2033, {208, 248}, 310, 318});
    return layout;
}

// All eight channels: the template of the plug-in's dialog.
const MaxMinLayout& MaxMinLayout::EightChannels() {
    static const MaxMinLayout layout =
        Make(643, 298, 202, 214, 52, 279, Rows{25, 45, 55, 20, 30, 8, 2042, {370, 400}, 450, 456});
    return layout;
}

}  // namespace nimbary
