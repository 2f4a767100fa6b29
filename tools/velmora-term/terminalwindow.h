// velmora-term's terminal-like window: the current screen in a monospaced font and a line
// to type host commands into.
#pragma once

#include "terminalsession.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace velmora {

class TerminalWindow : public QWidget {
    Q_OBJECT
public:
    TerminalWindow(TerminalSession& session, const QString& socketName);

    // Shows the session's current display.
    void refresh();

private:
    void typed();

    TerminalSession& m_session;
    QPlainTextEdit* m_screen;
    QLineEdit* m_command;
};

} // namespace velmora
