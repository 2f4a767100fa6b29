#include "pricing/journal.h"

#include "base/numbers.h"
#include "rates/formula/evaluaterule.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace pricing {

double applyRule(PricingState& state, const QString& use, const QString& rule, double amount)
{
    state.RulesApplied.push_back(RuleUse{use, rule, amount, std::nullopt});
    const double result = formula::EvaluateRule(rule, amount);
    state.RulesApplied.back().result = result;
    return result;
}

namespace {

using Source = rates::RateUse::Source;

constexpr std::pair<Source, QStringView> sourceNames[] = {
    {Source::Database, u"database"}, {Source::Choice, u"choice"}, {Source::Host, u"host"}};

QString sourceName(Source s)
{
    for (const auto& [source, name] : sourceNames) {
        if (source == s)
            return name.toString();
    }
    return {};
}

std::optional<Source> sourceOf(const QString& text)
{
    for (const auto& [source, name] : sourceNames) {
        if (name == text)
            return source;
    }
    return std::nullopt;
}

QJsonArray textArray(const QStringList& list)
{
    QJsonArray a;
    for (const QString& s : list)
        a.append(s);
    return a;
}

QStringList textList(const QJsonValue& v)
{
    QStringList list;
    for (const QJsonValue& item : v.toArray())
        list.append(item.toString());
    return list;
}

QString isoDay(const QDate& d) { return d.isValid() ? d.toString(Qt::ISODate) : QString(); }

// The ticket image's fields by the names the journal gives them.
constexpr std::pair<QStringView, QString base::TicketImage::*> imageFields[] = {
    {u"fare", &base::TicketImage::eFare},       {u"equiv", &base::TicketImage::eEquiv},
    {u"tax1", &base::TicketImage::eTax1},       {u"tax2", &base::TicketImage::eTax2},
    {u"tax3", &base::TicketImage::eTax3},       {u"total", &base::TicketImage::eTotal},
    {u"fareCalc", &base::TicketImage::eFareString}};

QString rateText(double rate) { return base::numbers::formatMask(rate, u"0.0000"); }

} // namespace

