// velmora-term's scenario files: the sessions, the screens, what the terminal answers to
// which command, and the host exchange rates for the currency conversion command.
// The format is described in samples/README.md.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <map>
#include <stdexcept>
#include <vector>

namespace velmora {

class ScenarioError : public std::runtime_error {
public:
    explicit ScenarioError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A display of one or more pages; every page but the last ends in the ")>" prompt.
struct Screen {
    QStringList pages;
};

struct Rule {
    bool isPattern = false;
    QString command;            // the exact command
    QRegularExpression pattern; // the whole command must match
    QString reply;              // screen answered
    QString then;               // screen shown afterwards; empty: the reply stays shown
    int waitMs = 0;             // time before the answer goes out
    int line = 0;               // where the rule stands in the file

    bool matches(const QString& cmd) const;
};

struct Rate {
    QString from;
    QString to;
    double rate = 0;
    int decimals = 2;       // of the converted amount
    bool truncated = false; // answers carry "AMOUNT TRUNCATED"
};

inline constexpr int MaxSessions = 99;
inline constexpr int MaxWaitMs = 600000;

struct Scenario {
    int sessions = 1;
    QString start; // screen shown at start; empty: a screen holding the prompt only
    std::map<QString, Screen> screens;
    std::vector<Rule> rules;
    std::vector<Rate> rates;

    const Rule* ruleFor(const QString& command) const;
    const Rate* rateFor(const QString& from, const QString& to) const;
};

// Raises ScenarioError naming the line of the first fault.
Scenario parseScenario(const QString& text);
Scenario loadScenario(const QString& path);

} // namespace velmora
