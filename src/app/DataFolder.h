#pragma once

#include <QString>

#include "IniFile.h"
#include "Messages.h"

namespace nimbary {

// Where the program keeps Nimbary.db and main.ini: $NIMBARY_DATA_DIR when
// set, else the per-user data location (~/.local/share/Nimbary).
QString DefaultDataFolder();

// The folder that holds the main.ini template for a program in `programDir`:
// the installed data folder beside it (../share/nimbary) when the template
// is there, else the program's own folder, where the build puts it.
QString TemplateFolder(const QString& programDir);

struct DataFolderResult {
    int ok = 0;        // 1 when the folder is ready and the language was read
    int language = 0;  // 0 English, 1 Chinese
};

// Prepares the data folder: creates it when the database is not there yet,
// copies the main.ini template from `programDir` when main.ini is
// missing (never over an existing one), reads the language. Failures are
// shown through `messages` and give ok = 0; start-up goes on regardless.
DataFolderResult PrepareDataFolder(const QString& programDir, const QString& dataDir,
                                   Messages& messages);

// Language/Default of main.ini: exactly "Chinese" selects Chinese.
int ReadLanguage(const QString& dataDir);

// Makes `language` the user-interface language, Qt's own texts (standard
// buttons, file dialogs) included; with save, first writes Language/Default
// ("Chinese" or "English") into main.ini. False only when that write failed;
// the language is switched all the same.
bool ApplyLanguage(int language, bool save, const QString& dataDir);

QString DatabasePath(const QString& dataDir);

}  // namespace nimbary
