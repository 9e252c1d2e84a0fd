#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include "SaveDialog.h"

using namespace nimbary;

namespace {

// A home of the test's own, with no user-dirs.dirs: Documents is ~/Documents.
struct Home {
    QTemporaryDir dir;
    QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    Home() {
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath(".config").toUtf8());
    }
    ~Home() {
        qputenv("HOME", oldHome);
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
};

// What the open file dialog shows, then `name` typed into it and saved.
struct Seen {
    QString folder;
    QStringList filters;
    QString typed;
};
Seen SaveAs(QtSaveDialog& saves, const SaveRequest& request, const QString& name, QString& chosen) {
    Seen seen;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        seen.folder = d->directory().absolutePath();
        seen.filters = d->nameFilters();
        seen.typed = d->findChild<QLineEdit*>("fileNameEdit")->text();
        if (name.isEmpty()) return d->reject();
        d->selectFile(name);
        static_cast<QDialog*>(d)->accept();
    });
    chosen = saves.AskSavePath(nullptr, request);
    return seen;
}

}  // namespace

TEST(SaveDialog, OpensInTheFolderLastSavedIntoElseDocumentsElseHome) {
    Home home;
    QtSaveDialog saves;
    EXPECT_EQ(saves.StartFolder(), QDir::homePath());  // no Documents folder
    ASSERT_TRUE(QDir().mkpath(home.Path("Documents")));
    EXPECT_EQ(saves.StartFolder(), home.Path("Documents"));

    const SaveRequest dump{{"Binary dump (*.bin)"}, "block.bin"};
    QString chosen;
    Seen seen = SaveAs(saves, dump, QString(), chosen);  // cancelled
    EXPECT_EQ(seen.folder, home.Path("Documents"));
    EXPECT_EQ(seen.filters, QStringList{"Binary dump (*.bin)"});
    EXPECT_EQ(seen.typed, "block.bin");
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_EQ(saves.StartFolder(), home.Path("Documents"));

    ASSERT_TRUE(QDir().mkpath(home.Path("station")));
    SaveAs(saves, dump, home.Path("station/first"), chosen);
    EXPECT_EQ(chosen, home.Path("station/first.bin"));  // the kind's extension added
    const SaveRequest table{{"Text table (*.csv)", "PDF document (*.pdf)"}, QString()};
    seen = SaveAs(saves, table, QString(), chosen);
    EXPECT_EQ(seen.folder, home.Path("station"));
    EXPECT_EQ(seen.filters, table.filters);

    // A folder that has gone since: back to Documents.
    ASSERT_TRUE(QDir(home.Path("station")).removeRecursively());
    EXPECT_EQ(saves.StartFolder(), home.Path("Documents"));
}
