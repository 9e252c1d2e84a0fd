#pragma once

#include <QPoint>
#include <QSize>
#include <vector>

#include "Box.h"

namespace nimbary {

// What a max/min value box shows.
enum class MaxMinField {
    InTemp,
    InHumi,
    ChTemp,
    ChHumi,
    ChDewPoint,
    ChFeelLike,
    AbsBaro,
    RelBaro,
    Wind,
    Gust,
    RainHour,
    RainDay,
    RainWeek,
    RainMonth,
};

// A black text: a row label, a block header (in a rounded box) or a legend text.
struct MaxMinText {
    Box box;
    int textId = 0;      // program string id
    int channel = 0;     // > 0: the text is a format, filled with this number
    bool colon = false;  // followed by ":"
    bool boxed = false;  // header: drawn in a value box
    enum Align { Centre, Right, Left } align = Centre;
    bool rain = false;  // belongs to the rain group
};

// A rounded value box with a maximum (red) or minimum (blue) in it.
struct MaxMinValue {
    Box box;
    MaxMinField field = MaxMinField::InTemp;
    int channel = 0;  // 0-based, for the channel fields
    bool maximum = true;
    bool rain = false;
};

// Every place the max/min dialog draws into or puts a control at, in pixels
// of the dialog's client area. The program's table shows indoor and outdoor;
// the plug-in's shows all eight channels. The painting reads only this.
struct MaxMinLayout {
    QSize size;
    Box groups[4];  // 1016 upper block, 1017 pressure, 1018 wind, 1019 rain
    int groupCaptions[4] = {0, 2000, 2049, 2023};
    Box reset, exit;
    std::vector<MaxMinText> texts;
    std::vector<MaxMinValue> values;
    QPoint maxSquare, minSquare;  // legend, 10 x 10
    static constexpr int kSquare = 10;

    static const MaxMinLayout& Program();
    static const MaxMinLayout& EightChannels();
};

}  // namespace nimbary
