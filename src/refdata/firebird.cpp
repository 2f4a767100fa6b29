// The Firebird layer's client library, connections and transactions (statements:
// firebirdstatement.cpp).
#include "refdata/firebird.h"

#include "refdata/firebirdclient.h"

#include "base/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace refdata {
namespace {

QString& libraryName()
{
#ifdef Q_OS_WIN
    static QString name = u"fbclient.dll"_s;
#else
    static QString name = u"libfbclient.so.2"_s;
#endif
    return name;
}

template <typename F>
F resolve(QLibrary& library, const char* symbol)
{
    const QFunctionPointer p = library.resolve(symbol);
    if (!p)
        throw DbError(library.errorString());
    return reinterpret_cast<F>(p);
}

// The embedded engine keeps its lock files in one folder, /tmp/firebird unless
// FIREBIRD_LOCK names another; the first user whose program makes that folder owns it,
// and every other user of the computer is then refused with "operating system directive
// access failed". Each user's engine gets a folder of the user's own instead, in the
// user's runtime folder. Two programs still cannot both open one file: the engine locks
// the database file itself, whatever its lock folder.
void usePrivateLockFolder()
{
    if (qEnvironmentVariableIsSet("FIREBIRD_LOCK"))
        return;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo(runtime).isDir())
        return;
    const QString folder = runtime + u"/firebird"_s;
    if (QDir().mkpath(folder))
        qputenv("FIREBIRD_LOCK", QFile::encodeName(folder));
}

} // namespace

namespace fbclient {

Client& client()
{
    static Client loaded;
    if (loaded.master)
        return loaded;
    usePrivateLockFolder();
    // All symbols at once and visible to what the library loads itself (its providers);
    // a loaded library stays until the process ends, after this object has gone.
    QLibrary library(libraryName());
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint | QLibrary::ExportExternalSymbolsHint |
                         QLibrary::PreventUnloadHint);
    if (!library.load())
        throw DbError(u"Can't load library %1 "_s.arg(libraryName()));
    Client c;
    const auto getMaster = resolve<Firebird::IMaster* (*)()>(library, "fb_get_master_interface");
    c.sqlcode = resolve<ISC_LONG (*)(const ISC_STATUS*)>(library, "isc_sqlcode");
    c.master = getMaster();
    c.util = c.master->getUtilInterface();
    c.dispatcher = c.master->getDispatcher();
    loaded = c;
    return loaded;
}

DbError Status::error()
{
    char text[2048] = {};
    client().util->formatStatus(text, sizeof text - 1, &m_wrapper);
    const ISC_STATUS* vector = m_wrapper.getErrors();
    std::vector<long> codes;
    for (const ISC_STATUS* p = vector; p && *p != isc_arg_end;) {
        const ISC_STATUS type = *p++;
        if (type == isc_arg_gds)
            codes.push_back(long(*p++));
        else if (type == isc_arg_cstring)
            p += 2;
        else
            p += 1;
    }
    const int sqlCode = vector ? int(client().sqlcode(vector)) : 0;
    m_wrapper.init();
    QString message = fromWin1251(QByteArray(text)).trimmed();
    if (std::find(codes.begin(), codes.end(), long(isc_no_priv)) != codes.end())
        message = withMissingAgentRights(message);
    return DbError(message, sqlCode, std::move(codes));
}

Status::Status(Connection& connection) : Status()
{
    m_watched = &connection;
    connection.beginCall();
}

Status::~Status()
{
    if (m_watched)
        m_watched->endCall();
    m_status->dispose();
}

void Status::checkCutOff(Connection& connection)
{
    if (!connection.cutOff())
        return;
    // Whatever the aborted call said (a lost connection, mostly), the cause is that the
    // server did not answer in time.
    m_wrapper.init();
    connection.abandonCall();
    throw DbTimeout(connection.timeoutMessage());
}

