// Errors of the pattern matcher: a pattern it rejects, a search that ran past its bounds,
// and a call the matcher's state does not allow.
#pragma once

#include <QString>

#include <stdexcept>

namespace pattern {

// Base of every error the pattern matcher raises. what() is UTF-8.
class PatternError : public std::runtime_error {
public:
    explicit PatternError(const QString& message);
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The pattern text is not a valid pattern; position counts characters from 1.
class PatternSyntaxError : public PatternError {
public:
    PatternSyntaxError(const QString& reason, qsizetype position);
    const QString& reason() const { return m_reason; }
    qsizetype position() const { return m_position; }

private:
    QString m_reason;
    qsizetype m_position;
};

// A search gave up: it needed more backtracking steps or stack than a search may take.
class PatternLimitError : public PatternError {
public:
    using PatternError::PatternError;
};

// A call out of order: search again without a preceding successful search, or a group
// number outside 0 to 14.
class PatternUsageError : public PatternError {
public:
    using PatternError::PatternError;
};

} // namespace pattern
