// Airline rate tables imported from a CSV file: every row read and checked (against the
// file's other rows and the reference data) before anything is written, then all rows
// written in one transaction or none.
#pragma once

#include "refdata/firebird.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <vector>

namespace refdata {

// The file's header, its columns in this order ("," or ";" between them).
inline constexpr QStringView RateFileHeader = u"FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO";

struct ImportedRate {
    int line = 0; // in the file, from 1
    QString from;
    QString to;
    QString carrier;
    double rate = 0;
    QDate validFrom;
    QDate validTo;
};

// What keeps the file from being written, at its line and column (empty: the whole row).
struct ImportProblem {
    int line = 0;
    QString column;
    QString text;
};

// A row whose period overlaps a stored rate of the same pair and carrier.
struct StoredOverlap {
    int line = 0;
    qint64 storedId = 0;
    double storedRate = 0;
    QDate storedFrom; // invalid: null in the table
    QDate storedTo;
};

struct RateImport {
    std::vector<ImportedRate> rows;
    std::vector<ImportProblem> problems;
    std::vector<StoredOverlap> overlaps;
};

// Reads the file's bytes (UTF-8, a byte order mark allowed): the header, then one rate a
// line. Amounts take "." or "," as the decimal point (a field holding "," between quotes
// or in a file separated by ";"), dates "DD.MM.YYYY" or "YYYY-MM-DD". Checks each row
// (a rate above 0, two different currencies, a first day not after the last) and that no
// two rows of one pair and carrier share a day.
RateImport readRateFile(const QByteArray& content);

// The checks that need the database: the currencies and the carrier known, and the stored
// rates of the same pair and carrier whose periods overlap a row's (a day missing in a
// stored rate counts as open-ended).
void checkAgainstDatabase(RateImport& import, Connection& connection);

// Writes every row in one transaction of its own, replacing the overlapped stored rates
// when replace is set; refuses when the import has problems, or overlaps without
// replace. The number of stored rates replaced.
int writeRates(const RateImport& import, Connection& connection, bool replace);

// "FILE, line N, column C: text".
QString problemText(const QString& file, const ImportProblem& problem);
// "FILE, line N: overlaps the stored rate R valid from D to D", one per overlap.
QStringList overlapTexts(const QString& file, const RateImport& import);
// "1 rate", "2 rates".
QString rateCount(std::size_t n);

// "N rates to write:" and the first rows, one a line ("  USD RUB SU 92.5000 01.01.2027
// 31.01.2027"), then how many more.
QString rateListing(const RateImport& import, std::size_t shown = 5);

} // namespace refdata
