// The main.ini reader and writer on a file made of the fuzz input, in any
// encoding (byte 0 is the length limit of the reads).
// Properties: a read returns at most its limit, and the first characters of
// the unlimited value; a write reads back as written, or is refused with the
// file untouched, and leaves every other value as it was.
#include <QFile>

#include "FuzzSupport.h"
#include "IniFile.h"

using namespace nimbary;

namespace {

struct Key {
    const char* section;
    const char* key;
};
// Keys the program reads, and a few others.
const Key kKeys[] = {
    {"Language", "Default"}, {"language", "DEFAULT"}, {"Menu", "Debug"},
    {"About", "Web"},        {"Fuzz", ""},            {"", "K"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    if (size < 1) return 0;
    const int limit = in[0];
    static nimbary::fuzz::ScratchDir dir;
    const QString path = QString::fromStdString(dir.File("main.ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(reinterpret_cast<const char*>(in + 1), static_cast<qint64>(size - 1));
    }
    const IniFile ini(path);
    QString before[std::size(kKeys)];
    for (size_t i = 0; i < std::size(kKeys); ++i) {
        const QString s = kKeys[i].section, k = kKeys[i].key;
        const QString v = ini.Read(s, k, limit);
        FUZZ_CHECK(v.size() <= limit);
        before[i] = ini.Read(s, k, 1 << 20);
        FUZZ_CHECK(v == before[i].left(limit));
    }

    // A write either reads back as written or is refused and leaves the file
    // as it was (a file taken byte for byte cannot hold the CJK character).
    auto bytes = [&path] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray unwritten = bytes();
    const QString value = QStringLiteral("v%1 \u00e9\u4e2d").arg(size);
    if (ini.Write("Nimbary", "Probe", value))
        FUZZ_CHECK(ini.Read("nimbary", "probe", 1 << 20) == value);
    else
        FUZZ_CHECK(bytes() == unwritten);
    for (size_t i = 0; i < std::size(kKeys); ++i)
        FUZZ_CHECK(ini.Read(kKeys[i].section, kKeys[i].key, 1 << 20) == before[i]);
    return 0;
}
