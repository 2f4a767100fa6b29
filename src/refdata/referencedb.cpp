#include "refdata/referencedb.h"

using namespace Qt::Literals::StringLiterals;

namespace refdata {
namespace {
QString lines(std::initializer_list<const char16_t*> parts)
{
    QStringList list;
    for (const char16_t* p : parts)
        list.append(QString::fromUtf16(p));
    return list.join(u'\n');
}

// True when a text can equal a value of a text parameter of that declared length: what
// lies beyond it must be blanks, which comparisons ignore.
bool fitsDeclaredLength(const QString& text, int length)
{
    if (length < 0 || text.size() <= length)
        return true;
    for (qsizetype i = length; i < text.size(); ++i) {
        if (text[i] != u' ')
            return false;
    }
    return true;
}

// Closes a statement's cursor on every way out of a scope.
struct CursorCloser {
    Statement& statement;
    ~CursorCloser() { statement.close(); }
};
} // namespace

const QString ReferenceDatabase::RateSelectSql = lines({
    u"SELECT",
    u"FARE_CURRENCY_RATE.CURRENCY_FROM,",
    u"FARE_CURRENCY_RATE.CURRENCY_TO,",
    u"FARE_CURRENCY_RATE.RATE_AMOUNT,",
    u"FARE_CURRENCY_RATE.CARRIER_CODE,",
    u"FARE_CURRENCY_RATE.RATE_VALID_FROM,",
    u"FARE_CURRENCY_RATE.RATE_VALID_TO,",
    u"FARE_CURRENCY.CURRENCY_FARE_RULE,",
    u"FARE_CURRENCY.CURRENCY_TAX_RULE",
    u"FROM FARE_CURRENCY, ",
    u"FARE_CURRENCY_RATE",
    u"where",
    u"(FARE_CURRENCY_RATE.CURRENCY_TO=FARE_CURRENCY.CURRENCY_CODE) AND",
    u"(FARE_CURRENCY_RATE.CURRENCY_FROM = UPPER(:L_FROM)) AND",
    u"(FARE_CURRENCY_RATE.CURRENCY_TO = UPPER(:L_TO)) AND",
    u"(FARE_CURRENCY_RATE.CARRIER_CODE = UPPER(:CARRIER)) AND",
    u"(RATE_VALID_FROM<='NOW') AND",
    u"(RATE_VALID_TO>='NOW')",
    u"ORDER BY RATE_AMOUNT",
});

const QString ReferenceDatabase::RateInsertSql = lines({
    u"INSERT INTO FARE_CURRENCY_RATE(",
    u"    CURRENCY_FROM,",
    u"    CURRENCY_TO,",
    u"    RATE_AMOUNT,",
    u"    CARRIER_CODE,",
    u"    RATE_VALID_FROM,",
    u"    RATE_VALID_TO",
    u")",
    u"VALUES(",
    u"    :CURRENCY_FROM,",
    u"    :CURRENCY_TO,",
    u"    :RATE_AMOUNT,",
    u"    :CARRIER_CODE,",
    u"    'NOW',",
    u"    'NOW'",
    u")",
});

const QString ReferenceDatabase::TaxSelectSql = lines({
    u"SELECT ",
    u"TAX_CODE, ",
    u"TAX_NAME, ",
    u"CURRENCY_CODE, ",
    u"CARRIER_CODE, ",
    u"COUNTRY_CODE",
    u"FROM APPLIED_TAXES",
    u"WHERE ",
    u"TAX_CODE = UPPER(:PARAM_TAX_CODE) AND",
    u"(",
    u"(CARRIER_CODE = UPPER(:PARAM_CARRIER_CODE)) OR",
    u"(CARRIER_CODE is NULL) OR",
    u"(CARRIER_CODE = '')",
    u")",
    u"ORDER BY CARRIER_CODE DESC, TAX_CODE ASC",
});

const QStringList ReferenceDatabase::SharedTransactionParameters = {
    u"write"_s, u"nowait"_s, u"rec_version"_s, u"read_committed"_s};

ReferenceDatabase::ReferenceDatabase()
    : IBTransaction(IBDatabase, SharedTransactionParameters),
      m_rateSelect(IBDatabase, RateSelectSql),
      m_rateInsert(IBDatabase, RateInsertSql),
      m_taxSelect(IBDatabase, TaxSelectSql)
{
}

void ReferenceDatabase::setLocation(const QString& databaseName, const QString& userName,
                                    const QString& password, const QString& role)
{
    if (IBDatabase.connected())
        IBDatabase.disconnect();
    IBDatabase.setDatabaseName(databaseName);
    IBDatabase.setUserName(userName);
    IBDatabase.setPassword(password);
    IBDatabase.setRole(role);
}

void ReferenceDatabase::connectIfNeeded()
{
    IBDatabase.connectIfNeeded();
}

std::vector<RateRow> ReferenceDatabase::findRates(const QString& from, const QString& to,
                                                  const QString& carrier)
{
    connectIfNeeded();
    IBTransaction.startIfNeeded();
    m_rateSelect.close();
    // A code longer than its column equals no row; the server would refuse to
    // convert it instead of comparing it.
    const std::pair<QString, QString> params[] = {
        {u"L_FROM"_s, from}, {u"L_TO"_s, to}, {u"CARRIER"_s, carrier}};
    for (const auto& [name, value] : params) {
        if (!fitsDeclaredLength(value, m_rateSelect.declaredLength(name, IBTransaction)))
            return std::vector<RateRow>{};
        m_rateSelect.setParam(name, value);
    }
    m_rateSelect.open(IBTransaction);
    CursorCloser closer{m_rateSelect};
    std::vector<RateRow> rows;
    while (m_rateSelect.next()) {
        RateRow r;
        r.currencyFrom = m_rateSelect.text(u"CURRENCY_FROM"_s);
        r.currencyTo = m_rateSelect.text(u"CURRENCY_TO"_s);
        r.rateAmount = m_rateSelect.number(u"RATE_AMOUNT"_s);
        r.carrierCode = m_rateSelect.text(u"CARRIER_CODE"_s);
        const DbValue& from = m_rateSelect.value(u"RATE_VALID_FROM"_s);
        const DbValue& to = m_rateSelect.value(u"RATE_VALID_TO"_s);
        if (const auto* d = std::get_if<QDate>(&from))
            r.validFrom = *d;
        if (const auto* d = std::get_if<QDate>(&to))
            r.validTo = *d;
        r.fareRule = m_rateSelect.text(u"CURRENCY_FARE_RULE"_s);
        r.taxRule = m_rateSelect.text(u"CURRENCY_TAX_RULE"_s);
        rows.push_back(std::move(r));
    }
    return rows;
}

void ReferenceDatabase::insertRate(const QString& carrier, const QString& from, const QString& to,
                                   double rateAmount)
{
    connectIfNeeded();
    IBTransaction.startIfNeeded();
    m_rateInsert.setParam(u"CARRIER_CODE"_s, carrier);
    m_rateInsert.setParam(u"CURRENCY_FROM"_s, from);
    m_rateInsert.setParam(u"CURRENCY_TO"_s, to);
    m_rateInsert.setParam(u"RATE_AMOUNT"_s, rateAmount);
    m_rateInsert.execute(IBTransaction);
    IBTransaction.commitRetaining();
}

std::optional<QString> ReferenceDatabase::findTaxCurrency(const QString& taxCode,
                                                          const QString& carrier)
{
    connectIfNeeded();
    IBTransaction.startIfNeeded();
    m_taxSelect.close();
    if (!fitsDeclaredLength(taxCode,
                            m_taxSelect.declaredLength(u"PARAM_TAX_CODE"_s, IBTransaction)))
        return std::nullopt;
    const bool carrierFits = fitsDeclaredLength(
        carrier, m_taxSelect.declaredLength(u"PARAM_CARRIER_CODE"_s, IBTransaction));
    m_taxSelect.setParam(u"PARAM_TAX_CODE"_s, taxCode);
    // A carrier code that fits no row still finds the rows for every carrier.
    m_taxSelect.setParam(u"PARAM_CARRIER_CODE"_s, carrierFits ? carrier : QString());
    m_taxSelect.open(IBTransaction);
    CursorCloser closer{m_taxSelect};
    if (!m_taxSelect.next())
        return std::nullopt;
    return m_taxSelect.text(u"CURRENCY_CODE"_s);
}

} // namespace refdata