QByteArray journalLine(const JournalEntry& e)
{
    QJsonObject o;
    o[u"time"_s] = e.time.toString(Qt::ISODateWithMs);
    o[u"user"_s] = e.user;
    o[u"program"_s] = e.program;
    o[u"job"_s] = e.job;
    o[u"record"_s] = e.record;
    o[u"carrier"_s] = e.carrier;
    o[u"from"_s] = e.from;
    o[u"to"_s] = e.to;
    QJsonArray rates;
    for (const rates::RateUse& r : e.rates) {
        QJsonObject rate{{u"carrier"_s, r.carrier},   {u"from"_s, r.from},
                         {u"to"_s, r.to},             {u"rate"_s, r.rate},
                         {u"source"_s, sourceName(r.source)},
                         {u"offered"_s, r.offered},   {u"fareRule"_s, r.fareRule},
                         {u"taxRule"_s, r.taxRule}};
        if (r.validFrom.isValid() || r.validTo.isValid()) {
            rate[u"validFrom"_s] = isoDay(r.validFrom);
            rate[u"validTo"_s] = isoDay(r.validTo);
        }
        if (r.source == Source::Host)
            rate[u"stored"_s] = r.stored;
        rates.append(rate);
    }
    o[u"rates"_s] = rates;
    QJsonArray rules;
    for (const RuleUse& r : e.rules) {
        QJsonObject rule{{u"use"_s, r.use}, {u"rule"_s, r.rule}, {u"amount"_s, r.amount}};
        if (r.result)
            rule[u"result"_s] = *r.result;
        rules.append(rule);
    }
    o[u"rules"_s] = rules;
    o[u"planned"_s] = textArray(e.planned);
    o[u"sent"_s] = textArray(e.sent);
    o[u"outcome"_s] = e.outcome;
    o[u"messages"_s] = textArray(e.messages);
    if (e.image) {
        QJsonObject image;
        for (const auto& [name, field] : imageFields)
            image[name.toString()] = (*e.image).*field;
        o[u"image"_s] = image;
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<JournalEntry> journalEntry(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    JournalEntry e;
    e.time = QDateTime::fromString(o[u"time"_s].toString(), Qt::ISODateWithMs);
    e.job = o[u"job"_s].toString();
    if (!e.time.isValid() || e.job.isEmpty())
        return std::nullopt;
    e.user = o[u"user"_s].toString();
    e.program = o[u"program"_s].toString();
    e.record = o[u"record"_s].toString();
    e.carrier = o[u"carrier"_s].toString();
    e.from = o[u"from"_s].toString();
    e.to = o[u"to"_s].toString();
    for (const QJsonValue& v : o[u"rates"_s].toArray()) {
        const QJsonObject r = v.toObject();
        rates::RateUse use;
        use.carrier = r[u"carrier"_s].toString();
        use.from = r[u"from"_s].toString();
        use.to = r[u"to"_s].toString();
        use.rate = r[u"rate"_s].toDouble();
        use.source = sourceOf(r[u"source"_s].toString()).value_or(Source::Database);
        use.offered = r[u"offered"_s].toInt();
        use.validFrom = QDate::fromString(r[u"validFrom"_s].toString(), Qt::ISODate);
        use.validTo = QDate::fromString(r[u"validTo"_s].toString(), Qt::ISODate);
        use.stored = r[u"stored"_s].toBool();
        use.fareRule = r[u"fareRule"_s].toString();
        use.taxRule = r[u"taxRule"_s].toString();
        e.rates.push_back(std::move(use));
    }
    for (const QJsonValue& v : o[u"rules"_s].toArray()) {
        const QJsonObject r = v.toObject();
        RuleUse use{r[u"use"_s].toString(), r[u"rule"_s].toString(), r[u"amount"_s].toDouble(),
                    std::nullopt};
        if (r.contains(u"result"_s))
            use.result = r[u"result"_s].toDouble();
        e.rules.push_back(std::move(use));
    }
    e.planned = textList(o[u"planned"_s]);
    e.sent = textList(o[u"sent"_s]);
    e.outcome = o[u"outcome"_s].toString();
    e.messages = textList(o[u"messages"_s]);
    if (o.contains(u"image"_s)) {
        const QJsonObject image = o[u"image"_s].toObject();
        base::TicketImage fields;
        for (const auto& [name, field] : imageFields)
            fields.*field = image[name.toString()].toString();
        e.image = fields;
    }
    return e;
}

void JournalingInteraction::showMessage(const QString& text)
{
    m_messages.append(text);
    m_user.showMessage(text);
}

std::optional<QString> JournalingInteraction::chooseRate(const QStringList& items)
{
    return m_user.chooseRate(items);
}

void JournalingInteraction::showTicketImage(const base::TicketImage& fields)
{
    m_image = fields;
    m_user.showTicketImage(fields);
}

QStringList JournalingInteraction::takeMessages() { return std::exchange(m_messages, {}); }

std::optional<base::TicketImage> JournalingInteraction::takeTicketImage()
{
    return std::exchange(m_image, std::nullopt);
}

void ConversionJournal::setFile(const QString& path, qint64 rotateAt)
{
    m_file = base::JournalFile(path, rotateAt);
}

void ConversionJournal::record(const JournalEntry& entry)
{
    if (m_file.path().isEmpty())
        return;
    const QString why = m_file.append(journalLine(entry));
    if (why.isEmpty() || m_reported)
        return;
    m_reported = true;
    m_ui.showMessage(u"The conversion journal \"%1\" could not be written: %2.\r\n\r\nThe "
                     u"conversion itself is not affected, but it and the ones after it may be "
                     u"missing from the history. Make the journal's folder writable or free "
                     u"space on its disk. This is not said again until the program is started "
                     u"again."_s.arg(QDir::toNativeSeparators(m_file.path()), why));
}

bool matchesFilter(const JournalEntry& entry, const HistoryFilter& filter)
{
    if (filter.since.isValid() && entry.time.toLocalTime().date() < filter.since)
        return false;
    const QString wanted = filter.record.trimmed();
    if (wanted.isEmpty())
        return true;
    const auto number = base::numbers::parseInteger(wanted);
    const auto recorded = base::numbers::parseInteger(entry.record.trimmed());
    if (number && recorded)
        return *number == *recorded;
    return wanted.compare(entry.record.trimmed(), Qt::CaseInsensitive) == 0;
}

History readHistory(const base::JournalFile& file, const HistoryFilter& filter)
{
    History history;
    base::JournalFile::Lines read = file.readLines();
    history.error = read.error;
    for (auto it = read.lines.crbegin(); it != read.lines.crend(); ++it) {
        std::optional<JournalEntry> entry = journalEntry(*it);
        if (!entry)
            ++history.unreadable;
        else if (matchesFilter(*entry, filter))
            history.entries.push_back(std::move(*entry));
    }
    return history;
}

QStringList historyColumns()
{
    return {u"Time"_s,    u"User"_s, u"Job"_s,  u"Record"_s,  u"Carrier"_s,
            u"From"_s,    u"To"_s,   u"Rate"_s, u"Outcome"_s, u"Sent"_s};
}

QStringList historyCells(const JournalEntry& e)
{
    // The job's first rate is the one of its fare.
    const QString rate = e.rates.empty() || e.rates.front().rate <= 0
                             ? QString()
                             : rateText(e.rates.front().rate);
    const QString sent = e.job == journal::Run
                             ? u"%1 of %2"_s.arg(e.sent.size()).arg(e.planned.size())
                             : QString();
    return {e.time.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s),
            e.user,
            e.job,
            e.record,
            e.carrier,
            e.from,
            e.to,
            rate,
            e.outcome,
            sent};
}

QString historyTable(const History& history)
{
    std::vector<QStringList> rows{historyColumns()};
    for (const JournalEntry& e : history.entries)
        rows.push_back(historyCells(e));
    std::vector<qsizetype> widths(rows.front().size(), 0);
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[std::size_t(c)] = std::max(widths[std::size_t(c)], row[c].size());
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c)
            line += row[c].leftJustified(widths[std::size_t(c)] + 2);
        // Lines of an entry stay one line of the table.
        line.replace(u'\n', u' ').replace(u'\r', u' ');
        while (line.endsWith(u' '))
            line.chop(1);
        text += line + u'\n';
    }
    return text;
}