void Status::check(Connection& connection)
{
    checkCutOff(connection);
    if (!failed())
        return;
    DbError e = error();
    connection.noteError(e);
    throw e;
}

} // namespace fbclient

using fbclient::Client;
using fbclient::client;
using fbclient::Status;

QString clientLibraryName() { return libraryName(); }

void setClientLibraryName(const QString& name) { libraryName() = name; }

QByteArray toWin1251(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) {
        throw DbError(u"The text \"%1\" holds a character that the database's character set "
                      u"WIN1251 cannot store."_s.arg(text));
    }
    return bytes;
}

QString fromWin1251(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

// ---------------------------------------------------------------------------------------
// Watchdog

// Cuts off a call of the client library that waits longer than its limit. The client
// library gives no time limit for a call on an attachment whose server stopped or whose
// network vanished without a reset: the call waits for the server's answer for ever. The
// watchdog's thread then aborts the attachment (fb_cancel_abort), which closes its
// connection, and the waiting call returns with an error.
class Watchdog {
public:
    Watchdog() : m_thread([this] { run(); }) {}
    ~Watchdog()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void arm(Firebird::IAttachment* attachment, std::chrono::steady_clock::duration limit)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_attachment = attachment;
            m_deadline = std::chrono::steady_clock::now() + limit;
            m_fired = false;
        }
        m_wake.notify_one();
    }

    // Ends the watch. True when it fired; the attachment is no longer touched here once
    // this returns.
    bool disarm()
    {
        const std::lock_guard lock(m_mutex);
        m_attachment = nullptr;
        return std::exchange(m_fired, false);
    }

    bool fired() const
    {
        const std::lock_guard lock(m_mutex);
        return m_fired;
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (!m_attachment) {
                m_wake.wait(lock);
                continue;
            }
            if (m_wake.wait_until(lock, m_deadline) == std::cv_status::no_timeout)
                continue; // disarmed, armed anew or stopped
            if (!m_attachment || std::chrono::steady_clock::now() < m_deadline)
                continue;
            // Under the lock, so that the attachment cannot be released meanwhile.
            Status st;
            m_attachment->cancelOperation(st.get(), fb_cancel_abort);
            m_fired = true;
            m_attachment = nullptr;
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    Firebird::IAttachment* m_attachment = nullptr;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_fired = false;
    bool m_stop = false;
    std::thread m_thread; // last: it starts once the rest is there
};

// ---------------------------------------------------------------------------------------
// Connection

Connection::Connection() = default;

namespace {

// Firebird's own words ("Database already opened with engine instance, incompatible with
// current") do not tell an agent what to do.
QString openedElsewhereMessage(const QString& databaseName)
{
    return u"Another program has the database %1 open. A plain path opens the file with "
           u"Firebird's embedded engine, which lets one program at a time use it: close the "
           u"other program, or, for several agents, put the database on a Firebird server and "
           u"name it host:path in DATABASE (README, Reference database)."_s.arg(databaseName);
}

// The server's own text is kept: it names the host and the system's reason.
QString unreachableServerMessage(const QString& databaseName, const QString& serverText)
{
    return u"The database server of %1 cannot be reached (%2). Check that the Firebird "
           u"server runs on that machine and that the network reaches it, or correct "
           u"DATABASE in the settings file."_s.arg(databaseName, serverText.simplified());
}

} // namespace

QString Connection::timeoutMessage() const
{
    return u"The database does not answer: %1 gave no answer within %2 s. The connection to "
           u"it is closed, and the next action connects again. Check that the database "
           u"server runs and that the network reaches it."_s
        .arg(m_databaseName, QString::number(m_timeLimit.count()));
}

void Connection::beginCall()
{
    if (m_callDepth++ > 0 || !m_attachment || m_timeLimit.count() <= 0)
        return;
    if (!m_watchdog)
        m_watchdog = std::make_unique<Watchdog>();
    m_watchdog->arm(m_attachment, m_timeLimit);
}

bool Connection::cutOff() const { return m_watchdog && m_watchdog->fired(); }

