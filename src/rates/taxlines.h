// The tax entries of a stored pricing record, filed by tax number, with the currency in
// which each tax is levied as the reference data says.
#pragma once

#include <QString>

#include <optional>

#include <array>

namespace refdata {
class ReferenceDatabase;
}

namespace rates {

struct TaxLine {
    QString Number;        // the tax number as shown, up to 3 characters
    QString Indicator;     // 1 character
    QString Code;          // up to 4 characters
    QString ShownCurrency; // up to 3 characters
    QString AmountText;    // up to 10 characters
    double Amount = 0;
    bool Present = false;
    QString TaxCurrency;    // the tax's own currency (or ShownCurrency)
    QString OrigAmountText; // up to 10 characters; set by the update commands
    double OrigRate = 0;
};

// Entries 1 to 30, by tax number.
class TaxLines {
public:
    static constexpr int Size = 30;

    TaxLine& operator[](int number) { return m_lines.at(std::size_t(number - 1)); }
    const TaxLine& operator[](int number) const { return m_lines.at(std::size_t(number - 1)); }

    // Clears every field but OrigRate, as each conversion run starts.
    void clearForRun();

private:
    std::array<TaxLine, Size> m_lines{};
};

// The currency of a tax code for a carrier: the CURRENCY_CODE of the carrier's own row,
// else of the row for every carrier; "USD" when the table has no row for the code;
// empty when that column is empty or the lookup fails. A database that does not answer
// in time (refdata::DbTimeout) is raised to the caller.
QString GetTaxCurrency(refdata::ReferenceDatabase& db, const QString& taxCode,
                       const QString& carrier);

// The number of a tax entry as matched by the tax pattern ("TX001 ..." is 1, "TAX01 ..."
// is 1); nullopt when it is not a number.
std::optional<int> TaxLineNumber(const QString& matchText);

// Files one tax entry as matched by the tax pattern ("TX001 X EUR     12.50YQ" or
// "TAX01 ..."). A failure leaves the entry not present; a number outside 1 to 30
// changes no entry.
void ReadTaxLine(TaxLines& lines, refdata::ReferenceDatabase& db, const QString& matchText,
                 const QString& carrier);

} // namespace rates
