#include "base/filelocations.h"

#include "base/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace base {

namespace {

QString configHome()
{
#ifdef Q_OS_WIN
    // The roaming application data folder: the settings follow the user between desks.
    if (const QString roaming = qEnvironmentVariable("APPDATA"); !roaming.isEmpty())
        return QDir::fromNativeSeparators(roaming);
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

QString perUserSettingsFile()
{
    // One folder for both programs, whatever the name of the one that asks.
    return configHome() + u"/sprrate/sprrate.INI"_s;
}

QString perUserDatabase()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           u"/sprrate/sprrate.gdb"_s;
}

FileLocations fileLocations(const QString& programPath)
{
    const QFileInfo program(programPath);
    const QString beside = settingsFilePath(programPath);
    const QFileInfo folder(program.absolutePath());
    const auto journalBeside = [](const QString& file) {
        return QFileInfo(file).absolutePath() + u'/' + JournalFileName.toString();
    };
    const QString perUserJournal = journalBeside(perUserDatabase());
    if (folder.isDir() && folder.isWritable())
        return {beside, defaultDatabasePath(program.absolutePath()), journalBeside(beside), false};
    // A settings file beside a program the user cannot write to: the journal, which every
    // job writes, is the user's own.
    if (QFileInfo::exists(beside))
        return {beside, defaultDatabasePath(program.absolutePath()), perUserJournal, false};
    return {perUserSettingsFile(), perUserDatabase(), perUserJournal, true};
}

} // namespace base
