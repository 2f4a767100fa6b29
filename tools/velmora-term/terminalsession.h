// The host session velmora-term plays: the current display with its pages, the answers
// of the scenario, the paging command "MD", the currency conversion command "FQC" and
// the journal of every command received.
#pragma once

#include "scenario.h"

#include <functional>

namespace velmora {

inline constexpr QStringView UnknownCommandReply = u"INVALID ENTRY - CHECK FORMAT\n>";
inline constexpr QStringView NoMorePagesReply = u"NOTHING TO SCROLL\n>";
inline constexpr QStringView EmptyDisplay = u">";

class TerminalSession {
public:
    explicit TerminalSession(Scenario scenario);

    struct Reply {
        QString text;
        int waitMs = 0; // the scenario's delay before the answer is given
    };

    // Runs one command: the journal gets it, the display becomes the answer (or the
    // screen the rule names after it).
    Reply send(const QString& command);
    // What the terminal shows now.
    QString display() const;

    int sessionCount() const { return m_scenario.sessions; }
    const Scenario& scenario() const { return m_scenario; }

    // Called with every command received, before it runs.
    void setJournal(std::function<void(const QString&)> journal) { m_journal = std::move(journal); }
    // Called with every command received and the answer it got, after it ran.
    void setTraffic(std::function<void(const QString& command, const QString& answer)> traffic)
    {
        m_traffic = std::move(traffic);
    }

private:
    Reply answer(const QString& command);
    QString convert(const QString& command) const;
    void show(const QString& screen);
    void showText(const QString& text);

    Scenario m_scenario;
    QStringList m_pages; // of the current display
    int m_page = 0;
    std::function<void(const QString&)> m_journal;
    std::function<void(const QString&, const QString&)> m_traffic;
};

} // namespace velmora
