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

inline std::unique_ptr<app::Application>
makeApplication(const QTemporaryDir& folder, const QString& database, const QString& socket,
                host::AutomationRegistry& registry, app::UserInteraction& ui,
                std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    QFile ini(folder.filePath(QStringLiteral("sprrate.INI")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write("[MAIN]\nDATABASE=" + database.toUtf8() + "\n") < 0)
        throw std::runtime_error("cannot write the settings file");
    ini.close();
    host::registerTermLink(registry, {socket, timeout});
    auto a = std::make_unique<app::Application>(folder.filePath(QStringLiteral("sprrate")), ui,
                                                registry);
    a->readSettings();
    return a;
}

} // namespace testsupport
