#include "scenario.h"

#include "base/numbers.h"
#include "host/textbuffer.h"

#include <QFile>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace velmora {
namespace {

const QString PagePrompt = u")>"_s;

class Parser {
public:
    explicit Parser(const QString& text) : m_lines(host::splitLines(text)) {}

    Scenario parse()
    {
        while (m_index < m_lines.size()) {
            const QString raw = m_lines.at(m_index++);
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(u'#'))
                continue;
            const qsizetype blank = line.indexOf(u' ');
            const QString word = blank < 0 ? line : line.left(blank);
            const QString rest = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
            if (word == u"sessions"_s)
                parseSessions(rest);
            else if (word == u"display"_s)
                m_scenario.start = needName(rest);
            else if (word == u"on"_s || word == u"match"_s)
                parseRule(rest, word == u"match"_s);
            else if (word == u"rate"_s)
                parseRate(rest);
            else if (word == u"screen"_s)
                parseScreen(needName(rest));
            else
                fail(u"unknown directive \""_s + word + u"\""_s);
        }
        checkReferences();
        return std::move(m_scenario);
    }

private:
    [[noreturn]] void fail(const QString& what, int line = -1) const
    {
        throw ScenarioError(u"line "_s + QString::number(line < 0 ? m_index : line) + u": "_s +
                            what);
    }

    QString needName(const QString& s) const
    {
        if (s.isEmpty() || s.contains(u' '))
            fail(u"expected one screen name"_s);
        return s;
    }

    int needInt(const QString& s, int low, int high, const QString& what) const
    {
        const auto v = base::numbers::parseInteger(s);
        if (!v || *v < low || *v > high)
            fail(what + u" must be a whole number from "_s + QString::number(low) + u" to "_s +
                 QString::number(high));
        return *v;
    }

    void parseSessions(const QString& rest)
    {
        m_scenario.sessions = needInt(rest, 0, MaxSessions, u"sessions"_s);
    }

    // on COMMAND => REPLY [then SCREEN] [wait MS]
    void parseRule(const QString& rest, bool isPattern)
    {
        const qsizetype arrow = rest.indexOf(u" => "_s);
        if (arrow <= 0)
            fail(u"expected COMMAND => SCREEN"_s);
        Rule rule;
        rule.line = m_index;
        rule.isPattern = isPattern;
        rule.command = rest.left(arrow);
        if (isPattern) {
            rule.pattern.setPattern(QRegularExpression::anchoredPattern(rule.command));
            if (!rule.pattern.isValid())
                fail(u"bad pattern: "_s + rule.pattern.errorString());
        }
        const QStringList words = rest.mid(arrow + 4).split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            fail(u"expected a screen after =>"_s);
        rule.reply = words.at(0);
        for (qsizetype i = 1; i < words.size(); i += 2) {
            if (i + 1 >= words.size())
                fail(u"\""_s + words.at(i) + u"\" needs a value"_s);
            if (words.at(i) == u"then"_s)
                rule.then = words.at(i + 1);
            else if (words.at(i) == u"wait"_s)
                rule.waitMs = needInt(words.at(i + 1), 0, MaxWaitMs, u"wait"_s);
            else
                fail(u"unknown rule option \""_s + words.at(i) + u"\""_s);
        }
        m_scenario.rules.push_back(std::move(rule));
    }

    // rate FROM TO RATE [decimals N] [truncated]
    void parseRate(const QString& rest)
    {
        const QStringList words = rest.split(u' ', Qt::SkipEmptyParts);
        if (words.size() < 3)
            fail(u"expected rate FROM TO RATE"_s);
        static const QRegularExpression code(u"^[A-Z]{3}$"_s);
        Rate rate;
        rate.from = words.at(0);
        rate.to = words.at(1);
        if (!code.match(rate.from).hasMatch() || !code.match(rate.to).hasMatch())
            fail(u"currencies are three capital letters"_s);
        const auto value = base::numbers::parseDecimal(words.at(2));
        if (!value || !(*value > 0) || !std::isfinite(*value))
            fail(u"the rate must be a positive number"_s);
        rate.rate = *value;
        for (qsizetype i = 3; i < words.size(); ++i) {
            if (words.at(i) == u"truncated"_s) {
                rate.truncated = true;
            } else if (words.at(i) == u"decimals"_s && i + 1 < words.size()) {
                rate.decimals = needInt(words.at(++i), 0, 6, u"decimals"_s);
            } else {
                fail(u"unknown rate option \""_s + words.at(i) + u"\""_s);
            }
        }
        if (m_scenario.rateFor(rate.from, rate.to))
            fail(u"a second rate for "_s + rate.from + u"/"_s + rate.to);
        m_scenario.rates.push_back(rate);
    }

    // Lines as they stand up to "@end"; "@page" starts the next page.
    void parseScreen(const QString& name)
    {
        const int first = m_index;
        if (m_scenario.screens.count(name))
            fail(u"a second screen \""_s + name + u"\""_s);
        Screen screen;
        QStringList page;
        for (;;) {
            if (m_index >= m_lines.size())
                fail(u"screen \""_s + name + u"\" has no @end"_s, first);
            const QString line = m_lines.at(m_index++);
            if (line == u"@end"_s)
                break;
            if (line == u"@page"_s) {
                if (page.isEmpty() || !page.last().startsWith(PagePrompt))
                    page.append(PagePrompt);
                screen.pages.append(page.join(u'\n'));
                page.clear();
                continue;
            }
            page.append(line);
        }
        screen.pages.append(page.join(u'\n'));
        m_scenario.screens.emplace(name, std::move(screen));
    }

    void checkReferences() const
    {
        const auto known = [this](const QString& name) {
            return m_scenario.screens.count(name) > 0;
        };
        if (!m_scenario.start.isEmpty() && !known(m_scenario.start))
            throw ScenarioError(u"display: no screen \""_s + m_scenario.start + u"\""_s);
        for (const Rule& rule : m_scenario.rules) {
            if (!known(rule.reply))
                fail(u"no screen \""_s + rule.reply + u"\""_s, rule.line);
            if (!rule.then.isEmpty() && !known(rule.then))
                fail(u"no screen \""_s + rule.then + u"\""_s, rule.line);
        }
    }

    QStringList m_lines;
    int m_index = 0;
    Scenario m_scenario;
};

} // namespace

bool Rule::matches(const QString& cmd) const
{
    return isPattern ? pattern.match(cmd).hasMatch() : cmd == command;
}

const Rule* Scenario::ruleFor(const QString& command) const
{
    for (const Rule& rule : rules) {
        if (rule.matches(command))
            return &rule;
    }
    return nullptr;
}

const Rate* Scenario::rateFor(const QString& from, const QString& to) const
{
    for (const Rate& rate : rates) {
        if (rate.from == from && rate.to == to)
            return &rate;
    }
    return nullptr;
}

Scenario parseScenario(const QString& text)
{
    return Parser(text).parse();
}

Scenario loadScenario(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ScenarioError(path + u": "_s + file.errorString());
    try {
        return parseScenario(QString::fromUtf8(file.readAll()));
    } catch (const ScenarioError& e) {
        throw ScenarioError(path + u": "_s + e.message());
    }
}

} // namespace velmora
