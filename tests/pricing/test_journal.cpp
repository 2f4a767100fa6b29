// The journal's entries as lines and back, the lines that are no entries, the history's
// filter and its table.
#include "pricing/journal.h"

#include "support/qstringprint.h"

#include <QFile>
#include <QTimeZone>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pricing;
using namespace Qt::Literals::StringLiterals;
using Source = rates::RateUse::Source;

namespace {

JournalEntry fullEntry()
{
    JournalEntry e;
    e.time = QDateTime(QDate(2026, 12, 11), QTime(14, 3, 22, 125), QTimeZone(7200));
    e.user = u"anna"_s;
    e.program = u"sprrate"_s;
    e.job = journal::Run.toString();
    e.record = u"01"_s;
    e.carrier = u"LH"_s;
    e.from = u"USD"_s;
    e.to = u"RUB"_s;
    rates::RateUse chosen;
    chosen.carrier = u"LH"_s;
    chosen.from = u"USD"_s;
    chosen.to = u"RUB"_s;
    chosen.rate = 93.25;
    chosen.source = Source::Choice;
    chosen.offered = 2;
    chosen.validFrom = QDate(2026, 12, 1);
    chosen.validTo = QDate(2026, 12, 31);
    chosen.fareRule = u"CEIL(VALUE/5)*5"_s;
    chosen.taxRule = u"CEIL(INT(VALUE*10)/10)"_s;
    rates::RateUse host;
    host.carrier = u"LH"_s;
    host.from = u"EUR"_s;
    host.to = u"RUB"_s;
    host.rate = 0.0985;
    host.source = Source::Host;
    host.stored = true;
    e.rates = {chosen, host};
    e.rules = {RuleUse{u"fare"_s, u"CEIL(VALUE/5)*5"_s, 52778.75, 52780.0},
               RuleUse{u"tax 1 YQ"_s, u"SQRT(0-VALUE)"_s, 1268.2, std::nullopt}};
    e.planned = {u"TTI/T01/K2USD93.2500"_s, u"TTK/T01/ERUB52780.00/X"_s};
    e.sent = {u"TTI/T01/K2USD93.2500"_s};
    e.outcome = journal::Failed.toString();
    e.messages = {u"The SPR was not converted: ПЕТРОВ \"quoted\"\r\n\r\nCheck the record."_s};
    base::TicketImage image;
    image.eFare = u"EUR520.00"_s;
    image.eFareString = u"FRA LH MOW520.00END\nXT RUB 195.00OY"_s;
    e.image = image;
    return e;
}

} // namespace

TEST(JournalLine, EntryComesBackWholeFromItsOneLine)
{
    const JournalEntry e = fullEntry();
    const QByteArray line = journalLine(e);
    EXPECT_FALSE(line.contains('\n')) << "an entry is one line";
    EXPECT_FALSE(line.contains('\r'));
    const std::optional<JournalEntry> back = journalEntry(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->time, e.time);
    EXPECT_EQ(back->time.offsetFromUtc(), 7200) << "the time keeps its offset";
    EXPECT_EQ((QStringList{back->user, back->program, back->job, back->record, back->carrier,
                           back->from, back->to, back->outcome}),
              (QStringList{e.user, e.program, e.job, e.record, e.carrier, e.from, e.to, e.outcome}));
    ASSERT_EQ(back->rates.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const rates::RateUse &got = back->rates[i], &want = e.rates[i];
        EXPECT_EQ(got.rate, want.rate);
        EXPECT_EQ(got.source, want.source);
        EXPECT_EQ(got.offered, want.offered);
        EXPECT_EQ(got.validFrom, want.validFrom);
        EXPECT_EQ(got.validTo, want.validTo);
        EXPECT_EQ(got.stored, want.stored);
        EXPECT_EQ((QStringList{got.carrier, got.from, got.to, got.fareRule, got.taxRule}),
                  (QStringList{want.carrier, want.from, want.to, want.fareRule, want.taxRule}));
    }
    ASSERT_EQ(back->rules.size(), 2u);
    EXPECT_EQ(back->rules[0].amount, 52778.75);
    EXPECT_EQ(back->rules[0].result, 52780.0);
    EXPECT_EQ(back->rules[1].use, u"tax 1 YQ"_s);
    EXPECT_EQ(back->rules[1].result, std::nullopt) << "a rule that failed has no result";
    EXPECT_EQ(back->planned, e.planned);
    EXPECT_EQ(back->sent, e.sent);
    EXPECT_EQ(back->messages, e.messages);
    ASSERT_TRUE(back->image);
    EXPECT_EQ(back->image->eFare, e.image->eFare);
    EXPECT_EQ(back->image->eFareString, e.image->eFareString);
    EXPECT_EQ(back->image->eTotal, QString());
}

TEST(JournalLine, LinesThatAreNoEntryGiveNothing)
{
    const QByteArray whole = journalLine(fullEntry());
    const QByteArray lines[] = {"",
                                "{",
                                "[1,2]",
                                "\"text\"",
                                "{\"job\":\"run\"}",                        // no time
                                "{\"time\":\"2026-12-11T10:00:00Z\"}",      // no job
                                "{\"time\":\"yesterday\",\"job\":\"run\"}", // no time
                                whole.left(whole.size() / 2),               // cut by a crash
                                whole.left(whole.size() - 1)};
    for (const QByteArray& line : lines)
        EXPECT_FALSE(journalEntry(line)) << line.constData();
}

