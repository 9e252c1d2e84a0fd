#include "DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "IniFile.h"
#include "StringTable.h"

namespace nimbary {

QString DefaultDataFolder() {
    QByteArray env = qgetenv("NIMBARY_DATA_DIR");
    if (!env.isEmpty()) return QDir::cleanPath(QString::fromLocal8Bit(env));
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) return {};
    return QDir::cleanPath(base + "/Nimbary");
}

QString TemplateFolder(const QString& programDir) {
    const QString installed = QDir::cleanPath(programDir + "/" NIMBARY_DATA_FROM_BIN);
    return QFileInfo::exists(installed + "/main.ini") ? installed : programDir;
}

QString DatabasePath(const QString& dataDir) {
    return dataDir + "/Nimbary.db";
}

namespace {

// Copies without overwriting and makes the copy writable, so a read-only
// template still gives a file the program can change.
bool CopyTemplate(const QString& from, const QString& to) {
    if (!QFile::copy(from, to)) return false;
    QFile::setPermissions(
        to, QFile::permissions(to) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    return true;
}

}  // namespace

DataFolderResult PrepareDataFolder(const QString& programDir, const QString& dataDir,
                                   Messages& messages) {
    DataFolderResult r;
    if (programDir.isEmpty() || dataDir.isEmpty()) return r;

    if (!QFileInfo::exists(DatabasePath(dataDir))) {
        std::error_code ec;
        std::filesystem::create_directories(dataDir.toStdString(), ec);
        if (ec && !QFileInfo(dataDir).isDir()) {
            messages.Show(text::Format(2102, {ec.value()}), MessageIcon::Error);
            return r;
        }
        // The database itself is created from the schema when it is opened.
    }

    const QString ini = IniPath(dataDir);
    if (!QFileInfo::exists(ini)) {
        const QString source = programDir + "/main.ini";
        if (!CopyTemplate(source, ini)) {
            messages.Show(text::Format(2101, {source.toStdString()}), MessageIcon::Error);
            return r;
        }
    }

    r.language = ReadLanguage(dataDir);
    ApplyLanguage(r.language, false, dataDir);
    r.ok = 1;
    return r;
}

int ReadLanguage(const QString& dataDir) {
    return IniFile(IniPath(dataDir)).Read("Language", "Default") == "Chinese" ? 1 : 0;
}

namespace {

// Qt's Chinese texts, from Debian's qt6-translations-l10n. Without the file
// Qt's own texts stay English.
void ApplyQtTranslation(bool chinese) {
    static QPointer<QTranslator> translator;  // a child of the application
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (!chinese) {
        if (translator) QCoreApplication::removeTranslator(translator);
        return;
    }
    if (!translator) {
        auto loaded = std::make_unique<QTranslator>();
        if (!loaded->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            std::fprintf(stderr, "nimbary: Qt's Chinese translation is not installed\n");
            return;
        }
        loaded->setParent(app);
        translator = loaded.release();
    }
    QCoreApplication::removeTranslator(translator);  // never installed twice
    QCoreApplication::installTranslator(translator);
}

}  // namespace

bool ApplyLanguage(int language, bool save, const QString& dataDir) {
    bool saved = true;
    if (save)
        saved = IniFile(IniPath(dataDir))
                    .Write("Language", "Default", language == 1 ? "Chinese" : "English");
    text::SetLanguage(language == 1 ? text::Language::Chinese : text::Language::English);
    ApplyQtTranslation(language == 1);
    return saved;
}

}  // namespace nimbary
