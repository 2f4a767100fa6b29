#include "refdata/dberror.h"

#include <QDir>
#include <QRegularExpression>

#include <ibase.h>
#include <iberror.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace refdata {
RefDataError::RefDataError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

DbError::DbError(const QString& message, int sqlCode, std::vector<long> gdsCodes)
    : RefDataError(message), m_sqlCode(sqlCode), m_gdsCodes(std::move(gdsCodes))
{
}

bool DbError::hasGdsCode(long code) const
{
    return std::find(m_gdsCodes.begin(), m_gdsCodes.end(), code) != m_gdsCodes.end();
}

bool DbError::isLockConflict() const
{
    for (ISC_STATUS code : {isc_deadlock, isc_lock_conflict, isc_update_conflict, isc_lock_timeout,
                      isc_concurrent_transaction}) {
        if (hasGdsCode(code))
            return true;
    }
    return false;
}

bool DbError::isConnectionLost() const
{
    for (ISC_STATUS code : {isc_shutdown, isc_conn_lost, isc_network_error, isc_net_read_err,
                      isc_net_write_err, isc_att_shutdown}) {
        if (hasGdsCode(code))
            return true;
    }
    return false;
}

QString withMissingAgentRights(const QString& serverText)
{
    static const QRegularExpression refusal(
        uR"re(no permission for (SELECT|INSERT|UPDATE|DELETE|USAGE) access to )re"
        uR"re((TABLE|GENERATOR|SEQUENCE) "?([A-Z0-9_$]+)"?)re"_s);
    static const QStringList programObjects = {
        QStringLiteral("FARE_CURRENCY"),      QStringLiteral("FARE_CURRENCY_RATE"),
        QStringLiteral("VALIDATING_CARRIER"), QStringLiteral("APPLIED_TAXES"),
        QStringLiteral("GEN_RATE_IDENTIFICATOR"), QStringLiteral("GEN_TAXEID")};
    const QRegularExpressionMatch m = refusal.match(serverText);
    if (!m.hasMatch() || !programObjects.contains(m.captured(3)))
        return serverText;
    return QStringLiteral("%1\nThe database user lacks the rights of the agents' role %2 (%3 on "
                          "%4 %5). Ask the database administrator to grant the role %2 to "
                          "this user, and set ROLE=%2 in the settings file.")
        .arg(serverText, AgentRole.toString(), m.captured(1), m.captured(2), m.captured(3));
}

bool DbError::isOpenedElsewhere() const { return hasGdsCode(isc_already_opened); }

QString missingDatabaseMessage(const QString& path)
{
    return u"There is no database at %1. Make it with \"sprrate-cli init-db\" (add --sample "
           u"for the sample reference data), or set DATABASE in the settings file to the "
           u"database you use."_s.arg(QDir::toNativeSeparators(path));
}

} // namespace refdata
