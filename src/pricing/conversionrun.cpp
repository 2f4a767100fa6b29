#include "pricing/conversionrun.h"
#include "pricing/runfailure.h"

#include "base/interaction.h"
#include "base/numbers.h"
#include "base/settings.h"
#include "base/stopsignals.h"
#include "host/automation.h"
#include "host/hosterror.h"
#include "host/hostlink.h"
#include "host/screentext.h"
#include "rates/formula/formulaerrors.h"
#include "rates/pattern/patternmatcher.h"
#include "rates/ratelookup.h"
#include "refdata/dberror.h"
#include "refdata/referencedb.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace pricing {

QString rateNotFoundMessage(const QString& from, const QString& to, const QString& carrier,
                            QStringView carrierSettings)
{
    if (host::isBlank(carrier)) {
        // A rate is kept per carrier: typing one would not help.
        return u"Currency rate not found !\r\n\r\nNo carrier was recognised on the screen"_s +
               (carrierSettings.isEmpty() ? QString()
                                          : u" (settings "_s + carrierSettings.toString() + u')') +
               u",\r\nand the rate from "_s + from + u" to "_s + to + u" is kept per carrier."_s;
    }
    return u"Currency rate not found !\r\n\r\nBefore convert SPR please type\r\nrate from "_s +
           from + u" to "_s + to + u" on the "_s + carrier + u" airline."_s;
}

QString failureReason(const std::exception& e)
{
    if (dynamic_cast<const host::HostError*>(&e))
        return u"the host terminal failed: "_s + base::errorText(e);
    if (dynamic_cast<const refdata::DbError*>(&e))
        return u"the reference database failed: "_s + base::errorText(e);
    if (dynamic_cast<const formula::FormulaError*>(&e))
        return u"a rounding rule failed: "_s + base::errorText(e);
    return base::errorText(e);
}

QString fareRuleFailure(const QString& rule, const QString& to, const std::exception& e)
{
    return u"The fare rounding rule \"%1\" of %2 could not be evaluated: %3"_s.arg(rule, to,
                                                                                   base::errorText(e));
}

QString taxRuleFailure(const QString& rule, const QString& to, int number, const QString& code,
                       const std::exception& e)
{
    return u"The tax rounding rule \"%1\" of %2 could not be evaluated for tax %3 (%4): %5"_s
        .arg(rule, to)
        .arg(number)
        .arg(code.trimmed(), base::errorText(e));
}

namespace {

// Releases the host's toolkit objects however the run ends.
struct HostRelease {
    host::HostLink& link;
    ~HostRelease() { link.release(); }
};

// What the user is told when an error ends a run: what failed and, once update commands
// have gone out, that the record may be partly converted and which commands those were.
QString failureMessage(const QString& reason, const QStringList& sent)
{
    QString text = u"The SPR was not converted: "_s + reason;
    if (sent.isEmpty())
        return text + u"\r\n\r\nNothing was written to the record."_s;
    return text + u"\r\n\r\nThe record may be partly converted. These commands were sent:\r\n"_s +
           sent.join(u"\r\n"_s) + u"\r\n\r\nCheck the record before ticketing."_s;
}

class Run {
public:
    Run(PricingState& state, PricingServices& services) : st(state), sv(services) {}

    RunResult run()
    {
        // What this run uses is noted from its start, whatever ends it.
        st.RulesApplied.clear();
        sv.rates.Used.clear();
        // Step 1: a database that cannot be opened goes to the caller's error report.
        sv.db.connectIfNeeded();
        st.FareRate = 0;
        st.TaxCurrencyRate = 0;
        st.TaxLines.clearForRun();

        HostRelease release{sv.link};
        sv.link.ConnectHost();
        if (!sv.link.HostConnected())
            return result;

        try {
            if (readRecord())
                sendUpdates();
        } catch (const RunFailure& f) {
            result.outcome = f.verbatim() ? RunResult::Outcome::Stopped : RunResult::Outcome::Failed;
            sv.ui.showMessage(f.verbatim() ? f.message()
                                           : failureMessage(f.message(), result.updateCommands));
        } catch (const std::exception& e) {
            result.outcome = RunResult::Outcome::Failed;
            sv.ui.showMessage(failureMessage(failureReason(e), result.updateCommands));
        }
        result.recordNumber = r.RecordNumber;
        result.sourceCurrency = r.SourceCurrency;
        return result;
    }

private:
    // The update commands of the record read, worked out whole and then sent in order.
    void sendUpdates()
    {
        const QStringList commands = planUpdateCommands(st, sv, r);
        result.plannedCommands = commands;
        const QString& refusal = sv.settings.refusalRegExp;
        if (!refusal.isEmpty()) // a pattern that cannot be used stops before the first
            search(base::key::RefusalRegExp, refusal, QString());
        for (const QString& command : commands) {
            // Asked to end (Ctrl+C, a logout): no further command goes out.
            if (base::stopRequested())
                throw RunFailure(StoppedReason.toString(), false);
            // Counted before it goes out: a command whose answer never comes may
            // still have changed the record.
            result.updateCommands.append(command);
            st.mWorkBoard.setText(sv.link.session().Send(command, 1).Text);
            if (!refusal.isEmpty())
                requireAccepted(refusal);
        }
        result.outcome = RunResult::Outcome::Converted;
    }

