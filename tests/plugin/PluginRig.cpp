#include "PluginRig.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstring>

#include "HostIds.h"

namespace nimbary::testing {

int RecordingHost::Lookup(void* context, int id, char* buffer, int size) {
    auto* self = static_cast<RecordingHost*>(context);
    self->asked.insert(id);
    const int programId = ProgramId(id);
    if (self->silent || programId == 0) return 0;
    const std::string s = text::Load(programId, text::Language::English);
    const size_t n = std::min(s.size(), size_t(size - 1));
    std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return int(s.size());
}

PluginRig::PluginRig(const std::string& simOptions) {
    static int serial = 0;
    dir_ = QDir::tempPath().toStdString() + "/zq0093-test-" + std::to_string(getpid()) + "-" +
           std::to_string(++serial);
    QDir().mkpath(QString::fromStdString(dir_));
    capture_ = dir_ + "/session.txt";
    const std::string options = "--simulate --sim-days 0 " + simOptions + " --capture " + capture_;
    setenv("NIMBARY_STALINK", options.c_str(), 1);
    stalink_ = dlopen(STALINK_SIM_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!stalink_) ADD_FAILURE() << dlerror();
    plugin_ = dlopen(ZQ0093_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!plugin_) ADD_FAILURE() << dlerror();
    InitVariant = Bind<decltype(InitVariant)>("InitVariant");
    InitLanguage = Bind<decltype(InitLanguage)>("InitLanguage");
    ReadMainRecord = Bind<decltype(ReadMainRecord)>("ReadMainRecord");
    DrawData = Bind<decltype(DrawData)>("DrawData");
    OnMouseMove = Bind<decltype(OnMouseMove)>("OnMouseMove");
    OnLButtonUp = Bind<decltype(OnLButtonUp)>("OnLButtonUp");
    OnLButtonDown = Bind<decltype(OnLButtonDown)>("OnLButtonDown");
    DeviceRemoveDone = Bind<decltype(DeviceRemoveDone)>("DeviceRemoveDone");
    GetUnit = Bind<decltype(GetUnit)>("GetUnit");
    SetUnit = Bind<decltype(SetUnit)>("SetUnit");
    ShowSetting = Bind<decltype(ShowSetting)>("ShowSetting");
    ShowAlarm = Bind<decltype(ShowAlarm)>("ShowAlarm");
    ShowMaxMin = Bind<decltype(ShowMaxMin)>("ShowMaxMin");
    UsbReadParam = Bind<decltype(UsbReadParam)>("UsbReadParam", stalink_);
    UsbWriteParam = Bind<decltype(UsbWriteParam)>("UsbWriteParam", stalink_);
    SimPlug = Bind<decltype(SimPlug)>("StalinkSimPlug", stalink_);
    SimPresence = Bind<decltype(SimPresence)>("StalinkSimPresence", stalink_);
    SimGraphRefresh = Bind<decltype(SimGraphRefresh)>("StalinkSimGraphRefresh", stalink_);
    SimFault = Bind<decltype(SimFault)>("StalinkSimFault", stalink_);
}

void PluginRig::UnloadPlugin() {
    if (plugin_) dlclose(plugin_);
    plugin_ = nullptr;
}

PluginRig::~PluginRig() {
    UnloadPlugin();
    if (stalink_) dlclose(stalink_);
    unsetenv("NIMBARY_STALINK");
    QDir(QString::fromStdString(dir_)).removeRecursively();
}

void PluginRig::Start() {
    const ZQ0093Size size = InitVariant(nullptr);
    EXPECT_EQ(size.Width, 1170);
    EXPECT_EQ(size.Height, 690);
    InitLanguage(&host.module);
}

int PluginRig::Poll() {
    QPainter p(&image);
    return ReadMainRecord(&p, &units);
}

QImage PluginRig::Draw() {
    QImage out(1170, 690, QImage::Format_RGB32);
    out.fill(QColor(242, 242, 242));
    QPainter p(&out);
    DrawData(&p, 1);
    return out;
}

std::vector<std::vector<uint8_t>> PluginRig::Requests() const {
    std::vector<CaptureLine> lines;
    std::vector<std::vector<uint8_t>> out;
    std::string error;
    EXPECT_TRUE(LoadCapture(capture_, lines, error)) << error;
    for (const CaptureLine& l : lines)
        if (l.kind == CaptureLine::Out && l.bytes.size() >= 3) out.push_back(l.bytes);
    return out;
}

std::vector<std::pair<int, int>> PluginRig::GraphRequests() const {
    std::vector<std::pair<int, int>> out;
    for (const std::vector<uint8_t>& r : Requests())
        if (r[1] == 0x09 && r.size() >= 4) out.emplace_back(r[2], r[3]);
    return out;
}

namespace {

// The text as drawn at `offset` of a pixel, cut to its inked columns and rows.
QImage Sample(const QString& text, const QFont& font, const QColor& colour,
              const QColor& background, qreal offset) {
    const QFontMetrics fm(font);
    QImage img(fm.horizontalAdvance(text) + 4, fm.height(), QImage::Format_RGB32);
    img.fill(background);
    {
        QPainter p(&img);
        p.setFont(font);
        p.setPen(colour);
        p.drawText(QPointF(1 + offset, fm.ascent()), text);
    }
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != background.rgb()) ink |= QRect(x, y, 1, 1);
    return img.copy(ink);
}

bool MatchAt(const QImage& image, int x0, int y0, const QImage& sample) {
    for (int y = 0; y < sample.height(); ++y)
        for (int x = 0; x < sample.width(); ++x) {
            const QRgb a = image.pixel(x0 + x, y0 + y), b = sample.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > 24 || std::abs(qGreen(a) - qGreen(b)) > 24 ||
                std::abs(qBlue(a) - qBlue(b)) > 24)
                return false;
        }
    return true;
}

}  // namespace

bool FindText(const QImage& image, const QRect& region, const QString& text, const QFont& font,
              const QColor& colour, const QColor& background) {
    for (qreal offset : {0.0, 0.25, 0.5, 0.75}) {
        const QImage sample = Sample(text, font, colour, background, offset);
        for (int y = region.top(); y + sample.height() <= region.bottom() + 1; ++y)
            for (int x = region.left(); x + sample.width() <= region.right() + 1; ++x)
                if (MatchAt(image, x, y, sample)) return true;
    }
    return false;
}

}  // namespace nimbary::testing