void Connection::abandonCall()
{
    if (m_watchdog)
        m_watchdog->disarm();
    drop();
    m_reattach = true;
}

bool Connection::endCall()
{
    if (--m_callDepth > 0 || !m_watchdog)
        return false;
    if (!m_watchdog->disarm())
        return false;
    drop();
    m_reattach = true;
    return true;
}

Connection::~Connection()
{
    try {
        disconnect();
    } catch (const DbError&) {
        drop();
    }
}

Firebird::IAttachment* Connection::attachment()
{
    if (!m_attachment && m_reattach)
        connect();
    if (!m_attachment)
        throw DbError(u"Database not connected."_s);
    return m_attachment;
}

void Connection::noteError(const DbError& e)
{
    if (!e.isConnectionLost() || !m_attachment)
        return;
    drop();
    m_reattach = true;
}

void Connection::connect()
{
    if (m_databaseName.isEmpty())
        throw DbError(u"Database name is missing."_s);
    Client& c = client();
    if (m_attachment)
        disconnect();

    Status st;
    Firebird::IXpbBuilder* dpb =
        c.util->getXpbBuilder(st.get(), Firebird::IXpbBuilder::DPB, nullptr, 0);
    st.check();
    const QByteArray user = toWin1251(m_userName);
    const QByteArray password = toWin1251(m_password);
    dpb->insertString(st.get(), isc_dpb_user_name, user.constData());
    dpb->insertString(st.get(), isc_dpb_password, password.constData());
    dpb->insertString(st.get(), isc_dpb_lc_ctype, "WIN1251");
    const QByteArray role = toWin1251(m_role);
    if (!role.isEmpty())
        dpb->insertString(st.get(), isc_dpb_sql_role_name, role.constData());
    // Bounds the wait for a server that takes the network connection but does not
    // answer it (stopped, or its machine gone); Firebird's own default is 180 s.
    if (m_timeLimit.count() > 0)
        dpb->insertInt(st.get(), isc_dpb_connect_timeout, int(m_timeLimit.count()));
    if (st.failed()) {
        DbError e = st.error();
        dpb->dispose();
        throw e;
    }
    const QByteArray file = QFile::encodeName(m_databaseName);
    const auto started = std::chrono::steady_clock::now();
    Firebird::IAttachment* att = c.dispatcher->attachDatabase(
        st.get(), file.constData(), dpb->getBufferLength(st.get()), dpb->getBuffer(st.get()));
    dpb->dispose();
    // A refusal that came when the connect time-out ran out is the server not answering
    // ("connection rejected by remote interface" says nothing of the kind).
    if (st.failed() && m_timeLimit.count() > 0 &&
        std::chrono::steady_clock::now() - started >= m_timeLimit - std::chrono::milliseconds(200)) {
        st->init();
        throw DbTimeout(timeoutMessage());
    }
    if (st.failed()) {
        DbError e = st.error();
        if (e.isOpenedElsewhere())
            throw DbError(openedElsewhereMessage(m_databaseName), e.sqlCode(), e.gdsCodes());
        // Firebird's "I/O error during open" says neither where nor what to do.
        if (!base::isServerLocation(m_databaseName) && !QFileInfo::exists(m_databaseName))
            throw DbError(missingDatabaseMessage(m_databaseName), e.sqlCode(), e.gdsCodes());
        // Nor does "Unable to complete network request to host".
        if (base::isServerLocation(m_databaseName) && e.hasGdsCode(isc_network_error))
            throw DbError(unreachableServerMessage(m_databaseName, e.message()), e.sqlCode(),
                          e.gdsCodes());
        throw e;
    }

    const unsigned char items[] = {isc_info_db_sql_dialect, isc_info_end};
    unsigned char info[32] = {};
    att->getInfo(st.get(), sizeof items, items, sizeof info, info);
    unsigned dialect = 3;
    if (!st.failed() && info[0] == isc_info_db_sql_dialect) {
        const int length = std::min(info[1] | (info[2] << 8), 4);
        dialect = 0;
        for (int b = length - 1; b >= 0; --b)
            dialect = (dialect << 8) | info[3 + b];
    }
    st->init();
    m_dialect = std::min(dialect == 0 ? 3u : dialect, 3u);
    m_attachment = att;
    m_reattach = false;
    ++m_generation;
}

