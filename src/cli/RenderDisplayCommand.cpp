// nimbary-cli render-display: the live display of one polled station state as a PNG.
#include <QGuiApplication>

#include "ArgList.h"
#include "Command.h"
#include "RenderDisplay.h"
#include "StationSession.h"
#include "StringTable.h"
#include "TextSource.h"

namespace nimbary::cli {

const char* const kRenderDisplayHelp =
    "Polls the station once (settings, current reading, every graph series) and\n"
    "draws the main window's live display, 1170 x 690 pixels, into OUT.png.\n"
    "  --lang en|zh   captions in English (default) or Chinese\n";

int RunRenderDisplay(std::vector<std::string> args) {
    ArgList a(std::move(args));
    BackendOptions backend;
    const std::string backendError = BackendOptions::Parse(a.Raw(), backend);
    if (!backendError.empty()) return UsageError("render-display", backendError);
    std::string lang;
    bool langGiven = false;
    if (!a.TakeValue("--lang", lang, langGiven)) return UsageError("render-display", a.Error());
    text::Language language;
    if (const std::string e = LanguageArg(lang, langGiven, language); !e.empty())
        return UsageError("render-display", e);
    std::vector<std::string> positional;
    if (!a.Finish(positional, 1, 1, "the output file OUT.png"))
        return UsageError("render-display", a.Error());

    StationSession session;
    if (const int opened = session.Open(backend, std::string()); opened != kExitOk) return opened;
    StationData& station = session.Data();
    if (!station.ReadSettings() || !station.ReadCurrent() || !station.ReadAllGraphs()) {
        PrintError("the station did not answer");
        return kExitFailure;
    }

    // Fonts need a GUI application; no screen is needed to draw into an image.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "nimbary-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    text::SetLanguage(language);
    StringTableSource texts;
    if (!RenderDisplayToPng(station, Units(), texts, positional[0])) {
        PrintError("cannot write " + positional[0]);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace nimbary::cli