    // Steps 5 to 13: false when a message ended the run.
    bool readRecord()
    {
        const bool whole = collectDisplay();
        const QString text = st.mHostAnswer.text();
        const qsizetype spr = text.indexOf(u"SPR000"_s);
        if (spr < 0) {
            sv.ui.showMessage(NotSprMessage.toString());
            return false;
        }
        if (!whole) {
            // Taxes on the pages not read would stay in their old currency.
            throw RunFailure(u"the record continues beyond %1 pages (\"MD\" was sent %2 times), "
                             u"so it cannot be read whole"_s.arg(MaxRecordPages)
                                 .arg(MaxRecordPages - 1),
                             false);
        }
        r.RecordNumber = text.mid(spr + 6, 2);

        const auto& settings = sv.settings;
        if (search(base::key::EquivRegExp, settings.equivRegExp, text)) {
            const QString m = sv.matcher.matchedText(0);
            r.BaseCurrency = m.mid(8, 3);
            r.BaseAmount = matchedAmount(text, u"EQUIV");
        }
        if (search(base::key::FareRegExp, settings.fareRegExp, text)) {
            const QString m = sv.matcher.matchedText(0);
            r.FareLineCurrency = m.mid(8, 3);
            if (r.BaseAmount == 0) {
                r.BaseCurrency = r.FareLineCurrency;
                r.BaseAmount = matchedAmount(text, u"FARE");
            } else {
                r.OrigFareCurrency = r.FareLineCurrency;
                r.OrigFareAmount = matchedAmount(text, u"FARE");
            }
        }

        st.Carrier.clear();
        if (search(base::key::SegmentFv, settings.segmentFv, text)) {
            const QString m = sv.matcher.matchedText(0);
            st.Carrier = host::trimText(m.mid(m.size() - 3, 2));
        }
        if (search(base::key::ElementFv, settings.elementFv, text))
            st.Carrier = host::trimText(sv.matcher.matchedText(0).right(2));

        readPricingCommandAndTaxes();
        // Without a fare or equivalent amount nothing on the screen can be converted; the
        // commands would go out with empty currencies.
        if (host::isBlank(r.BaseCurrency)) {
            // Such as the host's acknowledgement of the last run, which holds the header.
            if (!holdsPricingLines(st.mHostAnswer.lines())) {
                throw RunFailure(u"the screen shows no fare, equivalent or tax line; display "
                                 u"the stored pricing record first"_s,
                                 false);
            }
            throw RunFailure(u"no fare or equivalent amount was recognised on the screen "
                             u"(settings FAREREGEXP and EQUIVREGEXP)"_s,
                             false);
        }

        rates::TaxLine& first = st.TaxLines[1];
        if (host::isBlank(first.ShownCurrency))
            first.ShownCurrency = r.BaseCurrency;
        r.SourceCurrency = first.ShownCurrency;

        const QString& to = settings.currencyTo;
        st.FareRate = sv.rates.LookupRate(st.Carrier, r.SourceCurrency, to, true);

        if (r.SourceCurrency == to) {
            sv.ui.showMessage(u"Source currency "_s + r.SourceCurrency +
                              u" must be different from destination currency "_s + to);
            return false;
        }
        if (!r.SourceCurrency.isEmpty() && !r.BaseCurrency.isEmpty() &&
            r.SourceCurrency != r.BaseCurrency) {
            sv.ui.showMessage(u"Fare currency "_s + r.BaseCurrency +
                              u" different from TAX currency "_s + r.SourceCurrency);
            return false;
        }
        // A rate of 0 or less is no rate.
        if (st.FareRate <= 0) {
            sv.ui.showMessage(rateNotFoundMessage(r.BaseCurrency, to, st.Carrier, CarrierSettings));
            return false;
        }
        return true;
    }

    // The display's last prompt line (from the end, the first line beginning with ">" or
    // ")>") starts with the continuation prompt: the host holds a further page.
    static bool continues(const QStringList& lines)
    {
        for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
            if (it->startsWith(u'>'))
                return false;
            if (it->startsWith(u")>"_s))
                return true;
        }
        return false;
    }

