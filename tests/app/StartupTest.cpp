#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "CMainFrame.h"
#include "DataFolder.h"
#include "IniFile.h"
#include "RecordingMessages.h"
#include "StringTable.h"

using namespace nimbary;

namespace {

// A program folder with the shipped main.ini template beside the program.
struct Folders {
    QTemporaryDir program;
    QTemporaryDir root;
    QString data() const { return root.filePath("data/Nimbary"); }
    Folders() { QFile::copy(NIMBARY_MAIN_INI, program.filePath("main.ini")); }
};

void SetIni(const QString& dataDir, const QByteArray& content) {
    QFile f(IniPath(dataDir));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(content);
}

struct LanguageGuard {
    ~LanguageGuard() { ApplyLanguage(0, false, QString()); }  // Qt's own texts as well
};

}  // namespace

TEST(Startup, FirstStartCreatesFolderAndCopiesMainIniOnce) {
    Folders f;
    RecordingMessages msgs;
    DataFolderResult r = PrepareDataFolder(f.program.path(), f.data(), msgs);
    EXPECT_EQ(r.ok, 1);
    EXPECT_TRUE(msgs.shown.empty());
    EXPECT_TRUE(QFile::exists(IniPath(f.data())));
    EXPECT_EQ(IniFile(IniPath(f.data())).Read("Language", "Default"), "English");

    // An existing main.ini is never replaced by the template.
    SetIni(f.data(), "[Language]\nDefault=Chinese\n");
    LanguageGuard guard;
    r = PrepareDataFolder(f.program.path(), f.data(), msgs);
    EXPECT_EQ(r.language, 1);
    EXPECT_EQ(text::CurrentLanguage(), text::Language::Chinese);
    EXPECT_EQ(IniFile(IniPath(f.data())).Read("Language", "Default"), "Chinese");
}

TEST(Startup, LanguageIsChineseOnlyForTheExactWord) {
    Folders f;
    RecordingMessages msgs;
    LanguageGuard guard;
    ASSERT_EQ(PrepareDataFolder(f.program.path(), f.data(), msgs).ok, 1);
    const std::pair<QByteArray, int> cases[] = {{"[Language]\nDefault=chinese\n", 0},
                                                {"[Language]\nDefault=Chinese\n", 1},
                                                {"[Language]\nDefault=English\n", 0},
                                                {"", 0},
                                                {"garbage \x01\x02 ]][[\n=\n", 0}};
    for (const auto& c : cases) {
        SetIni(f.data(), c.first);
        EXPECT_EQ(PrepareDataFolder(f.program.path(), f.data(), msgs).language, c.second)
            << c.first.constData();
    }
}

TEST(Startup, FailuresAreShownAndStartupGoesOn) {
    RecordingMessages msgs;
    QTemporaryDir program;  // no main.ini template in it
    QTemporaryDir root;
    DataFolderResult r = PrepareDataFolder(program.path(), root.filePath("d"), msgs);
    EXPECT_EQ(r.ok, 0);
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text,
              "Could not copy the file:\n" + program.filePath("main.ini").toStdString());

    // A data folder below a plain file cannot be created.
    QFile blocker(root.filePath("file"));
    blocker.open(QIODevice::WriteOnly);
    blocker.close();
    msgs.shown.clear();
    r = PrepareDataFolder(program.path(), root.filePath("file/Nimbary"), msgs);
    EXPECT_EQ(r.ok, 0);
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text.rfind("Create directory failed (", 0), 0u);
    EXPECT_EQ(msgs.shown[0].icon, MessageIcon::Error);
}

TEST(Startup, ApplyLanguageWithSaveWritesMainIni) {
    Folders f;
    RecordingMessages msgs;
    LanguageGuard guard;
    PrepareDataFolder(f.program.path(), f.data(), msgs);
    ApplyLanguage(1, true, f.data());
    EXPECT_EQ(IniFile(IniPath(f.data())).Read("Language", "Default"), "Chinese");
    EXPECT_EQ(text::Load(2065), "退出");
    ApplyLanguage(0, true, f.data());
    EXPECT_EQ(IniFile(IniPath(f.data())).Read("Language", "Default"), "English");
}

