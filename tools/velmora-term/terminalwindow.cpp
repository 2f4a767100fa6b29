#include "terminalwindow.h"

#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace velmora {

TerminalWindow::TerminalWindow(TerminalSession& session, const QString& socketName)
    : m_session(session), m_screen(new QPlainTextEdit(this)), m_command(new QLineEdit(this))
{
    setWindowTitle(u"velmora-term \u2014 "_s + socketName);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_screen->setObjectName(u"screen"_s);
    m_screen->setReadOnly(true);
    m_screen->setFont(fixed);
    m_screen->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_command->setObjectName(u"command"_s);
    m_command->setFont(fixed);
    m_command->setPlaceholderText(u"host command, Enter to send"_s);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_screen, 1);
    layout->addWidget(m_command);
    const QFontMetrics metrics(fixed);
    resize(metrics.horizontalAdvance(QString(82, u'M')), metrics.lineSpacing() * 28);
    connect(m_command, &QLineEdit::returnPressed, this, &TerminalWindow::typed);
    if (m_session.sessionCount() == 0) {
        m_command->setEnabled(false);
        m_command->setPlaceholderText(u"no host session is open"_s);
    }
    refresh();
}

void TerminalWindow::refresh()
{
    m_screen->setPlainText(m_session.sessionCount() == 0 ? QString() : m_session.display());
}

void TerminalWindow::typed()
{
    const QString command = m_command->text().trimmed();
    if (command.isEmpty())
        return;
    m_command->clear();
    m_session.send(command); // a typed command does not wait for the scenario's delay
    refresh();
}

} // namespace velmora
