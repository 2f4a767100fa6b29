// velmora-term: the stand-in for the agent's terminal application. It plays a scenario
// file and serves the automation toolkit's operations on a local socket; see
// samples/README.md.
#include "host/termlinkprotocol.h"
#include "scenario.h"
#include "terminalsession.h"
#include "termserver.h"

#ifdef VELMORA_TERM_WINDOW
#include "terminalwindow.h"

#include <QApplication>
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

bool hasArgument(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

// A window is shown with --window, or when a display is there and --headless is not
// given; never on the offscreen or minimal platforms that tests use.
bool wantsWindow(int argc, char** argv)
{
    if (hasArgument(argc, argv, "--headless"))
        return false;
    if (hasArgument(argc, argv, "--window"))
        return true;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal") ||
        hasArgument(argc, argv, "-platform"))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int fail(const QString& message)
{
    std::fprintf(stderr, "velmora-term: %s\n", message.toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const bool window = wantsWindow(argc, argv);
    std::unique_ptr<QCoreApplication> app;
#ifdef VELMORA_TERM_WINDOW
    if (window)
        app = std::make_unique<QApplication>(argc, argv);
#endif
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(u"velmora-term"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Host terminal stand-in for SPR Rate."_s);
    parser.addHelpOption();
    parser.addPositionalArgument(u"scenario"_s, u"Scenario file (default: one empty session)."_s,
                                 u"[scenario]"_s);
    const QCommandLineOption socketOption(
        u"socket"_s,
        u"Local socket to listen on (default: velmora-term in the runtime directory)."_s,
        u"name"_s);
    const QCommandLineOption journalOption(
        u"journal"_s, u"Append every command received to this file."_s, u"file"_s);
    const QCommandLineOption windowOption(u"window"_s, u"Show the terminal window."_s);
    const QCommandLineOption headlessOption(u"headless"_s, u"Show no window."_s);
    parser.addOptions({socketOption, journalOption, windowOption, headlessOption});
    parser.process(*app);

    if (parser.positionalArguments().size() > 1)
        return fail(u"one scenario file at most"_s);
#ifndef VELMORA_TERM_WINDOW
    if (window)
        return fail(u"built without the window; run it headless"_s);
#endif

    velmora::Scenario scenario;
    try {
        if (!parser.positionalArguments().isEmpty())
            scenario = velmora::loadScenario(parser.positionalArguments().constFirst());
    } catch (const velmora::ScenarioError& e) {
        return fail(e.message());
    }
    velmora::TerminalSession session(std::move(scenario));

    QFile journal;
    if (parser.isSet(journalOption)) {
        journal.setFileName(parser.value(journalOption));
        if (!journal.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(journal.fileName() + u": "_s + journal.errorString());
        session.setJournal([&journal](const QString& command) {
            journal.write((command + u'\n').toUtf8());
            journal.flush();
        });
    }

    velmora::TermServer server(session);
    QString error;
    const QString socketName = parser.isSet(socketOption) ? parser.value(socketOption)
                                                          : host::termlink::defaultSocketName();
    if (!server.listen(socketName, &error))
        return fail(error);

#ifdef VELMORA_TERM_WINDOW
    std::unique_ptr<velmora::TerminalWindow> terminal;
    if (window) {
        terminal = std::make_unique<velmora::TerminalWindow>(session, server.socketName());
        QObject::connect(&server, &velmora::TermServer::displayChanged, terminal.get(),
                         &velmora::TerminalWindow::refresh);
        terminal->show();
    }
#endif
    // Tests wait for this line before they connect.
    std::printf("velmora-term listening on %s\n", server.socketName().toLocal8Bit().constData());
    std::fflush(stdout);
    return app->exec();
}
