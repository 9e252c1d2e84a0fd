#include "DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>

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

QString DatabasePath(const QString& dataDir) {
    return dataDir + "/Nimbary.db";
}
QString IniPath(const QString& dataDir) {
    return dataDir + "/main.ini";
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

void ApplyLanguage(int language, bool save, const QString& dataDir) {
    if (save)
        IniFile(IniPath(dataDir))
            .Write("Language", "Default", language == 1 ? "Chinese" : "English");
    text::SetLanguage(language == 1 ? text::Language::Chinese : text::Language::English);
}

}  // namespace nimbary
