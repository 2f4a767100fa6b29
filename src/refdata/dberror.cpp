#include "refdata/dberror.h"

#include <ibase.h>
#include <iberror.h>

#include <algorithm>

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

bool DbError::isOpenedElsewhere() const { return hasGdsCode(isc_already_opened); }

} // namespace refdata
