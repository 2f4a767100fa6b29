// velmora-term's terminal-like window: the current screen in a monospaced font, a line
// to type host commands into, and beside them the traffic: every command received with
// the first line of its answer, newest last.
#pragma once

#include "terminalsession.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace velmora {

class TerminalWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the session's traffic from here on, the commands of the socket's clients
    // and those typed here alike.
    TerminalWindow(TerminalSession& session, const QString& socketName);
    ~TerminalWindow() override;

    // Shows the session's current display.
    void refresh();
    // Adds a command and the first line of its answer to the traffic pane.
    void addTraffic(const QString& command, const QString& answer);

private:
    void typed();

    TerminalSession& m_session;
    QPlainTextEdit* m_screen;
    QLineEdit* m_command;
    QPlainTextEdit* m_traffic;
};

} // namespace velmora
