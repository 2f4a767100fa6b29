// How a conversion run reports what ended it.
#pragma once

#include "base/errortext.h"

#include <QString>

#include <exception>
#include <stdexcept>

namespace pricing {

// Ends a run with a message. A verbatim message is shown as it stands (one of the
// system's check messages); any other is the reason within the run's failure message.
class RunFailure : public std::runtime_error {
public:
    RunFailure(const QString& message, bool verbatim)
        : std::runtime_error(message.toStdString()), m_message(message), m_verbatim(verbatim)
    {
    }
    const QString& message() const { return m_message; }
    bool verbatim() const { return m_verbatim; }

private:
    QString m_message;
    bool m_verbatim;
};

// What failed, in the user's terms: the error's text after the subsystem it came from
// ("the reference database failed: ...").
QString failureReason(const std::exception& e);

// A rounding rule of the destination currency `to` that could not be evaluated.
QString fareRuleFailure(const QString& rule, const QString& to, const std::exception& e);
QString taxRuleFailure(const QString& rule, const QString& to, int number, const QString& code,
                       const std::exception& e);

} // namespace pricing
