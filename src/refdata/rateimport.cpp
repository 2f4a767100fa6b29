#include "refdata/rateimport.h"

#include "base/numbers.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

using namespace Qt::Literals::StringLiterals;

namespace refdata {

namespace {

const QStringList Columns = RateFileHeader.toString().split(u',');

// The fields of one line: the separator between them, a field in double quotes may hold
// it (and "" for a quote). False when a quote is not closed.
bool splitFields(const QString& line, QChar separator, QStringList* fields)
{
    fields->clear();
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == separator) {
            fields->append(field.trimmed());
            field.clear();
        } else {
            field += c;
        }
    }
    fields->append(field.trimmed());
    return !quoted;
}

QString day(const QDate& d) { return d.isValid() ? d.toString(u"dd.MM.yyyy"_s) : u"open"_s; }

} // namespace

RateImport readRateFile(const QByteArray& content)
{
    RateImport import;
    QString text = QString::fromUtf8(content);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    auto problem = [&](int line, const QString& column, const QString& what) {
        import.problems.push_back({line, column, what});
    };

    int headerLine = 0;
    QChar separator = u',';
    QStringList fields;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const int number = i + 1;
        if (line.trimmed().isEmpty())
            continue;
        if (headerLine == 0) {
            headerLine = number;
            separator = line.count(u';') >= Columns.size() - 1 ? u';' : u',';
            splitFields(line, separator, &fields);
            QStringList names;
            for (const QString& f : fields)
                names.append(f.toUpper());
            if (names != Columns) {
                problem(number, {}, u"the header must be %1"_s.arg(RateFileHeader));
                return import;
            }
            continue;
        }
        if (!splitFields(line, separator, &fields)) {
            problem(number, {}, u"a quote is not closed"_s);
            continue;
        }
        if (fields.size() != Columns.size()) {
            problem(number, {},
                    u"%1 fields where the header has %2"_s.arg(fields.size()).arg(Columns.size()));
            continue;
        }
        ImportedRate r;
        r.line = number;
        const std::size_t before = import.problems.size();
        auto code = [&](int column, int length) {
            const QString value = fields[column].toUpper();
            if (value.isEmpty() || value.size() > length)
                problem(number, Columns[column],
                        u"\"%1\" is no code of 1 to %2 characters"_s.arg(fields[column]).arg(length));
            return value;
        };
        r.from = code(0, 3);
        r.to = code(1, 3);
        r.carrier = code(2, 2);
        QString amount = fields[3];
        amount.replace(u',', u'.');
        const std::optional<double> rate = base::numbers::parseDecimal(amount);
        if (!rate || !std::isfinite(*rate) || *rate <= 0)
            problem(number, Columns[3], u"\"%1\" is no rate greater than 0"_s.arg(fields[3]));
        else
            r.rate = *rate;
        for (const auto& [column, target] : {std::pair{4, &r.validFrom}, std::pair{5, &r.validTo}}) {
            if (const auto d = base::numbers::parseDay(fields[column]))
                *target = *d;
            else
                problem(number, Columns[column],
                        u"\"%1\" is no date (DD.MM.YYYY or YYYY-MM-DD)"_s.arg(fields[column]));
        }
        if (import.problems.size() == before) {
            if (r.from == r.to)
                problem(number, Columns[1], u"the same currency as FROM"_s);
            if (r.validFrom > r.validTo)
                problem(number, Columns[4], u"%1 is after VALID_TO %2"_s.arg(day(r.validFrom),
                                                                            day(r.validTo)));
        }
        if (import.problems.size() == before)
            import.rows.push_back(r);
    }
    if (headerLine == 0) {
        problem(1, {}, u"the file is empty; it must begin with the header %1"_s.arg(RateFileHeader));
        return import;
    }

    // Two rows of one pair and carrier for the same day: the lookup could not tell them.
    std::map<std::tuple<QString, QString, QString>, std::vector<const ImportedRate*>> series;
    for (const ImportedRate& r : import.rows)
        series[{r.from, r.to, r.carrier}].push_back(&r);
    for (auto& [key, rows] : series) {
        std::sort(rows.begin(), rows.end(), [](const ImportedRate* a, const ImportedRate* b) {
            return std::tie(a->validFrom, a->line) < std::tie(b->validFrom, b->line);
        });
        const ImportedRate* reaching = nullptr; // the row that reaches furthest so far
        for (const ImportedRate* r : rows) {
            if (reaching && r->validFrom <= reaching->validTo) {
                const ImportedRate* later = r->line > reaching->line ? r : reaching;
                const ImportedRate* earlier = later == r ? reaching : r;
                problem(later->line, Columns[4],
                        u"%1/%2 %3 from %4 to %5 overlaps line %6 (%7 to %8)"_s
                            .arg(r->from, r->to, r->carrier, day(later->validFrom),
                                 day(later->validTo))
                            .arg(earlier->line)
                            .arg(day(earlier->validFrom), day(earlier->validTo)));
            }
            if (!reaching || r->validTo > reaching->validTo)
                reaching = r;
        }
    }
    std::sort(import.problems.begin(), import.problems.end(),
              [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
    return import;
}

void checkAgainstDatabase(RateImport& import, Connection& connection)
{
    Transaction t(connection, {u"read"_s, u"read_committed"_s, u"rec_version"_s, u"nowait"_s});
    auto codes = [&](const QString& sql) {
        QSet<QString> out;
        Statement s(connection, sql);
        s.open(t);
        while (s.next())
            out.insert(s.text(s.columns().front().name).trimmed().toUpper());
        s.close();
        return out;
    };
    const QSet<QString> currencies = codes(u"select CURRENCY_CODE from FARE_CURRENCY"_s);
    const QSet<QString> carriers = codes(u"select CARRIER_CODE from VALIDATING_CARRIER"_s);
    std::vector<ImportedRate> known;
    for (const ImportedRate& r : import.rows) {
        bool ok = true;
        for (const auto& [column, value, set] :
             {std::tuple{0, r.from, &currencies}, std::tuple{1, r.to, &currencies},
              std::tuple{2, r.carrier, &carriers}}) {
            if (!set->contains(value)) {
                import.problems.push_back(
                    {r.line, Columns[column],
                     column == 2 ? u"%1 is no validating carrier of the database"_s.arg(value)
                                 : u"%1 is no currency of the database"_s.arg(value)});
                ok = false;
            }
        }
        if (ok)
            known.push_back(r);
    }
    std::sort(import.problems.begin(), import.problems.end(),
              [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });

    // The stored rates of each pair and carrier of the file, once.
    Statement stored(connection,
                     u"select RATE_IDENTIFICATOR, RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO "
                     u"from FARE_CURRENCY_RATE where CURRENCY_FROM = :F and CURRENCY_TO = :T "
                     u"and CARRIER_CODE = :C"_s);
    std::map<std::tuple<QString, QString, QString>, std::vector<StoredOverlap>> byKey;
    for (const ImportedRate& r : known) {
        const auto key = std::tuple{r.from, r.to, r.carrier};
        auto [at, added] = byKey.try_emplace(key);
        if (added) {
            stored.setParam(u"F"_s, r.from);
            stored.setParam(u"T"_s, r.to);
            stored.setParam(u"C"_s, r.carrier);
            stored.open(t);
            while (stored.next()) {
                StoredOverlap s;
                s.storedId = qint64(stored.number(u"RATE_IDENTIFICATOR"_s));
                s.storedRate = stored.number(u"RATE_AMOUNT"_s);
                if (const auto* d = std::get_if<QDate>(&stored.value(u"RATE_VALID_FROM"_s)))
                    s.storedFrom = *d;
                if (const auto* d = std::get_if<QDate>(&stored.value(u"RATE_VALID_TO"_s)))
                    s.storedTo = *d;
                at->second.push_back(s);
            }
            stored.close();
        }
        for (const StoredOverlap& s : at->second) {
            const bool beforeIt = s.storedTo.isValid() && s.storedTo < r.validFrom;
            const bool afterIt = s.storedFrom.isValid() && s.storedFrom > r.validTo;
            if (!beforeIt && !afterIt) {
                StoredOverlap o = s;
                o.line = r.line;
                import.overlaps.push_back(o);
            }
        }
    }
    t.commit();
}

int writeRates(const RateImport& import, Connection& connection, bool replace)
{
    if (!import.problems.empty())
        throw DbError(u"The file has %1 problems; nothing was written."_s.arg(import.problems.size()));
    if (!import.overlaps.empty() && !replace)
        throw DbError(u"%1 rows overlap stored rates; nothing was written."_s.arg(
            import.overlaps.size()));
    Transaction t(connection, {u"write"_s, u"read_committed"_s, u"rec_version"_s, u"nowait"_s});
    QSet<qint64> replaced;
    Statement remove(connection, u"delete from FARE_CURRENCY_RATE where RATE_IDENTIFICATOR = :ID"_s);
    for (const StoredOverlap& o : import.overlaps) {
        if (replaced.contains(o.storedId))
            continue;
        remove.setParam(u"ID"_s, o.storedId);
        remove.execute(t);
        replaced.insert(o.storedId);
    }
    Statement insert(connection,
                     u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
                     u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values (:F, :T, :C, :R, :VF, "
                     u":VT)"_s);
    for (const ImportedRate& r : import.rows) {
        insert.setParam(u"F"_s, r.from);
        insert.setParam(u"T"_s, r.to);
        insert.setParam(u"C"_s, r.carrier);
        insert.setParam(u"R"_s, r.rate);
        insert.setParam(u"VF"_s, r.validFrom);
        insert.setParam(u"VT"_s, r.validTo);
        insert.execute(t);
    }
    t.commit();
    return int(replaced.size());
}

QString problemText(const QString& file, const ImportProblem& problem)
{
    return problem.column.isEmpty()
               ? u"%1, line %2: %3"_s.arg(file).arg(problem.line).arg(problem.text)
               : u"%1, line %2, column %3: %4"_s.arg(file).arg(problem.line).arg(problem.column,
                                                                                 problem.text);
}

QStringList overlapTexts(const QString& file, const RateImport& import)
{
    QStringList out;
    for (const StoredOverlap& o : import.overlaps) {
        out << u"%1, line %2: overlaps the stored rate %3 valid from %4 to %5"_s.arg(file)
                   .arg(o.line)
                   .arg(base::numbers::formatMask(o.storedRate, u"0.0000"),
                        o.storedFrom.isValid() ? day(o.storedFrom) : u"(no day)"_s,
                        o.storedTo.isValid() ? day(o.storedTo) : u"(no day)"_s);
    }
    return out;
}

QString rateCount(std::size_t n)
{
    return n == 1 ? u"1 rate"_s : u"%1 rates"_s.arg(n);
}

QString rateListing(const RateImport& import, std::size_t shown)
{
    QString out = rateCount(import.rows.size()) + u" to write:"_s;
    shown = std::min(shown, import.rows.size());
    for (std::size_t i = 0; i < shown; ++i) {
        const ImportedRate& r = import.rows[i];
        out += u"\n  %1 %2 %3 %4 %5 %6"_s.arg(r.from, r.to, r.carrier,
                                               base::numbers::formatMask(r.rate, u"0.0000"),
                                               day(r.validFrom), day(r.validTo));
    }
    if (import.rows.size() > shown)
        out += u"\n  ... and %1 more"_s.arg(import.rows.size() - shown);
    return out;
}

} // namespace refdata
