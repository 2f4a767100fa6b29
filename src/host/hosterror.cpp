#include "host/hosterror.h"

namespace host {

HostError::HostError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{}

} // namespace host
