// The reference database as the main window holds it: the connection, the one shared
// transaction, and the two fixed lookup queries (rates, tax currency).
#pragma once

#include "refdata/firebird.h"

#include <optional>

namespace refdata {

// One row of the rate query.
struct RateRow {
    QString currencyFrom;
    QString currencyTo;
    double rateAmount = 0;
    QString carrierCode;
    QDate validFrom;
    QDate validTo;
    QString fareRule; // the target currency's rounding formulas
    QString taxRule;
};

class ReferenceDatabase {
public:
    // The fixed statements, line by line as they are sent.
    static const QString RateSelectSql;
    static const QString RateInsertSql;
    static const QString TaxSelectSql;
    // The shared transaction's parameters.
    static const QStringList SharedTransactionParameters;

    ReferenceDatabase();

    // Location, credentials and the SQL role (empty: none); nothing is opened here.
    void setLocation(const QString& databaseName, const QString& userName,
                     const QString& password, const QString& role = {});

    void connectIfNeeded();
    bool connected() const { return IBDatabase.connected(); }

    // The rates of a currency pair and carrier valid today, smallest first, with the
    // target currency's rounding rules. The statement upper-cases its parameters.
    std::vector<RateRow> findRates(const QString& from, const QString& to,
                                   const QString& carrier);
    // Stores a rate valid today only, and commits (retaining the transaction).
    void insertRate(const QString& carrier, const QString& from, const QString& to,
                    double rateAmount);
    // The CURRENCY_CODE of the first tax row for the code and carrier (the carrier's own
    // row before the one for every carrier): empty when that column is empty or null,
    // nullopt when there is no row at all.
    std::optional<QString> findTaxCurrency(const QString& taxCode, const QString& carrier);

    Connection IBDatabase;
    Transaction IBTransaction;

private:
    Statement m_rateSelect;
    Statement m_rateInsert;
    Statement m_taxSelect;
};

} // namespace refdata
