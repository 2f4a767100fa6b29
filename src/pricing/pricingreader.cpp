#include "pricing/pricingreader.h"

#include "base/numbers.h"
#include "host/hostlink.h"
#include "host/screentext.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace pricing {
namespace {

using host::columns;
using host::isBlank;
using host::trimText;

// A breakdown amount that is no number: the reading ends with what was read kept.
struct StopReading {};

class Reader {
public:
    Reader(const host::TextBuffer& text, PricingModel& model, ScreenReading& result)
        : m_text(text), m_model(model), m_result(result), m_n(text.lineCount())
    {}

    void scan()
    {
        const int h = findHeader();
        const int b = scanSegments(h + 2);
        scanFareSection(b + 1);
    }

private:
    QString line(int i) const { return m_text.line(i); }

    // Line 0 is never examined; without a header the search ends at the line count.
    int findHeader() const
    {
        int i = 1;
        while (!line(i).contains(HeaderH0) && i < m_n)
            ++i;
        return i;
    }

    int scanSegments(int i)
    {
        for (;;) {
            const QString l = line(i);
            if (m_model.FirstCarrier.isEmpty() && host::MonthNumber(columns(l, 22, 24)) != 0) {
                const auto day = base::numbers::parseInteger(trimText(columns(l, 20, 21)));
                if (day && *day > 0)
                    m_model.FirstCarrier = trimText(columns(l, 6, 7));
            }
            if (isBlank(l) || i >= m_n)
                return i;
            ++i;
        }
    }

    void scanFareSection(int i)
    {
        bool breakdownSeen = false;
        for (;;) {
            const QString l = line(i);
            if (columns(l, 19, 20) == u"XT"_s) {
                breakdownSeen = true;
                readBreakdown(i);
            } else if (!breakdownSeen && isBlank(columns(l, 15, 18))) {
                if (host::DecodeScreenDate(columns(l, 19, 25)) > 0) {
                    readFareBlock(i);
                    appendFareCalc(columns(l, 26, 67));
                } else {
                    appendFareCalc(columns(l, 19, 60));
                }
            }
            if (!isBlank(columns(l, 15, 18)) || i >= m_n || line(i + 1).startsWith(u'>'))
                return;
            ++i;
        }
    }

    void appendFareCalc(const QString& piece)
    {
        m_result.FareCalc += trimText(piece);
        m_result.FareCalc += u' ';
    }

    // The next entry of ScreenTaxes, counted; none once all 30 are used (the tax is
    // dropped and TaxCount stays at 30).
    ScreenTax* nextEntry()
    {
        if (m_result.TaxCount >= MaxScreenTaxes)
            return nullptr;
        ++m_result.TaxCount;
        return &m_model.ScreenTaxes[static_cast<std::size_t>(m_result.TaxCount - 1)];
    }

    // Each item on its own: a failed conversion ends that item only.
    void readFareBlock(int f)
    {
        const QString fare = line(f);
        m_model.FareCurrency = columns(fare, 1, 3);
        if (const auto amount = base::numbers::parseDecimal(trimText(columns(fare, 4, 12))))
            m_model.FareAmount = *amount;
        for (int box = f + 2; box <= f + 4; ++box) {
            const QString l = line(box);
            if (box == f + 4 && columns(l, 13, 14) == u"XT"_s)
                break;
            ScreenTax* entry = nextEntry();
            if (!entry)
                break;
            entry->Currency = columns(l, 1, 3);
            const auto amount = base::numbers::parseDecimal(trimText(columns(l, 4, 12)));
            if (!amount)
                continue;
            entry->Amount = *amount;
            entry->Code = host::AddXXSuffix(trimText(columns(l, 13, 14)));
            entry->Present = true;
        }
    }

    // Currency and amount pairs from line s on, at most 11 lines. A currency that ends a
    // line is carried to the next one (the tail).
    void readBreakdown(int s)
    {
        QString tail;
        for (int j = s; j <= s + 10; ++j) {
            const QString l = line(j);
            const QString mark = columns(l, 19, 20);
            if (isBlank(mark) || !isBlank(columns(l, 15, 17)))
                return;
            QString t = trimText(mark == u"XT"_s ? columns(l, 22, 101) : columns(l, 19, 98));
            t += u' ';
            if (!tail.isEmpty())
                t = tail + u' ' + t;
            if (t.size() >= 5 && t.at(t.size() - 5) == u' ') {
                tail = t.mid(t.size() - 4, 3);
                t.remove(t.size() - 4, 3);
            } else {
                tail.clear();
            }
            readPairs(t, j);
        }
    }

    void readPairs(const QString& t, int j)
    {
        int k = 1;
        for (int step = 0; step < 20; ++step) {
            const QString f = host::GetField(t, k, u' ');
            if (isBlank(f))
                return;
            if (f.size() == 3) {
                ++k;
                QString a = host::GetField(t, k, u' ');
                if (base::numbers::parseDecimal(a)) // the code stands at the start of the next line
                    a += columns(line(j + 1), 19, 20);
                ++k;
                ScreenTax* entry = nextEntry();
                if (!entry)
                    continue;
                entry->Currency = f;
                const qsizetype numberLength = std::max<qsizetype>(0, a.size() - 2);
                const auto amount = base::numbers::parseDecimal(trimText(a.left(numberLength)));
                if (!amount)
                    throw StopReading{};
                entry->Amount = *amount;
                entry->Code = host::AddXXSuffix(trimText(a.mid(numberLength)));
                entry->Present = true;
            } else if (f.size() == 2) {
                ++k;
            } else {
                k += 2;
            }
        }
    }

    const host::TextBuffer& m_text;
    PricingModel& m_model;
    ScreenReading& m_result;
    const int m_n;
};

} // namespace

ScreenReading readPricingText(const QString& response, host::TextBuffer& mHostAnswer,
                              PricingModel& model)
{
    model.reset();
    ScreenReading result;
    mHostAnswer.setText(response);
    // The header holds no line break, so finding it in a line is finding it in the text.
    const QStringList& lines = mHostAnswer.lines();
    if (std::none_of(lines.begin(), lines.end(),
                     [](const QString& l) { return l.contains(HeaderH5); }))
        return result;
    try {
        Reader(mHostAnswer, model, result).scan();
    } catch (const StopReading&) {
    }
    return result;
}

ScreenReading ReadPricingScreen(host::HostLink& link, host::TextBuffer& mHostAnswer,
                                PricingModel& model)
{
    model.reset();
    link.ConnectHost();
    if (!link.HostConnected())
        return {};
    QString response;
    try {
        response = link.session().LastResponse().Text;
    } catch (const std::exception&) {
        return {};
    }
    return readPricingText(response, mHostAnswer, model);
}

} // namespace pricing
