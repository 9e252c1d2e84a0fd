#include "CDebug.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "HistoryExport.h"
#include "ReplacingFile.h"
#include "SaveDialog.h"
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

// A wait cursor while a dump holds the window.
struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace

CDebug::CDebug(HistorySource& station, Messages& messages, SaveDialog& saveDialog, QWidget* parent)
    : QDialog(parent),
      station_(station),
      messages_(messages),
      saveDialog_(saveDialog),
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
    const QString path =
        saveDialog_.AskSavePath(this, {{QString::fromStdString(text::Load(2162))}, "block.bin"});
    if (!path.isEmpty()) DumpBlockTable(path);
}

void CDebug::ReadData() {
    const QString path =
        saveDialog_.AskSavePath(this, {{QString::fromStdString(text::Load(2162))}, "data.bin"});
    if (!path.isEmpty()) DumpDataArea(path);
}

bool CDebug::CreateDump(ReplacingFile& file, const QString& path) {
    if (file.Create()) return true;
    messages_.Show(WithPath("Can not create the file:\n%s", path), MessageIcon::Warning);
    return false;
}

bool CDebug::FinishDump(ReplacingFile& file, const QString& path, const QByteArray& bytes) {
    if (file.Write(bytes.constData(), static_cast<size_t>(bytes.size())) && file.Commit())
        return true;
    messages_.Show(WriteFailureText(file.Errno(), QDir::toNativeSeparators(path).toStdString()),
                   MessageIcon::Warning);
    return false;
}

void CDebug::DumpBlockTable(const QString& path) {
    WaitCursor wait;
    QByteArray table;
    const bool read = ReadArea(station_, 1, kBlockTableBytes, [&](const std::vector<uint8_t>& c) {
        table.append(reinterpret_cast<const char*>(c.data()), static_cast<qsizetype>(c.size()));
        return true;
    });
    if (!read) {
        messages_.Show("Failed to read the file allocation table.", MessageIcon::Warning);
        return;
    }
    // Written beside the file and put in its place once complete: a full
    // disk half-way keeps the earlier dump.
    ReplacingFile file(path.toStdString());
    if (CreateDump(file, path) && FinishDump(file, path, table))
        messages_.Show(WithPath("Successful read the fat in to the file:\n%s", path),
                       MessageIcon::Information);
}

QString CDebug::IncompleteDumpPath(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    return info.dir().filePath(info.completeBaseName() + "-incomplete" + suffix);
}

void CDebug::DumpDataArea(const QString& path) {
    QByteArray data;
    {
        WaitCursor wait;
        ReplacingFile file(path.toStdString());
        if (!CreateDump(file, path)) return;
        const bool read = ReadArea(station_, 2, kDataBytes, [&](const std::vector<uint8_t>& c) {
            data.append(reinterpret_cast<const char*>(c.data()), static_cast<qsizetype>(c.size()));
            return true;
        });
        if (read) {
            if (FinishDump(file, path, data))
                messages_.Show(WithPath("Successful read the data into the file:\n%s", path),
                               MessageIcon::Information);
            return;
        }
    }
    // A cut dump would pass for the station's memory: the earlier file stays,
    // and what was read goes, if wanted, under a name that says what it is.
    std::string cut = text::FormatText(
        "The data dump is incomplete: the station stopped answering after %d of %d bytes.\n"
        "The file was not changed:\n%s",
        {static_cast<int>(data.size()), kDataBytes, QDir::toNativeSeparators(path).toStdString()});
    if (data.isEmpty()) {
        messages_.Show(cut, MessageIcon::Warning);
        return;
    }
    const QString partial = IncompleteDumpPath(path);
    cut += WithPath("\n\nSave the bytes that were read as:\n%s ?", partial);
    if (!messages_.AskYesNo(cut)) return;
    ReplacingFile kept(partial.toStdString());
    if (CreateDump(kept, partial) && FinishDump(kept, partial, data))
        messages_.Show(WithPath("The bytes that were read are in the file:\n%s", partial),
                       MessageIcon::Information);
}

}  // namespace nimbary
