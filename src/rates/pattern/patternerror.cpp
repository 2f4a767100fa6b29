#include "rates/pattern/patternerror.h"

namespace pattern {

PatternError::PatternError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{}

PatternSyntaxError::PatternSyntaxError(const QString& reason, qsizetype position)
    : PatternError(QStringLiteral("Invalid pattern at character %1: %2").arg(position).arg(reason)),
      m_reason(reason), m_position(position)
{}

} // namespace pattern