TEST(MainFrame, MenusByPositionAndDebugItemOnlyForExactlyOne) {
    Folders f;
    RecordingMessages msgs;
    LanguageGuard guard;
    PrepareDataFolder(f.program.path(), f.data(), msgs);
    for (const char* value : {"2", "yes", ""}) {
        SetIni(f.data(), QByteArray("[Menu]\nDebug=") + value + "\n");
        CMainFrame w(f.data());
        EXPECT_FALSE(w.HasDebugItem()) << value;
    }
    SetIni(f.data(), "[Menu]\nDebug=1\n");
    CMainFrame w(f.data());
    EXPECT_TRUE(w.HasDebugItem());
    EXPECT_EQ(w.Menu(0)->title(), "&File");
    EXPECT_EQ(w.Menu(1)->actions().at(0)->text(), "&Setting");
    EXPECT_TRUE(w.Menu(1)->actions().at(3)->isSeparator());
    EXPECT_EQ(w.Menu(1)->actions().at(4)->text(), "&Language");
    EXPECT_EQ(w.Menu(2)->actions().at(0)->text(), "&View");
    EXPECT_EQ(w.Menu(3)->actions().at(0)->text(), "&About Nimbary...");
    EXPECT_EQ(w.windowTitle(), "Nimbary");

    int relayouts = 0;
    QObject::connect(&w, &CMainFrame::relayoutRequested, [&] { ++relayouts; });
    ApplyLanguage(1, false, f.data());
    w.RefreshMenuTexts(true);
    EXPECT_EQ(relayouts, 1);
    EXPECT_EQ(w.Menu(0)->title(), QString::fromUtf8("文件(&F)"));
    EXPECT_EQ(w.Menu(0)->actions().at(0)->text(), QString::fromUtf8("退出(&X)"));
    EXPECT_EQ(w.Menu(3)->actions().at(0)->text(), QString::fromUtf8("关于 Nimbary(&A)..."));
    EXPECT_EQ(w.PaneText(0), QString::fromUtf8("就绪"));
    int debugItems = 0;
    for (QAction* a : w.Menu(3)->actions()) debugItems += a->data().toInt() == ID_DEBUG;
    EXPECT_EQ(debugItems, 1);
}

TEST(MainFrame, StatusPanesAndTitle) {
    Folders f;
    RecordingMessages msgs;
    PrepareDataFolder(f.program.path(), f.data(), msgs);
    CMainFrame w(f.data());
    EXPECT_EQ(w.PaneText(2), "Unconnected");
    EXPECT_EQ(w.PaneText(0), "Ready");
    w.ShowStatus(STATUS_CONNECTION, 1);
    EXPECT_EQ(w.PaneText(2), "Connected");
    w.ShowStatus(STATUS_PROGRESS, 42);
    EXPECT_EQ(w.PaneText(0), "Read Records: 42");
    w.ShowStatus(STATUS_COMPLETE, 7);
    EXPECT_TRUE(w.PaneText(0).startsWith("Read history complete at "));
    EXPECT_TRUE(w.PaneText(0).endsWith(", total read records: 7"));
    w.ShowStatus(STATUS_TEXT, 0, "hello");
    EXPECT_EQ(w.PaneText(0), "hello");
    w.ShowStatus(1, 5);  // unknown kinds do nothing
    EXPECT_EQ(w.PaneText(0), "hello");
    w.SetDeviceTitle(0x80000001u);
    EXPECT_EQ(w.windowTitle(), "Nimbary - 80000001");
    w.SetDeviceTitle(0xABCu);
    EXPECT_EQ(w.windowTitle(), "Nimbary - 00000ABC");
    w.ClearDeviceTitle();
    EXPECT_EQ(w.windowTitle(), "Nimbary");
}

// A main.ini that is not what it should be: the program starts without a
// word, with what it can read, and a language switch keeps the rest.
TEST(Startup, HostileMainIniStartsWithWhatItCanRead) {
    const QString text = "[Language]\r\nDefault=Chinese\r\n[Menu]\r\nDebug=1\r\n";
    const QByteArray le = QStringEncoder(QStringEncoder::Utf16LE)(text);
    QByteArray random(100000, '\0');
    for (int i = 0; i < random.size(); ++i) random[i] = char((i * 2654435761u) >> 11);
    QByteArray big = "[Language]\r\nDefault=Chinese\r\n[Menu]\r\nDebug=1\r\n";
    while (big.size() < 10 * 1024 * 1024) big += "; padding padding padding padding padding\r\n";
    const struct {
        const char* name;
        QByteArray bytes;
        int language;
        bool debug;
    } cases[] = {
        {"random bytes", random, 0, false},
        {"10 MB", big, 1, true},
        {"no sections", "Default=Chinese\r\nDebug=1\r\n", 0, false},
        {"UTF-16 without BOM, odd length", le + 'x', 1, true},
        {"UTF-16 with BOM, odd length", "\xFF\xFE" + le + 'x', 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Folders f;
        RecordingMessages msgs;
        LanguageGuard guard;
        ASSERT_EQ(PrepareDataFolder(f.program.path(), f.data(), msgs).ok, 1);
        SetIni(f.data(), c.bytes);
        const DataFolderResult r = PrepareDataFolder(f.program.path(), f.data(), msgs);
        EXPECT_EQ(r.ok, 1);
        EXPECT_EQ(r.language, c.language);
        EXPECT_TRUE(msgs.shown.empty());
        CMainFrame w(f.data());
        EXPECT_EQ(w.HasDebugItem(), c.debug);
        ASSERT_TRUE(ApplyLanguage(1 - c.language, true, f.data()));
        EXPECT_EQ(ReadLanguage(f.data()), 1 - c.language);
        EXPECT_EQ(IniFile(IniPath(f.data())).Read("Menu", "Debug") == "1", c.debug);
    }
}
