// An application as the program has it, its settings file in a folder of the test's own
// naming the test's database, its terminal link on the test's velmora-term.
#pragma once

#include "app/application.h"
#include "host/termlinkclient.h"

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace testsupport {

// Writes the settings file the program in folder reads.
inline void writeSettingsFile(const QTemporaryDir& folder, const QByteArray& ini)
{
    QFile file(folder.filePath(QStringLiteral("sprrate.INI")));
    if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size())
        throw std::runtime_error("cannot write the settings file");
}

// An application whose program lies in folder, its settings read from there.
inline std::unique_ptr<app::Application> startApplication(const QTemporaryDir& folder,
                                                          host::AutomationRegistry& registry,
                                                          base::UserInteraction& ui)
{
    auto a = std::make_unique<app::Application>(folder.filePath(QStringLiteral("sprrate")), ui,
                                                registry);
    a->readSettings();
    return a;
}

inline std::unique_ptr<app::Application>
makeApplication(const QTemporaryDir& folder, const QString& database, const QString& socket,
                host::AutomationRegistry& registry, base::UserInteraction& ui,
                std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    writeSettingsFile(folder, "[MAIN]\nDATABASE=" + database.toUtf8() + "\n");
    host::registerTermLink(registry, {socket, timeout});
    return startApplication(folder, registry, ui);
}

} // namespace testsupport
