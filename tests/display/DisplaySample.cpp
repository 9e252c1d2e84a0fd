// Writes the live display of the sample station as PNG files, in English and
// Chinese, with and without rain, for looking at: display_sample <dir>
#include <QGuiApplication>
#include <cstdio>
#include <string>

#include "RenderDisplay.h"
#include "SampleStation.h"
#include "StringTable.h"
#include "TextSource.h"

using namespace nimbary;

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const std::string dir = argc > 1 ? argv[1] : ".";
    StringTableSource texts;
    UnitSet units;
    units.TempUnit = TEMP_C;
    int failures = 0;
    for (auto lang : {text::Language::English, text::Language::Chinese}) {
        text::SetLanguage(lang);
        for (bool rain : {false, true}) {
            StationData station;
            FillSampleStation(station, rain);
            const std::string path = dir + "/display-" +
                                     (lang == text::Language::English ? "en" : "zh") +
                                     (rain ? "-rain" : "") + ".png";
            if (RenderDisplayToPng(station, units, texts, path)) {
                std::printf("%s\n", path.c_str());
            } else {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                ++failures;
            }
        }
    }
    return failures ? 1 : 0;
}
