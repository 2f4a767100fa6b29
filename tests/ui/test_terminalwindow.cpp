// velmora-term's window: the traffic pane lists every command the session received, from
// the program or typed in the window, with the first line of its answer, newest last.
#include "terminalwindow.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TestTerminalWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void trafficListsCommandsAndFirstAnswerLines();
    void noTrafficAfterTheWindowIsGone();
};

namespace {

const QString scenario = u"sessions 1\ndisplay start\nrate USD RUB 92.5\n"
                         u"match TTI/.* => updated\n"
                         u"screen start\nSPR00001 PRICED\n>\n@end\n"
                         u"screen updated\n\nOK - ELEMENT UPDATED\nSECOND LINE\n>\n@end\n"_s;

} // namespace

void TestTerminalWindow::trafficListsCommandsAndFirstAnswerLines()
{
    velmora::TerminalSession session(velmora::parseScenario(scenario));
    velmora::TerminalWindow window(session, u"test-socket"_s);
    auto* traffic = window.findChild<QPlainTextEdit*>(u"traffic"_s);
    QVERIFY(traffic);
    QVERIFY(traffic->isReadOnly());

    // As the program's commands arrive through the socket.
    session.send(u"TTI/T01/K2USD92.8000"_s);
    session.send(u"FQC100USD/RUB"_s);
    // As a trainer types one.
    auto* command = window.findChild<QLineEdit*>(u"command"_s);
    QVERIFY(command);
    QTest::keyClicks(command, u"XYZ"_s);
    QTest::keyClick(command, Qt::Key_Return);

    QCOMPARE(traffic->toPlainText(),
             u"> TTI/T01/K2USD92.8000\n  OK - ELEMENT UPDATED\n"
             u"> FQC100USD/RUB\n  BSR USED 1 USD = 92.500000 RUB\n"
             u"> XYZ\n  INVALID ENTRY - CHECK FORMAT"_s);
}

void TestTerminalWindow::noTrafficAfterTheWindowIsGone()
{
    velmora::TerminalSession session(velmora::parseScenario(scenario));
    {
        velmora::TerminalWindow window(session, u"test-socket"_s);
    }
    // The session goes on serving after its window closed.
    QVERIFY(session.send(u"TTI/T01/X"_s).text.contains(u"OK - ELEMENT UPDATED\nSECOND LINE"_s));
}

QTEST_MAIN(TestTerminalWindow)
#include "test_terminalwindow.moc"