void Connection::disconnect()
{
    m_reattach = false;
    if (!m_attachment)
        return;
    for (Transaction* t : m_transactions)
        t->rollback();
    if (!m_attachment)
        return; // a rollback ran into the time limit: the attachment is dropped
    Status st(*this);
    m_attachment->detach(st.get());
    if (cutOff())
        return; // dropped when the status ends
    if (st.failed()) {
        const DbError e = st.error();
        if (m_watchdog)
            m_watchdog->disarm();
        m_attachment->release();
        m_attachment = nullptr;
        ++m_generation;
        if (!e.isConnectionLost())
            throw e;
        return;
    }
    m_attachment = nullptr;
    ++m_generation;
}

void Connection::drop()
{
    if (m_watchdog)
        m_watchdog->disarm(); // before the attachment it watches goes
    for (Transaction* t : m_transactions)
        t->forget();
    if (m_attachment)
        m_attachment->release();
    m_attachment = nullptr;
    ++m_generation;
}

// ---------------------------------------------------------------------------------------
// Transaction

Transaction::Transaction(Connection& connection, QStringList parameters)
    : m_connection(connection), m_parameters(std::move(parameters))
{
    m_connection.m_transactions.push_back(this);
}

Transaction::~Transaction()
{
    rollback();
    auto& list = m_connection.m_transactions;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Transaction::start()
{
    if (m_transaction)
        return;
    static const std::pair<QStringView, unsigned char> names[] = {
        {u"write", isc_tpb_write},
        {u"read", isc_tpb_read},
        {u"nowait", isc_tpb_nowait},
        {u"wait", isc_tpb_wait},
        {u"rec_version", isc_tpb_rec_version},
        {u"no_rec_version", isc_tpb_no_rec_version},
        {u"read_committed", isc_tpb_read_committed},
        {u"concurrency", isc_tpb_concurrency},
        {u"consistency", isc_tpb_consistency},
    };
    std::vector<unsigned char> tpb{isc_tpb_version3};
    for (const QString& p : m_parameters) {
        const QString name = p.trimmed().toLower();
        const auto* known = std::find_if(std::begin(names), std::end(names),
                                         [&](const auto& n) { return n.first == name; });
        if (known == std::end(names))
            throw DbError(u"Unknown transaction parameter \"%1\"."_s.arg(p));
        tpb.push_back(known->second);
    }
    Firebird::IAttachment* att = m_connection.attachment();
    Status st(m_connection);
    Firebird::ITransaction* t = att->startTransaction(st.get(), unsigned(tpb.size()), tpb.data());
    st.check(m_connection);
    m_transaction = t;
}

void Transaction::commit()
{
    if (!m_transaction)
        return;
    Status st(m_connection);
    m_transaction->commit(st.get());
    st.check(m_connection);
    m_transaction = nullptr; // a successful commit releases the interface
}

void Transaction::commitRetaining()
{
    if (!m_transaction)
        return;
    Status st(m_connection);
    m_transaction->commitRetaining(st.get());
    st.check(m_connection);
}

void Transaction::rollback()
{
    if (!m_transaction)
        return;
    // A rollback that fails (the connection is gone) still ends the transaction here:
    // the server rolls it back when the attachment ends.
    Status st(m_connection);
    m_transaction->rollback(st.get());
    if (st.failed())
        m_transaction->release();
    m_transaction = nullptr;
}

void Transaction::forget()
{
    if (m_transaction)
        m_transaction->release();
    m_transaction = nullptr;
}

} // namespace refdata