QString historyDetails(const JournalEntry& e)
{
    QStringList lines;
    const auto section = [&](const QString& title, const QStringList& items) {
        lines << title + u':';
        if (items.isEmpty())
            lines << u"  (none)"_s;
        for (const QString& item : items)
            lines << u"  "_s + item;
    };
    // What went to the host first: that is what a record's check starts from.
    if (e.job == journal::Run) {
        section(u"Commands planned"_s, e.planned);
        section(u"Commands sent"_s, e.sent);
    }
    QStringList messages;
    for (const QString& m : e.messages)
        messages << QString(m).replace(u"\r\n"_s, u"\n"_s).replace(u'\n', u' ').simplified();
    section(u"Messages"_s, messages);
    QStringList rates;
    for (const rates::RateUse& r : e.rates) {
        QString text = u"%1 %2 -> %3: "_s.arg(r.carrier.isEmpty() ? u"(no carrier)"_s : r.carrier,
                                              r.from, r.to);
        const QString period = r.validFrom.isValid() || r.validTo.isValid()
                                   ? u", valid %1 to %2"_s.arg(
                                         r.validFrom.isValid() ? r.validFrom.toString(u"dd.MM.yyyy"_s)
                                                               : u"open"_s,
                                         r.validTo.isValid() ? r.validTo.toString(u"dd.MM.yyyy"_s)
                                                             : u"open"_s)
                                   : QString();
        switch (r.source) {
        case Source::Database:
            text += r.rate > 0 ? rateText(r.rate) + u" from the reference data"_s + period
                               : u"no valid rate in the reference data"_s;
            break;
        case Source::Choice:
            text += r.rate > 0 ? u"%1 chosen among %2 valid rates"_s.arg(rateText(r.rate))
                                         .arg(r.offered) +
                                     period
                               : u"the choice among %1 valid rates was cancelled"_s.arg(r.offered);
            break;
        case Source::Host:
            text += r.rate > 0 ? rateText(r.rate) + u" from the host's conversion, "_s +
                                     (r.stored ? u"stored as a new rate"_s
                                               : u"which could not be stored"_s)
                               : u"the host's conversion gave no rate"_s;
            break;
        }
        if (!r.fareRule.isEmpty() || !r.taxRule.isEmpty())
            text += u" (fare rule %1, tax rule %2)"_s.arg(r.fareRule, r.taxRule);
        rates << text;
    }
    section(u"Rates"_s, rates);
    QStringList rules;
    for (const RuleUse& r : e.rules) {
        rules << u"%1: %2 of %3 = %4"_s.arg(r.use, r.rule, base::numbers::formatGeneral(r.amount),
                                            r.result ? base::numbers::formatGeneral(*r.result)
                                                     : u"could not be evaluated"_s);
    }
    section(u"Rules applied"_s, rules);
    if (e.image) {
        QStringList image;
        for (const auto& [name, field] : imageFields) {
            const QString value = (*e.image).*field;
            if (!value.isEmpty())
                image << name.toString() + u": "_s + QString(value).replace(u'\n', u" / "_s);
        }
        section(u"Ticket image"_s, image);
    }
    return lines.join(u'\n');
}

QString historySummary(const History& history, std::optional<std::size_t> shown)
{
    const std::size_t n = history.entries.size();
    QString text = n == 1 ? u"1 entry"_s : u"%1 entries"_s.arg(n);
    if (shown && *shown != n)
        text = u"%1 of "_s.arg(*shown) + text;
    if (history.unreadable == 1)
        text += u"; 1 line of the journal is no entry and is left out"_s;
    else if (history.unreadable > 1)
        text += u"; %1 lines of the journal are no entries and are left out"_s.arg(history.unreadable);
    if (!history.error.isEmpty())
        text += u"; "_s + history.error;
    return text + u'.';
}

} // namespace pricing