struct FilterCase {
    const char* name;
    QString record;      // of the entry
    int daysAgo;         // the entry's day
    QString wanted;      // the filter's record
    int sinceDaysAgo;    // the filter's day; -1: none
    bool matches;
};

class HistoryFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(HistoryFilterTest, RecordAndDayFrom)
{
    const FilterCase& c = GetParam();
    JournalEntry e;
    e.record = c.record;
    e.time = QDateTime(QDate::currentDate().addDays(-c.daysAgo), QTime(12, 0));
    const HistoryFilter filter{
        c.wanted, c.sinceDaysAgo < 0 ? QDate() : QDate::currentDate().addDays(-c.sinceDaysAgo)};
    EXPECT_EQ(matchesFilter(e, filter), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryFilterTest,
    testing::Values(FilterCase{"NoFilter", u"01"_s, 400, {}, -1, true},
                    FilterCase{"SameNumber", u"01"_s, 0, u"01"_s, -1, true},
                    FilterCase{"NumberWithoutItsZero", u"01"_s, 0, u"1"_s, -1, true},
                    FilterCase{"NumberWithBlanks", u"02"_s, 0, u" 2 "_s, -1, true},
                    FilterCase{"OtherNumber", u"01"_s, 0, u"2"_s, -1, false},
                    FilterCase{"EstimateHasNoRecord", QString(), 0, u"1"_s, -1, false},
                    FilterCase{"TextComparedAsText", u"AB"_s, 0, u"ab"_s, -1, true},
                    FilterCase{"SinceTheSameDay", u"01"_s, 3, {}, 3, true},
                    FilterCase{"BeforeTheDay", u"01"_s, 4, {}, 3, false},
                    FilterCase{"BothMustHold", u"01"_s, 4, u"1"_s, 3, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(History, NewestFirstOverBothFilesWithWhatIsNoEntryCounted)
{
    QTemporaryDir dir;
    const base::JournalFile file(dir.filePath(u"j.jsonl"_s), 1 << 20);
    JournalEntry e = fullEntry();
    const auto write = [](const QString& path, const QList<QByteArray>& lines) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (const QByteArray& line : lines)
            f.write(line + '\n');
    };
    QList<QByteArray> old, current;
    for (const char16_t* record : {u"01", u"02"}) {
        e.record = QString::fromUtf16(record);
        old << journalLine(e);
    }
    old << "{\"cut\":";
    for (const char16_t* record : {u"03", u"04"}) {
        e.record = QString::fromUtf16(record);
        current << journalLine(e);
    }
    write(file.oldPath(), old);
    write(file.path(), current);

    const History all = readHistory(file, {});
    QStringList records;
    for (const JournalEntry& entry : all.entries)
        records << entry.record;
    EXPECT_EQ(records, (QStringList{u"04"_s, u"03"_s, u"02"_s, u"01"_s}));
    EXPECT_EQ(all.unreadable, 1);
    EXPECT_EQ(historySummary(all),
              u"4 entries; 1 line of the journal is no entry and is left out."_s);

    const History one = readHistory(file, {u"3"_s, {}});
    ASSERT_EQ(one.entries.size(), 1u);
    EXPECT_EQ(one.entries[0].record, u"03"_s);
    EXPECT_EQ(historySummary(all, 1),
              u"1 of 4 entries; 1 line of the journal is no entry and is left out."_s);
    EXPECT_EQ(historySummary(one), u"1 entry; 1 line of the journal is no entry and is left out."_s);
}

TEST(History, TableKeepsEachColumnInLine)
{
    History h;
    JournalEntry a = fullEntry();
    JournalEntry b = fullEntry();
    b.user = u"a-much-longer-user-name"_s;
    b.job = journal::Estimate.toString();
    b.rates.clear();
    b.messages = {u"two\r\nlines"_s};
    h.entries = {a, b};
    const QStringList lines = historyTable(h).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    // Each column starts where its title does.
    const qsizetype job = lines[0].indexOf(u"Job"_s);
    const qsizetype rate = lines[0].indexOf(u"Rate"_s);
    EXPECT_EQ(lines[1].indexOf(u"run"_s), job);
    EXPECT_EQ(lines[2].indexOf(u"estimate"_s), job);
    EXPECT_EQ(lines[1].indexOf(u"93.2500"_s), rate);
    EXPECT_TRUE(lines[1].contains(u"1 of 2"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].startsWith(a.time.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s)));
}

TEST(History, DetailsNameEachRateSourceAndTheCommands)
{
    const QString details = historyDetails(fullEntry());
    for (const QString& text :
         {u"LH USD -> RUB: 93.2500 chosen among 2 valid rates, valid 01.12.2026 to 31.12.2026"_s,
          u"LH EUR -> RUB: 0.0985 from the host's conversion, stored as a new rate"_s,
          u"fare: CEIL(VALUE/5)*5 of 52778.75 = 52780"_s,
          u"tax 1 YQ: SQRT(0-VALUE) of 1268.2 = could not be evaluated"_s,
          u"Commands planned:\n  TTI/T01/K2USD93.2500\n  TTK/T01/ERUB52780.00/X\n"_s,
          u"Commands sent:\n  TTI/T01/K2USD93.2500\n"_s})
        EXPECT_TRUE(details.contains(text)) << text.toStdString() << "\nin\n" << details.toStdString();
}
