// Inside the Firebird layer: the client library, loaded once, and the status through
// which every call of it turns a failure into a DbError. Not for use outside refdata.
#pragma once

#include "refdata/dberror.h"

#include <firebird/Interface.h>

namespace refdata {

class Connection;

namespace fbclient {

// The client library, loaded once per process and kept until it ends.
struct Client {
    Firebird::IMaster* master = nullptr;
    Firebird::IUtil* util = nullptr;
    Firebird::IProvider* dispatcher = nullptr;
    ISC_LONG (*sqlcode)(const ISC_STATUS*) = nullptr;
};

// The loaded client library; loads it on first use and raises when it cannot.
Client& client();

// A status of the client library that turns errors into DbError.
class Status {
public:
    Status() : m_status(client().master->getStatus()), m_wrapper(m_status) {}
    // A status for calls on the connection's attachment: they are watched, from here to
    // the end of the status, by the connection's time limit.
    explicit Status(Connection& connection);
    ~Status();
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::CheckStatusWrapper* operator->() { return &m_wrapper; }
    Firebird::CheckStatusWrapper* get() { return &m_wrapper; }
    bool failed() const { return (m_wrapper.getState() & Firebird::IStatus::STATE_ERRORS) != 0; }

    // The error the status holds; the status is cleared.
    DbError error();
    void check()
    {
        if (failed())
            throw error();
    }
    // As check(), for a call on an attachment: a lost connection is dropped first, and a
    // call the time limit cut off fails with the connection's time-out message.
    void check(Connection& connection);
    // Raises the time-out error when the watchdog cut the connection's call off.
    void checkCutOff(Connection& connection);

private:
    Firebird::IStatus* m_status;
    Firebird::CheckStatusWrapper m_wrapper;
    Connection* m_watched = nullptr;
};

} // namespace fbclient
} // namespace refdata
