#include "terminalsession.h"

#include "base/numbers.h"

using namespace Qt::Literals::StringLiterals;

namespace velmora {

TerminalSession::TerminalSession(Scenario scenario) : m_scenario(std::move(scenario))
{
    if (m_scenario.start.isEmpty())
        showText(EmptyDisplay.toString());
    else
        show(m_scenario.start);
}

QString TerminalSession::display() const
{
    return m_pages.value(m_page);
}

void TerminalSession::show(const QString& screen)
{
    m_pages = m_scenario.screens.at(screen).pages;
    m_page = 0;
}

void TerminalSession::showText(const QString& text)
{
    m_pages = QStringList{text};
    m_page = 0;
}

TerminalSession::Reply TerminalSession::send(const QString& command)
{
    if (m_journal)
        m_journal(command);
    Reply reply = answer(command);
    if (m_traffic)
        m_traffic(command, reply.text);
    return reply;
}

TerminalSession::Reply TerminalSession::answer(const QString& command)
{
    if (const Rule* rule = m_scenario.ruleFor(command)) {
        show(rule->reply);
        Reply reply{display(), rule->waitMs};
        if (!rule->then.isEmpty())
            show(rule->then);
        return reply;
    }
    if (command == u"MD"_s) {
        if (m_page + 1 < m_pages.size())
            ++m_page;
        else
            showText(NoMorePagesReply.toString());
        return {display()};
    }
    if (command.startsWith(u"FQC"_s)) {
        showText(convert(command));
        return {display()};
    }
    showText(UnknownCommandReply.toString());
    return {display()};
}

// FQC + amount + FROM/TO, answered from the scenario's rates.
QString TerminalSession::convert(const QString& command) const
{
    static const QRegularExpression form(
        u"^FQC(\\d{1,12}(?:\\.\\d{1,6})?)([A-Z]{3})/([A-Z]{3})$"_s);
    const auto m = form.match(command);
    if (!m.hasMatch())
        return UnknownCommandReply.toString();
    const QString amountText = m.captured(1);
    const QString from = m.captured(2);
    const QString to = m.captured(3);
    const Rate* rate = m_scenario.rateFor(from, to);
    if (!rate)
        return u"NO RATE AVAILABLE "_s + from + u"/"_s + to + u"\n>"_s;
    const double amount = base::numbers::parseDecimal(amountText).value_or(0);
    const QString mask = rate->decimals == 0 ? u"0"_s : u"0."_s + QString(rate->decimals, u'0');
    QString answer =
        u"BSR USED 1 "_s + from + u" = "_s + base::numbers::formatMask(rate->rate, u"0.000000") + u" "_s +
        to + u"\n"_s + from + u" "_s + amountText + u" = "_s + to + u" "_s +
        base::numbers::formatMask(amount * rate->rate, mask) + u" - ROUNDED AS OTHER CHARGES\n"_s;
    if (rate->truncated)
        answer += u"AMOUNT TRUNCATED\n"_s;
    return answer + u">"_s;
}

} // namespace velmora
