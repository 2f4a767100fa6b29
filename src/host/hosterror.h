// Errors of the host link: the terminal's automation objects could not be created, or a
// command did not come back (the terminal went away, did not answer in time, or sent
// something that is no answer).
#pragma once

#include <QString>

#include <stdexcept>

namespace host {

// Base of every error the host link raises. what() is UTF-8.
class HostError : public std::runtime_error {
public:
    explicit HostError(const QString& message);
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The terminal took the request but gave no answer within the link's time limit.
class HostTimeout : public HostError {
public:
    using HostError::HostError;
};

} // namespace host
