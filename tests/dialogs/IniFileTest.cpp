#include <gtest/gtest.h>

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "IniFile.h"

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