    // Step 5: the display, and every further page while the collected display ends in the
    // continuation prompt: taxes and the FV element may stand on any page. False when the
    // record still continues after MaxRecordPages pages.
    bool collectDisplay()
    {
        host::TextBuffer& answer = st.mHostAnswer;
        answer.setText(sv.link.session().LastResponse().Text);
        bool more = continues(answer.lines());
        for (int i = answer.lineCount() - 1; i >= 0; --i) {
            const QString line = answer.line(i);
            answer.deleteLine(i);
            if (line.startsWith(u'>') || line.startsWith(u")>"_s))
                break;
        }
        for (int pages = 1; more; ++pages) {
            if (pages == MaxRecordPages)
                return false;
            st.mWorkBoard.setText(sv.link.session().Send(u"MD"_s, 1).Text);
            const QStringList page = st.mWorkBoard.lines();
            for (int k = 0; k < page.size(); ++k) {
                const QString& line = page[k];
                if (line.contains(u'>'))
                    continue;
                if (!answer.containsLine(line) || (host::isBlank(line) && k != 0))
                    answer.appendLine(line);
            }
            more = continues(page);
        }
        return true;
    }

    // Step 10: the pricing command below each record header, and every tax entry.
    void readPricingCommandAndTaxes()
    {
        r.PricingCommand.clear();
        r.FareCalcCurrency.clear();
        const QString& taxPattern = sv.settings.taxRegExp;
        sv.matcher.setPattern(taxPattern);
        const QStringList lines = st.mHostAnswer.lines();
        for (int i = 0; i < lines.size(); ++i) {
            const QString& line = lines[i];
            if (line.left(6) == u"SPR000") {
                r.PricingCommand = host::trimText(st.mHostAnswer.line(i + 2));
                if (!r.PricingCommand.startsWith(u"FX"_s))
                    r.PricingCommand = u"FXP"_s;
                const qsizetype fc = r.PricingCommand.indexOf(u",FC-"_s);
                if (fc >= 0) {
                    r.FareCalcCurrency = r.PricingCommand.mid(fc + 4, 3);
                } else {
                    r.FareCalcCurrency = r.BaseCurrency;
                    r.PricingCommand += (r.PricingCommand.contains(u"/R"_s) ? u",FC-"_s
                                                                             : u"/R,FC-"_s) +
                                        r.FareCalcCurrency;
                }
            }
            const auto first = [&] { return sv.matcher.search(line); };
            const auto next = [&] { return sv.matcher.searchAgain(); };
            int read = 0;
            if (patternCall(base::key::TaxRegExp, taxPattern, first)) {
                do {
                    const QString matched = sv.matcher.matchedText(0);
                    rates::ReadTaxLine(st.TaxLines, sv.db, matched, st.Carrier);
                    requireWholeTax(matched);
                    ++read;
                } while (patternCall(base::key::TaxRegExp, taxPattern, next));
            }
            requireEveryTaxEntryRead(line, read);
        }
    }

    // A tax the record shows but the run could not take (beyond the 30th, or its amount
    // unreadable) would stay in its old currency next to converted ones: the run stops.
    void requireWholeTax(const QString& matched)
    {
        const std::optional<int> number = rates::TaxLineNumber(matched);
        if (number && *number > rates::TaxLines::Size) {
            throw RunFailure(u"the record shows tax %1, and at most %2 taxes can be converted"_s
                                 .arg(*number)
                                 .arg(rates::TaxLines::Size),
                             false);
        }
        if (number && *number >= 1 && !st.TaxLines[*number].Present) {
            throw RunFailure(u"the amount of tax %1 in \"%2\" cannot be read"_s.arg(*number).arg(
                                 matched.simplified()),
                             false);
        }
    }

    // Every tax entry the line shows ("TX001 ...") must have been read by the tax pattern:
    // one it missed (a character the host never sends inside it, a layout the pattern
    // does not know) would stay unconverted on a record that is otherwise converted.
    static void requireEveryTaxEntryRead(const QString& line, int read)
    {
        const int shown = taxEntriesShown(line);
        if (shown > read) {
            throw RunFailure(u"the tax entries of the line \"%1\" could not all be read "
                             u"(%2 shown, %3 read; setting TAXREGEXP)"_s
                                 .arg(quoted(line))
                                 .arg(shown)
                                 .arg(read),
                             false);
        }
    }

    // A refused update command leaves the record as it stands; the commands after it
    // would convert only part of what is left.
    void requireAccepted(const QString& refusal)
    {
        const QString answer = st.mWorkBoard.text();
        if (!search(base::key::RefusalRegExp, refusal, answer))
            return;
        QStringList shown;
        for (const QString& line : st.mWorkBoard.lines()) {
            if (!host::isBlank(line) && !line.startsWith(u'>'))
                shown << quoted(line);
        }
        throw RunFailure(u"the host refused the command %1 with the answer \"%2\" (setting %3)"_s
                             .arg(result.updateCommands.constLast(), shown.join(u' '),
                                  base::key::RefusalRegExp.toString()),
                         false);
    }

