// Where the program keeps its settings file and looks for its database by default: beside
// the program for a copy in a folder of its own (a portable folder, the build tree), in
// the user's own folders for a program installed where users cannot write.
#pragma once

#include <QString>

namespace base {

struct FileLocations {
    QString settingsFile;
    // The DATABASE a settings file without that key means.
    QString defaultDatabase;
    // The conversion journal: beside the settings file for a program in a folder the user
    // may write, in the user's data folder (beside the per-user database) otherwise.
    QString journalFile;
    // True when both are in the user's folders rather than beside the program.
    bool perUser = false;
};

// The settings file is the one beside the program (settingsFilePath) when that file
// exists or its folder can be written; the database then defaults to defaultDatabasePath
// of that folder. Otherwise both are the user's: "sprrate/sprrate.INI" in the user's
// configuration folder (the roaming application data on Windows) and
// "sprrate/sprrate.gdb" in the user's data folder. The window program and sprrate-cli
// share them.
FileLocations fileLocations(const QString& programPath);

// The user's folders of fileLocations, whatever the program's folder.
QString perUserSettingsFile();
QString perUserDatabase();

// The journal's file name in its folder.
inline constexpr QStringView JournalFileName = u"sprrate-journal.jsonl";

} // namespace base
