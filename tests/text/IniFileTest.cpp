#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "IniFile.h"
#include "../history/FileSizeLimit.h"

using namespace nimbary;

namespace {

QString WriteRaw(const QTemporaryDir& dir, const QByteArray& bytes) {
    QString path = dir.filePath("main.ini");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

}  // namespace

TEST(IniFile, ReadsLikeAProfileFile) {
    QTemporaryDir dir;
    QString path = WriteRaw(dir,
                            "; comment\r\n"
                            "stray=before any section\r\n"
                            "[Language]\r\n"
                            "  default =  Chinese  \r\n"
                            "Default=second one is ignored\r\n"
                            "[about]\n"
                            "Web=\"https://example.org\"\n"
                            "Copyright=a=b\n"
                            "novalue\n");
    IniFile ini(path);
    EXPECT_EQ(ini.Read("Language", "Default"), "Chinese");
    EXPECT_EQ(ini.Read("About", "Web"), "https://example.org");
    EXPECT_EQ(ini.Read("About", "Copyright"), "a=b");
    EXPECT_EQ(ini.Read("About", "novalue"), "");
    EXPECT_EQ(ini.Read("Menu", "Debug"), "");
    EXPECT_EQ(ini.Read("", "stray"), "");
    EXPECT_EQ(ini.Read("Language", "Default", 3), "Chi");
    EXPECT_EQ(IniFile(dir.filePath("missing.ini")).Read("Language", "Default"), "");
}

TEST(IniFile, ReadsUtf16AndUtf8WithBom) {
    QTemporaryDir dir;
    QString text = QString::fromUtf8("[About]\r\nCopyright=版权 ©\r\n");
    QByteArray le("\xFF\xFE", 2);
    le += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(IniFile(WriteRaw(dir, le)).Read("About", "Copyright"), QString::fromUtf8("版权 ©"));
    EXPECT_EQ(IniFile(WriteRaw(dir, "\xEF\xBB\xBF" + text.toUtf8())).Read("About", "Copyright"),
              QString::fromUtf8("版权 ©"));
}

TEST(IniFile, WriteReplacesOrAddsAndKeepsEverythingElse) {
    QTemporaryDir dir;
    QString path = WriteRaw(dir, "; keep me\n[Language]\nDefault=English\n[Menu]\nDebug=1\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.Write("language", "DEFAULT", "Chinese"));
    EXPECT_EQ(ini.Read("Language", "Default"), "Chinese");
    EXPECT_EQ(ini.Read("Menu", "Debug"), "1");
    ASSERT_TRUE(ini.Write("About", "Web", "x"));
    ASSERT_TRUE(ini.Write("Menu", "Other", "y"));
    EXPECT_EQ(ini.Read("About", "Web"), "x");
    EXPECT_EQ(ini.Read("Menu", "Other"), "y");
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QByteArray all = f.readAll();
    EXPECT_TRUE(all.startsWith("; keep me"));
    EXPECT_EQ(all.count("Default="), 1);
    EXPECT_LT(all.indexOf("Other=y"), all.indexOf("[About]"));  // added inside its section
}

TEST(IniFile, WriteKeepsUtf16Encoding) {
    QTemporaryDir dir;
    QString text = "[Language]\r\nDefault=English\r\n";
    QByteArray le("\xFF\xFE", 2);
    le += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QString path = WriteRaw(dir, le);
    ASSERT_TRUE(IniFile(path).Write("Language", "Default", "Chinese"));
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QByteArray raw = f.readAll();
    ASSERT_TRUE(raw.startsWith("\xFF\xFE"));
    QString back = QStringDecoder(QStringDecoder::Utf16LE)(raw.mid(2));
    EXPECT_TRUE(back.contains("Default=Chinese"));
}

// Files that are not what a profile should be: what can be read is read,
// and a write changes the one key and keeps every other byte.
TEST(IniFile, HostileFilesReadWhatTheyCanAndWriteKeepsTheRest) {
    const QString text = "[Language]\r\nDefault=Chinese\r\n[Menu]\r\nDebug=1\r\n";
    auto le = [](const QString& s) {
        return QByteArray(QStringEncoder(QStringEncoder::Utf16LE)(s));
    };
    auto be = [](const QString& s) {
        return QByteArray(QStringEncoder(QStringEncoder::Utf16BE)(s));
    };
    QByteArray random(4096, '\0');
    for (int i = 0; i < random.size(); ++i) random[i] = char((i * 2654435761u) >> 13);
    const QByteArray gbk =
        "; \xC6\xF8\xCF\xF3\xD5\xBE\r\n[Language]\r\nDefault=Chinese\r\n[Menu]\r\nDebug=1\r\n";
    struct Case {
        const char* name;
        QByteArray bytes;
        QString language, debug;  // what Read finds
    };
    const Case cases[] = {
        {"UTF-16LE, no BOM", le(text), "Chinese", "1"},
        {"UTF-16BE, no BOM", be(text), "Chinese", "1"},
        {"UTF-16LE, no BOM, odd length", le(text) + 'x', "Chinese", "1"},
        {"UTF-16LE with BOM, odd length", "\xFF\xFE" + le(text) + 'x', "Chinese", "1"},
        {"a code page that is not UTF-8", gbk, "Chinese", "1"},
        {"random bytes", random, "", ""},
        {"no sections", "Default=Chinese\r\nDebug=1\r\n", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = WriteRaw(dir, c.bytes);
        IniFile ini(path);
        EXPECT_EQ(ini.Read("Language", "Default"), c.language);
        EXPECT_EQ(ini.Read("Menu", "Debug"), c.debug);
        // A value its encoding cannot hold is refused, not stored as '?'.
        const bool bytes = c.bytes == gbk || c.bytes == random;
        EXPECT_EQ(ini.Write("Language", "Default", "\u4e2d\u6587"), !bytes);
        if (bytes) {
            EXPECT_EQ(ini.Read("Language", "Default"), c.language);
        }
        ASSERT_TRUE(ini.Write("Language", "Default", "English"));
        EXPECT_EQ(ini.Read("Language", "Default"), "English");
        EXPECT_EQ(ini.Read("Menu", "Debug"), c.debug);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray after = f.readAll();
        if (!c.language.isEmpty()) {
            // The one value changed, in the file's own encoding; the rest as it was.
            QByteArray expected = c.bytes;
            const bool wide = c.bytes.contains('\0');
            const QByteArray from = wide
                                        ? (c.bytes.startsWith('\0') ? be("Chinese") : le("Chinese"))
                                        : QByteArray("Chinese");
            const QByteArray to = wide ? (c.bytes.startsWith('\0') ? be("English") : le("English"))
                                       : QByteArray("English");
            expected.replace(from, to);
            if (expected.size() % 2 && wide) expected.chop(1);  // half a character is dropped
            EXPECT_EQ(after.toHex(' '), expected.toHex(' '));
        } else {
            // Every byte that was there is still there, line ends aside.
            auto bare = [](QByteArray b) { return b.replace('\r', "").replace('\n', ""); };
            EXPECT_TRUE(bare(after).startsWith(bare(c.bytes)));
        }
    }
}

// A full disk during a save: the write fails and main.ini is as it was.
// UTF-16 without BOM whose halves lean different ways (found by fuzzing):
// what is written reads back, the file getting its BOM when its new bytes
// would tell another encoding.
TEST(IniFile, WhatIsWrittenReadsBackWhateverTheFileWas) {
    const QByteArray mixed = QByteArray::fromHex(
        "004d0065006e00000a005b00410062007200690067006700680074003d0043006f00700072006900670068007400");
    QTemporaryDir dir;
    IniFile ini(WriteRaw(dir, mixed));
    const QString value = QStringLiteral("v \u00e9\u4e2d");
    ASSERT_TRUE(ini.Write("Nimbary", "Probe", value));
    EXPECT_EQ(ini.Read("Nimbary", "Probe"), value);
}

TEST(IniFile, AFullDiskKeepsTheFileAsItWas) {
    QTemporaryDir dir;
    const QByteArray before = "[Language]\r\nDefault=Chinese\r\n" + QByteArray(3000, ';') + "\r\n";
    const QString path = WriteRaw(dir, before);
    bool written;
    {
        nimbary::testing::FileSizeLimit full(1024);
        written = IniFile(path).Write("Language", "Default", "English");
    }
    EXPECT_FALSE(written);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}