    // A host line as a message quotes it: at most 80 characters, control characters
    // shown as "?", runs of blanks as one.
    static QString quoted(const QString& line)
    {
        QString text = line.left(80);
        for (QChar& c : text) {
            if (c.category() == QChar::Other_Control)
                c = u'?';
        }
        return text.simplified();
    }

    // The tax entries ("TX001 ...") a line shows, whatever the tax pattern makes of them.
    static int taxEntriesShown(const QString& line)
    {
        int shown = 0;
        for (qsizetype p = line.indexOf(u"TX"_s); p >= 0; p = line.indexOf(u"TX"_s, p + 2)) {
            const bool starts = p == 0 || !line[p - 1].isLetterOrNumber();
            const QStringView number = QStringView(line).mid(p + 2, 3);
            const bool digits = number.size() == 3 &&
                                std::all_of(number.begin(), number.end(), [](QChar c) {
                                    return c >= u'0' && c <= u'9';
                                });
            if (starts && digits)
                ++shown;
        }
        return shown;
    }

    // Whether the display holds a line of a pricing record's amounts (fare, equivalent or
    // tax), recognised or not: without one it is some other screen, not a record whose
    // lines the patterns missed.
    static bool holdsPricingLines(const QStringList& lines)
    {
        return std::any_of(lines.begin(), lines.end(), [](const QString& line) {
            const QString text = host::trimText(line);
            return text.startsWith(u"FARE"_s) || text.startsWith(u"EQUIV"_s) ||
                   taxEntriesShown(line) > 0;
        });
    }

    // A search with a settings pattern; a pattern that cannot be used ends the run with a
    // message naming its setting.
    template <typename F>
    static bool patternCall(QStringView settingKey, const QString& patternText, F&& searchCall)
    {
        try {
            return searchCall();
        } catch (const pattern::PatternError& e) {
            throw RunFailure(u"the pattern %1 \"%2\" cannot be used: %3"_s.arg(
                                 settingKey.toString(), patternText, base::errorText(e)),
                             false);
        }
    }

    bool search(QStringView settingKey, const QString& patternText, const QString& text)
    {
        sv.matcher.setPattern(patternText);
        return patternCall(settingKey, patternText, [&] { return sv.matcher.search(text); });
    }

    // The amount of the line the last search of input matched: characters 12 to 23 of the
    // match, trimmed and cut to 10. The pattern ends at the first character that is no
    // digit, so the field on the line (from character 12 of the match to the next blank or
    // the line's end) must be a whole amount: "56?6.00" would otherwise be read as 56.
    // The searched text, not the matcher's copy: that ends at a NUL, which may stand inside
    // the amount too.
    double matchedAmount(const QString& input, QStringView lineName) const
    {
        const qsizetype start = sv.matcher.matchPosition(0);
        qsizetype end = start + sv.matcher.matchLength(0);
        while (end < input.size() && input[end] != u' ' && input[end] != u'\r' &&
               input[end] != u'\n')
            ++end;
        const qsizetype from = start + 11;
        const QString field = host::trimText(input.mid(from, std::max<qsizetype>(0, end - from)));
        const QString text = host::trimText(sv.matcher.matchedText(0).mid(11, 12)).left(10);
        const std::optional<double> v = base::numbers::parseDecimal(text);
        if (!v || !base::numbers::parseDecimal(field)) {
            const qsizetype lineStart = input.lastIndexOf(u'\n', start) + 1;
            const qsizetype lineEnd = input.indexOf(u'\n', start);
            const QString line = input.mid(lineStart, lineEnd < 0 ? -1 : lineEnd - lineStart);
            throw RunFailure(u"the amount \"%1\" of the %2 line \"%3\" cannot be read"_s.arg(
                                 quoted(field), lineName.toString(), quoted(host::trimText(line))),
                             false);
        }
        return *v;
    }

    PricingState& st;
    PricingServices& sv;
    RunRecord r;
    RunResult result;
};

} // namespace

QString convertedSummary(const RunResult& result, double rate)
{
    const qsizetype n = result.updateCommands.size();
    return u"SPR converted at rate %1: %2 update command%3 sent."_s.arg(
        base::numbers::formatMask(rate, u"0.0000"), QString::number(n), n == 1 ? u""_s : u"s"_s);
}

RunResult btnRunClick(PricingState& state, PricingServices& services)
{
    return Run(state, services).run();
}

} // namespace pricing
