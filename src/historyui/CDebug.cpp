#include "CDebug.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "ReplacingFile.h"

#include "StringTable.h"

namespace nimbary {

namespace {

constexpr int kChunk = 124;  // the most one reply carries
constexpr int kTextX = 10;
constexpr int kLinesHeight = 240;  // room for the lines down to y = 210

// Reads `size` bytes of a memory area from address 0 in chunks, each handed
// to `sink` as it arrives. False at the first read that fails, or when the
// sink refuses a chunk.
bool ReadArea(HistorySource& station, uint8_t area, int size,
              const std::function<bool(const std::vector<uint8_t>&)>& sink) {
    std::vector<uint8_t> chunk;
    for (int address = 0; address < size; address += kChunk) {
        const auto count = static_cast<uint8_t>(std::min(kChunk, size - address));
        if (!station.ReadMemory(area, static_cast<uint16_t>(address), count, chunk)) return false;
        if (!sink(chunk)) return false;
    }
    return true;
}

std::string WithPath(const char* format, const QString& path) {
    return text::FormatText(format, {QDir::toNativeSeparators(path).toStdString()});
}

// A dump that could not be written: a full disk said as such, with the path.
std::string WriteFailure(const ReplacingFile& file, const QString& path) {
    if (IsDiskFull(file.Errno()))
        return WithPath("The disk is full: failed to write the file:\n%s", path);
    return WithPath("Failed to write the file:\n%s", path) + " (" + std::strerror(file.Errno()) +
           ")";
}

// The save dialog: Qt's own, so that it speaks the program's language.
QString AskForPath(QWidget* parent, const QString& suggested) {
    QFileDialog d(parent);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setNameFilter("*.bin (*.bin)");
    d.setDefaultSuffix("bin");
    d.selectFile(suggested);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().front();
}

// A wait cursor while a dump holds the window.
struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace

CDebug::CDebug(HistorySource& station, Messages& messages, QWidget* parent)
    : QDialog(parent),
      choosePath([this](const QString& suggested) { return AskForPath(this, suggested); }),
      station_(station),
      messages_(messages),
      monitor_(station) {
    setWindowTitle("Debug");
    auto* ok = new QPushButton("Ok", this);
    ok->setObjectName("idc_1");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("idc_2");
    auto* fat = new QPushButton("Read FAT", this);
    fat->setObjectName("idc_1161");
    auto* data = new QPushButton("Read Data", this);
    data->setObjectName("idc_1162");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(fat, &QPushButton::clicked, this, &CDebug::ReadFat);
    connect(data, &QPushButton::clicked, this, &CDebug::ReadData);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {fat, data, ok, cancel}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addSpacing(kLinesHeight);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &CDebug::Tick);
    timer_.start();
}

void CDebug::done(int result) {
    timer_.stop();
    QDialog::done(result);
}

void CDebug::Tick() {
    if (busy_) return;
    busy_ = true;
    MemoryMonitor::Look look = monitor_.Tick();
    if (look.warning)
        messages_.Show("first record of rainfall or indoor temperature may be error!",
                       MessageIcon::None);
    for (const auto& [y, line] : look.lines) lines_[y] = QString::fromStdString(line);
    if (!look.lines.empty()) update();
    busy_ = false;
}

QString CDebug::LineAt(int y) const {
    auto it = lines_.find(y);
    return it == lines_.end() ? QString() : it->second;
}

void CDebug::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const int height = fontMetrics().height();
    for (const auto& [y, line] : lines_)
        p.drawText(QRect(kTextX, y, width() - kTextX, height), Qt::AlignLeft | Qt::AlignTop, line);
}

void CDebug::ReadFat() {
    const QString path = choosePath(QDir::home().filePath("block.bin"));
    if (!path.isEmpty()) DumpBlockTable(path);
}

void CDebug::ReadData() {
    const QString path = choosePath(QDir::home().filePath("data.bin"));
    if (!path.isEmpty()) DumpDataArea(path);
}

void CDebug::DumpBlockTable(const QString& path) {
    WaitCursor wait;
    QByteArray table(kBlockTableBytes, '\0');
    int at = 0;
    const bool read = ReadArea(station_, 1, kBlockTableBytes, [&](const std::vector<uint8_t>& c) {
        std::copy(c.begin(), c.end(), table.begin() + at);
        at += static_cast<int>(c.size());
        return true;
    });
    if (!read) {
        messages_.Show("Failed to read the file allocation table.", MessageIcon::Warning);
        return;
    }
    ReplacingFile file(path.toStdString());
    if (!file.Create()) {
        messages_.Show(WithPath("Can not create the file:\n%s", path), MessageIcon::Warning);
        return;
    }
    if (!file.Write(table.constData(), static_cast<size_t>(table.size())) || !file.Commit()) {
        messages_.Show(WriteFailure(file, path), MessageIcon::Warning);
        return;
    }
    messages_.Show(WithPath("Successful read the fat in to the file:\n%s", path),
                   MessageIcon::Information);
}

void CDebug::DumpDataArea(const QString& path) {
    WaitCursor wait;
    // Written beside the file and put in its place once complete: a full disk
    // half-way keeps the earlier dump.
    ReplacingFile file(path.toStdString());
    if (!file.Create()) {
        messages_.Show(WithPath("Can not create the file:\n%s", path), MessageIcon::Warning);
        return;
    }
    const bool read = ReadArea(station_, 2, kDataBytes, [&](const std::vector<uint8_t>& c) {
        return file.Write(c.data(), c.size());
    });
    // A read that fails ends the dump quietly; the file keeps what came before.
    if (file.Failed() != ReplacingFile::Failure::None || !file.Commit()) {
        messages_.Show(WriteFailure(file, path), MessageIcon::Warning);
        return;
    }
    if (!read) return;
    messages_.Show(WithPath("Successful read the data into the file:\n%s", path),
                   MessageIcon::Information);
}

}  // namespace nimbary
