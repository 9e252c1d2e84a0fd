#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "CAboutDlg.h"
#include "CLanguage.h"
#include "IniFile.h"
#include "StringTable.h"

using namespace nimbary;

namespace {

struct LanguageGuard {
    explicit LanguageGuard(text::Language lang) { text::SetLanguage(lang); }
    ~LanguageGuard() { text::SetLanguage(text::Language::English); }
};

template <class T>
T* Child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

QStringList Entries(QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
    return out;
}

struct DataDir {
    QTemporaryDir dir;
    void SetIni(const QByteArray& content) {
        QFile f(IniPath(dir.path()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
};

}  // namespace

TEST(Language, CaptionsInTheCurrentLanguageAndTheNamesAlwaysEnglish) {
    struct Case {
        text::Language lang;
        const char* title;
        const char* label;
        const char* ok;
        const char* cancel;
    };
    const Case cases[] = {{text::Language::English, "Language", "&Language:", "Ok", "Cancel"},
                          {text::Language::Chinese, "语言", "语言(&L):", "确认", "退出"}};
    for (const Case& c : cases) {
        LanguageGuard guard(c.lang);
        const int language = static_cast<int>(c.lang);
        CLanguage dlg(language, nullptr);
        EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(Child<QLabel>(dlg, "idc_1118")->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(Child<QLabel>(dlg, "idc_1118")->buddy(), Child<QComboBox>(dlg, "idc_1117"));
        EXPECT_EQ(Child<QPushButton>(dlg, "idc_1")->text(), QString::fromUtf8(c.ok));
        EXPECT_EQ(Child<QPushButton>(dlg, "idc_2")->text(), QString::fromUtf8(c.cancel));
        QComboBox* list = Child<QComboBox>(dlg, "idc_1117");
        EXPECT_EQ(Entries(list), QStringList({"English", "Chinese"}));
        EXPECT_EQ(list->currentIndex(), language);
    }
}

TEST(Language, OkHandsOverTheChoiceAndCancelChangesNothing) {
    for (int choice : {0, 1}) {
        std::vector<int> applied;
        CLanguage dlg(1 - choice, [&](int lang) { applied.push_back(lang); });
        Child<QComboBox>(dlg, "idc_1117")->setCurrentIndex(choice);
        Child<QPushButton>(dlg, "idc_1")->click();
        EXPECT_EQ(applied, std::vector<int>({choice}));
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    std::vector<int> applied;
    CLanguage dlg(0, [&](int lang) { applied.push_back(lang); });
    Child<QComboBox>(dlg, "idc_1117")->setCurrentIndex(1);
    Child<QPushButton>(dlg, "idc_2")->click();
    EXPECT_TRUE(applied.empty());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST(About, ShowsMainIniTexts) {
    DataDir d;
    d.SetIni("[About]\nCopyright=(C) <b>Nimbary</b> folk\nWeb=https://example.org/n\n");
    LanguageGuard guard(text::Language::Chinese);
    CAboutDlg about(d.dir.path());
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于 Nimbary"));
    EXPECT_EQ(Child<QLabel>(about, "idc_1114")->text(), "Nimbary, Version 1.2");
    QLabel* copyright = Child<QLabel>(about, "idc_1115");
    EXPECT_EQ(copyright->text(), "(C) <b>Nimbary</b> folk");
    EXPECT_EQ(copyright->textFormat(), Qt::PlainText);
    EXPECT_FALSE(Child<QLabel>(about, "idc_128")->pixmap().isNull());
    EXPECT_EQ(Child<QPushButton>(about, "idc_1")->text(), QString::fromUtf8("确认"));
}

TEST(About, TheLinkOpensOnlyAnAddressTheControlCanHold) {
    struct Case {
        QByteArray ini;
        bool linkShown;
        QString opens;  // empty: a click opens nothing
    };
    const QString longAddress = "https://example.org/" + QString(2100, 'x');
    const QString longest = "https://example.org/" + QString(CAboutDlg::kMaxUrl - 20, 'y');
    const Case cases[] = {
        {"[About]\nWeb=https://example.org/n\n", true, "https://example.org/n"},
        {"[About]\nWeb=www.example.org\n", true, "http://www.example.org"},
        {"[About]\nWeb=" + longest.toUtf8() + "\n", true, longest},
        {"[About]\nWeb=" + longAddress.toUtf8() + "\n", true, ""},
        {"[About]\nWeb=\n", false, ""},
        {"[Language]\nDefault=English\n", false, ""},
        {"", false, ""},  // no main.ini at all
    };
    for (const Case& c : cases) {
        DataDir d;
        if (!c.ini.isEmpty()) d.SetIni(c.ini);
        CAboutDlg about(d.dir.path());
        EXPECT_EQ(about.Url().isEmpty(), c.opens.isEmpty());
        std::vector<QUrl> opened;
        about.openUrl = [&](const QUrl& url) { opened.push_back(url); };
        QLabel* link = Child<QLabel>(about, "idc_1116");
        EXPECT_EQ(!link->text().isEmpty(), c.linkShown) << c.ini.left(40).toStdString();
        emit link->linkActivated("#");
        if (c.opens.isEmpty()) {
            EXPECT_TRUE(opened.empty()) << c.ini.left(40).toStdString();
        } else {
            ASSERT_EQ(opened.size(), 1u) << c.ini.left(40).toStdString();
            EXPECT_EQ(opened[0].toString(), c.opens);
        }
    }
}
