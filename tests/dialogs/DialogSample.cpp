// Renders the station dialogs to PNG files for looking at (not a test):
// dialog_sample <directory>. English and Chinese; the settings dialog also
// with colour by indoor temperature, the max/min dialog also without rain
// and in the eight-channel layout.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "CAlarm.h"
#include "CMaxMin.h"
#include "CSetting.h"
#include "DialogFixture.h"
#include "StringTable.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

bool Save(QDialog& d, const QString& dir, const QString& name) {
    d.show();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(name + ".png");
    const bool ok = d.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", path.toLocal8Bit().constData());
    d.hide();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog_sample <directory>\n");
        return 2;
    }
    const QString dir = argv[1];
    bool ok = true;
    for (auto [lang, tag] :
         {std::pair{text::Language::English, "en"}, std::pair{text::Language::Chinese, "zh"}}) {
        text::SetLanguage(lang);
        const QString t = tag;
        SimStationRig rig;
        rig.access.ReadSettings();
        {
            CSetting d(rig.access, rig.texts, rig.messages, true);
            ok &= Save(d, dir, "setting-" + t);
            Choose(d, 1145, 1);
            Choose(d, 1156, 1);
            ok &= Save(d, dir, "setting-indoor-" + t);
        }
        {
            CAlarm d(rig.access, rig.texts, rig.messages, rig.access.ReadAlarms());
            ok &= Save(d, dir, "alarm-" + t);
        }
        {
            CMaxMin d(rig.access, rig.texts, rig.messages, rig.access.ReadMaxMin());
            ok &= Save(d, dir, "maxmin-" + t);
        }
        RigOptions dry;
        dry.rain = false;
        dry.capability = 0x03;
        SimStationRig noRain(dry);
        noRain.access.ReadSettings();
        {
            CAlarm d(noRain.access, noRain.texts, noRain.messages, noRain.access.ReadAlarms());
            ok &= Save(d, dir, "alarm-norain-" + t);
        }
        {
            CSetting d(noRain.access, noRain.texts, noRain.messages, true);
            ok &= Save(d, dir, "setting-limited-" + t);
        }
        {
            CMaxMin d(noRain.access, noRain.texts, noRain.messages, noRain.access.ReadMaxMin());
            ok &= Save(d, dir, "maxmin-norain-" + t);
        }
        RigOptions all;
        all.tempMask = 0xFF;
        SimStationRig eight(all);
        eight.data.KeepAllChannels = true;
        eight.data.ReadCurrent();
        eight.access.ReadSettings();
        {
            CMaxMin d(eight.access, eight.texts, eight.messages, eight.access.ReadMaxMin(),
                      MaxMinLayout::EightChannels());
            ok &= Save(d, dir, "maxmin-eight-" + t);
        }
    }
    return ok ? 0 : 1;
}
