#include "terminalwindow.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace velmora {

TerminalWindow::TerminalWindow(TerminalSession& session, const QString& socketName)
    : m_session(session),
      m_screen(new QPlainTextEdit),
      m_command(new QLineEdit),
      m_traffic(new QPlainTextEdit)
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
    m_traffic->setObjectName(u"traffic"_s);
    m_traffic->setReadOnly(true);
    m_traffic->setFont(fixed);
    m_traffic->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_traffic->setMaximumBlockCount(10000); // a long training day stays light
    m_traffic->setPlaceholderText(u"the commands received appear here"_s);

    auto* terminal = new QWidget;
    auto* terminalLayout = new QVBoxLayout(terminal);
    terminalLayout->setContentsMargins(0, 0, 0, 0);
    terminalLayout->addWidget(m_screen, 1);
    terminalLayout->addWidget(m_command);
    auto* traffic = new QWidget;
    auto* trafficLayout = new QVBoxLayout(traffic);
    trafficLayout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(u"Commands received and the first line of each answer"_s);
    caption->setBuddy(m_traffic);
    trafficLayout->addWidget(caption);
    trafficLayout->addWidget(m_traffic, 1);
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(terminal);
    splitter->addWidget(traffic);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    const QFontMetrics metrics(fixed);
    resize(metrics.horizontalAdvance(QString(82 + 48, u'M')), metrics.lineSpacing() * 28);
    connect(m_command, &QLineEdit::returnPressed, this, &TerminalWindow::typed);
    if (m_session.sessionCount() == 0) {
        m_command->setEnabled(false);
        m_command->setPlaceholderText(u"no host session is open"_s);
    }
    m_session.setTraffic([this](const QString& command, const QString& answer) {
        addTraffic(command, answer);
    });
    refresh();
}

TerminalWindow::~TerminalWindow()
{
    m_session.setTraffic({});
}

void TerminalWindow::refresh()
{
    m_screen->setPlainText(m_session.sessionCount() == 0 ? QString() : m_session.display());
}

void TerminalWindow::addTraffic(const QString& command, const QString& answer)
{
    const QString first = answer.section(u'\n', 0, 0, QString::SectionSkipEmpty);
    m_traffic->appendPlainText(u"> "_s + command + u"\n  "_s + first);
    m_traffic->verticalScrollBar()->setValue(m_traffic->verticalScrollBar()->maximum());
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
