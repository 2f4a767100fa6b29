// Prepared statements of the Firebird layer: named parameters written into the input
// message, rows read out of the output message, typed access by column name.
#include "refdata/firebird.h"

#include "refdata/firebirdclient.h"
#include "refdata/sqlparams.h"

#include "base/numbers.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace refdata {

using fbclient::client;
using fbclient::Status;

namespace {

constexpr unsigned charsetWin1251 = 52;
constexpr unsigned charsetUnicodeFss = 3;
constexpr unsigned charsetUtf8 = 4;
constexpr unsigned charsetOctets = 1;
// ISC_DATE counts days from 17 November 1858, Julian day 2400001.
constexpr qint64 iscDateJulianDay = 2400001;

unsigned bytesPerChar(unsigned charset)
{
    switch (charset) {
    case charsetUtf8:
        return 4;
    case charsetUnicodeFss:
        return 3;
    default:
        return 1;
    }
}

QString decodeText(const char* data, unsigned length, unsigned charset)
{
    const QByteArray bytes(data, qsizetype(length));
    if (charset == charsetUtf8 || charset == charsetUnicodeFss)
        return QString::fromUtf8(bytes);
    if (charset == charsetOctets)
        return QString::fromLatin1(bytes);
    return fromWin1251(bytes);
}

ColumnKind kindOf(unsigned type, int scale, int subType)
{
    switch (type) {
    case SQL_TEXT:
    case SQL_VARYING:
        return ColumnKind::Text;
    case SQL_SHORT:
        return scale < 0 ? ColumnKind::Scaled : ColumnKind::SmallInt;
    case SQL_LONG:
        return scale < 0 ? ColumnKind::Scaled : ColumnKind::Integer;
    case SQL_INT64:
        return scale < 0 ? ColumnKind::Scaled : ColumnKind::BigInt;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return ColumnKind::Float;
    case SQL_TYPE_DATE:
        return ColumnKind::Date;
    case SQL_TYPE_TIME:
        return ColumnKind::Time;
    case SQL_TIMESTAMP:
        return ColumnKind::DateTime;
    case SQL_BOOLEAN:
        return ColumnKind::Boolean;
    case SQL_BLOB:
        return subType == 1 ? ColumnKind::TextBlob : ColumnKind::Blob;
    case SQL_ARRAY:
        return ColumnKind::Array;
    default:
        return ColumnKind::Other;
    }
}

double scaled(qint64 v, int scale)
{
    double d = double(v);
    for (int i = 0; i < -scale; ++i)
        d /= 10;
    return d;
}

template <typename T>
T readAs(const unsigned char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void writeAs(unsigned char* p, T v)
{
    std::memcpy(p, &v, sizeof v);
}

QString readBlobText(Connection& connection, Firebird::IAttachment* att,
                     Firebird::ITransaction* tra, ISC_QUAD id)
{
    Status st(connection);
    Firebird::IBlob* blob = att->openBlob(st.get(), tra, &id, 0, nullptr);
    st.check(connection);
    QByteArray bytes;
    char chunk[8192];
    for (;;) {
        unsigned got = 0;
        const int r = blob->getSegment(st.get(), sizeof chunk, chunk, &got);
        if (r == Firebird::IStatus::RESULT_OK || r == Firebird::IStatus::RESULT_SEGMENT) {
            bytes.append(chunk, qsizetype(got));
            continue;
        }
        break;
    }
    const bool failed = st.failed();
    DbError error = failed ? st.error() : DbError(QString());
    blob->close(st.get());
    if (st.failed())
        blob->release();
    if (failed) {
        st.checkCutOff(connection);
        connection.noteError(error);
        throw error;
    }
    return fromWin1251(bytes);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Statement

Statement::Statement(Connection& connection, QString sql)
    : m_connection(connection), m_sql(std::move(sql))
{
    m_positionalNames = toPositional(m_sql).names;
}

Statement::~Statement() { release(); }

void Statement::setSql(QString sql)
{
    release();
    m_sql = std::move(sql);
    m_positionalNames = toPositional(m_sql).names;
    m_params.clear();
}

QStringList Statement::paramNames() const
{
    QStringList names;
    for (const QString& n : m_positionalNames) {
        if (!names.contains(n))
            names.append(n);
    }
    return names;
}

void Statement::setParam(const QString& name, const DbValue& value)
{
    const QString key = name.toUpper();
    if (!m_positionalNames.contains(key))
        throw DbError(u"Parameter \"%1\" not found."_s.arg(name));
    m_params.insert(key, value);
}

void Statement::clearParams() { m_params.clear(); }

int Statement::declaredLength(const QString& name, Transaction& transaction)
{
    prepare(transaction);
    const qsizetype position = m_positionalNames.indexOf(name.toUpper());
    if (position < 0)
        throw DbError(u"Parameter \"%1\" not found."_s.arg(name));
    Status st;
    Firebird::IMessageMetadata* declared = m_statement->getInputMetadata(st.get());
    st.check(m_connection);
    const unsigned idx = unsigned(position);
    const unsigned type = declared->getType(st.get(), idx) & ~1u;
    const unsigned length = declared->getLength(st.get(), idx);
    const unsigned charset = declared->getCharSet(st.get(), idx);
    declared->release();
    st.check(m_connection);
    if (type != SQL_TEXT && type != SQL_VARYING)
        return -1;
    return int(length / bytesPerChar(charset));
}

void Statement::release()
{
    const bool live = m_connection.connected() && m_generation == m_connection.m_generation;
    if (m_cursor) {
        if (live && m_cursorTransaction && m_cursorTransaction->active()) {
            Status st(m_connection);
            m_cursor->close(st.get());
            if (st.failed())
                m_cursor->release();
        } else {
            m_cursor->release();
        }
        m_cursor = nullptr;
    }
    if (m_outputMetadata) {
        m_outputMetadata->release();
        m_outputMetadata = nullptr;
    }
    if (m_statement) {
        if (live) {
            Status st(m_connection);
            m_statement->free(st.get());
            if (st.failed())
                m_statement->release();
        } else {
            m_statement->release();
        }
        m_statement = nullptr;
    }
    m_cursorTransaction = nullptr;
}

void Statement::prepare(Transaction& transaction)
{
    if (m_statement && m_generation == m_connection.m_generation)
        return;
    release();
    Firebird::IAttachment* att = m_connection.attachment();
    transaction.startIfNeeded();
    const QByteArray text = toWin1251(toPositional(m_sql).sql);
    Status st(m_connection);
    Firebird::IStatement* stmt =
        att->prepare(st.get(), transaction.m_transaction, unsigned(text.size()), text.constData(),
                     m_connection.dialect(), Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    st.check(m_connection);
    Firebird::IMessageMetadata* out = stmt->getOutputMetadata(st.get());
    if (st.failed()) {
        DbError e = st.error();
        stmt->release();
        m_connection.noteError(e);
        throw e;
    }
    m_statement = stmt;
    m_outputMetadata = out;
    m_generation = m_connection.m_generation;

    m_columns.clear();
    const unsigned count = out->getCount(st.get());
    m_outputBuffer.assign(out->getMessageLength(st.get()), 0);
    for (unsigned i = 0; i < count; ++i) {
        Column c;
        const char* alias = out->getAlias(st.get(), i);
        c.name = QString::fromUtf8(alias && *alias ? alias : out->getField(st.get(), i));
        const unsigned type = out->getType(st.get(), i) & ~1u;
        c.scale = out->getScale(st.get(), i);
        c.kind = kindOf(type, c.scale, out->getSubType(st.get(), i));
        c.fixedLength = type == SQL_TEXT;
        c.nullable = out->isNullable(st.get(), i) != 0;
        if (c.kind == ColumnKind::Text)
            c.length = int(out->getLength(st.get(), i) / bytesPerChar(out->getCharSet(st.get(), i)));
        m_columns.push_back(c);
    }
    st.check(m_connection);
    m_row.assign(m_columns.size(), DbValue());
}

std::vector<unsigned char> Statement::inputMessage(Firebird::IMessageMetadata** metadata)
{
    *metadata = nullptr;
    if (m_positionalNames.isEmpty())
        return {};
    Status st;
    Firebird::IMessageMetadata* declared = m_statement->getInputMetadata(st.get());
    st.check(m_connection);
    Firebird::IMetadataBuilder* builder = declared->getBuilder(st.get());
    declared->release();
    st.check(m_connection);

    // Each value goes as its own type; the server converts it to what the statement
    // needs, so a text longer than a column is compared, and only stored, as typed.
    std::vector<QByteArray> texts(std::size_t(m_positionalNames.size()));
    try {
        for (qsizetype i = 0; i < m_positionalNames.size(); ++i) {
            const unsigned idx = unsigned(i);
            const DbValue v = m_params.value(m_positionalNames[i]);
            if (const auto* s = std::get_if<QString>(&v)) {
                texts[std::size_t(i)] = toWin1251(*s);
                builder->setType(st.get(), idx, SQL_VARYING | 1);
                builder->setCharSet(st.get(), idx, charsetWin1251);
                builder->setLength(st.get(), idx,
                                   unsigned(std::max<qsizetype>(1, texts[std::size_t(i)].size())));
            } else if (std::holds_alternative<double>(v)) {
                builder->setType(st.get(), idx, SQL_DOUBLE | 1);
                builder->setScale(st.get(), idx, 0);
                builder->setLength(st.get(), idx, sizeof(double));
            } else if (std::holds_alternative<qint64>(v)) {
                builder->setType(st.get(), idx, SQL_INT64 | 1);
                builder->setScale(st.get(), idx, 0);
                builder->setLength(st.get(), idx, sizeof(ISC_INT64));
            } else if (std::holds_alternative<QDate>(v)) {
                builder->setType(st.get(), idx, SQL_TYPE_DATE | 1);
                builder->setLength(st.get(), idx, sizeof(ISC_DATE));
            } else if (std::holds_alternative<DbTime>(v)) {
                builder->setType(st.get(), idx, SQL_TYPE_TIME | 1);
                builder->setLength(st.get(), idx, sizeof(ISC_TIME));
            } else if (std::holds_alternative<DbTimestamp>(v)) {
                builder->setType(st.get(), idx, SQL_TIMESTAMP | 1);
                builder->setLength(st.get(), idx, sizeof(ISC_TIMESTAMP));
            } else if (std::holds_alternative<bool>(v)) {
                builder->setType(st.get(), idx, SQL_BOOLEAN | 1);
                builder->setLength(st.get(), idx, sizeof(FB_BOOLEAN));
            } else {
                builder->setType(st.get(), idx, SQL_TEXT | 1);
                builder->setCharSet(st.get(), idx, charsetWin1251);
                builder->setLength(st.get(), idx, 1);
            }
        }
        st.check(m_connection);
    } catch (...) {
        builder->release();
        throw;
    }
    Firebird::IMessageMetadata* meta = builder->getMetadata(st.get());
    builder->release();
    st.check(m_connection);

    std::vector<unsigned char> buffer(meta->getMessageLength(st.get()), 0);
    for (qsizetype i = 0; i < m_positionalNames.size(); ++i) {
        const unsigned idx = unsigned(i);
        const DbValue v = m_params.value(m_positionalNames[i]);
        unsigned char* p = buffer.data() + meta->getOffset(st.get(), idx);
        writeAs<short>(buffer.data() + meta->getNullOffset(st.get(), idx),
                       refdata::isNull(v) ? short(-1) : short(0));
        if (std::holds_alternative<QString>(v)) {
            const QByteArray& t = texts[std::size_t(i)];
            writeAs<unsigned short>(p, static_cast<unsigned short>(t.size()));
            std::memcpy(p + sizeof(unsigned short), t.constData(), std::size_t(t.size()));
        } else if (const auto* d = std::get_if<double>(&v)) {
            writeAs<double>(p, *d);
        } else if (const auto* n = std::get_if<qint64>(&v)) {
            writeAs<ISC_INT64>(p, *n);
        } else if (const auto* date = std::get_if<QDate>(&v)) {
            writeAs<ISC_DATE>(p, ISC_DATE(date->toJulianDay() - iscDateJulianDay));
        } else if (const auto* time = std::get_if<DbTime>(&v)) {
            writeAs<ISC_TIME>(p, ISC_TIME(time->ticks));
        } else if (const auto* dt = std::get_if<DbTimestamp>(&v)) {
            ISC_TIMESTAMP ts;
            ts.timestamp_date = ISC_DATE(dt->date.toJulianDay() - iscDateJulianDay);
            ts.timestamp_time = ISC_TIME(dt->time.ticks);
            writeAs<ISC_TIMESTAMP>(p, ts);
        } else if (const auto* b = std::get_if<bool>(&v)) {
            writeAs<FB_BOOLEAN>(p, *b ? FB_TRUE : FB_FALSE);
        }
    }
    if (st.failed()) {
        DbError e = st.error();
        meta->release();
        m_connection.noteError(e);
        throw e;
    }
    *metadata = meta;
    return buffer;
}

void Statement::open(Transaction& transaction)
{
    close();
    prepare(transaction);
    transaction.startIfNeeded();
    Firebird::IMessageMetadata* inMeta = nullptr;
    std::vector<unsigned char> in = inputMessage(&inMeta);
    Status st(m_connection);
    Firebird::IResultSet* cursor =
        m_statement->openCursor(st.get(), transaction.m_transaction, inMeta,
                                in.empty() ? nullptr : in.data(), m_outputMetadata, 0);
    if (inMeta)
        inMeta->release();
    st.check(m_connection);
    m_cursor = cursor;
    m_cursorTransaction = &transaction;
}

bool Statement::next()
{
    if (!m_cursor)
        return false;
    Status st(m_connection);
    const int r = m_cursor->fetchNext(st.get(), m_outputBuffer.data());
    st.check(m_connection);
    if (r != Firebird::IStatus::RESULT_OK)
        return false;
    readRow(*m_cursorTransaction);
    return true;
}

void Statement::close()
{
    if (!m_cursor)
        return;
    const bool live = m_connection.connected() && m_generation == m_connection.m_generation &&
                      m_cursorTransaction && m_cursorTransaction->active();
    Firebird::IResultSet* cursor = m_cursor;
    m_cursor = nullptr;
    m_cursorTransaction = nullptr;
    if (!live) {
        cursor->release();
        return;
    }
    Status st(m_connection);
    cursor->close(st.get());
    if (st.failed())
        cursor->release();
}

std::uint64_t Statement::execute(Transaction& transaction)
{
    close();
    prepare(transaction);
    transaction.startIfNeeded();
    Firebird::IMessageMetadata* inMeta = nullptr;
    std::vector<unsigned char> in = inputMessage(&inMeta);
    Status st(m_connection);
    const bool hasOutput = !m_columns.empty();
    m_statement->execute(st.get(), transaction.m_transaction, inMeta,
                         in.empty() ? nullptr : in.data(), hasOutput ? m_outputMetadata : nullptr,
                         hasOutput ? m_outputBuffer.data() : nullptr);
    if (inMeta)
        inMeta->release();
    st.check(m_connection);
    const std::uint64_t affected = m_statement->getAffectedRecords(st.get());
    st.check(m_connection);
    return affected;
}

void Statement::readRow(Transaction& transaction)
{
    Status st;
    Firebird::IMessageMetadata* out = m_outputMetadata;
    const unsigned char* buf = m_outputBuffer.data();
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const unsigned idx = unsigned(i);
        if (readAs<short>(buf + out->getNullOffset(st.get(), idx)) != 0) {
            m_row[i] = DbValue();
            continue;
        }
        const unsigned char* p = buf + out->getOffset(st.get(), idx);
        const unsigned type = out->getType(st.get(), idx) & ~1u;
        const int scale = m_columns[i].scale;
        switch (type) {
        case SQL_TEXT:
            m_row[i] = decodeText(reinterpret_cast<const char*>(p), out->getLength(st.get(), idx),
                                  out->getCharSet(st.get(), idx));
            break;
        case SQL_VARYING:
            m_row[i] = decodeText(reinterpret_cast<const char*>(p + sizeof(unsigned short)),
                                  readAs<unsigned short>(p), out->getCharSet(st.get(), idx));
            break;
        case SQL_SHORT:
            m_row[i] = scale < 0 ? DbValue(scaled(readAs<short>(p), scale))
                                 : DbValue(qint64(readAs<short>(p)));
            break;
        case SQL_LONG:
            m_row[i] = scale < 0 ? DbValue(scaled(readAs<ISC_LONG>(p), scale))
                                 : DbValue(qint64(readAs<ISC_LONG>(p)));
            break;
        case SQL_INT64:
            m_row[i] = scale < 0 ? DbValue(scaled(readAs<ISC_INT64>(p), scale))
                                 : DbValue(qint64(readAs<ISC_INT64>(p)));
            break;
        case SQL_FLOAT:
            m_row[i] = double(readAs<float>(p));
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            m_row[i] = readAs<double>(p);
            break;
        case SQL_TYPE_DATE:
            m_row[i] = QDate::fromJulianDay(readAs<ISC_DATE>(p) + iscDateJulianDay);
            break;
        case SQL_TYPE_TIME:
            m_row[i] = DbTime{readAs<ISC_TIME>(p)};
            break;
        case SQL_TIMESTAMP: {
            // A wall-clock value without a zone, kept as such, to the last tick.
            const auto ts = readAs<ISC_TIMESTAMP>(p);
            m_row[i] = DbTimestamp{QDate::fromJulianDay(ts.timestamp_date + iscDateJulianDay),
                                   DbTime{ts.timestamp_time}};
            break;
        }
        case SQL_BOOLEAN:
            m_row[i] = readAs<FB_BOOLEAN>(p) != FB_FALSE;
            break;
        case SQL_BLOB:
            if (m_columns[i].kind == ColumnKind::TextBlob) {
                m_row[i] = readBlobText(m_connection, m_connection.attachment(),
                                        transaction.m_transaction, readAs<ISC_QUAD>(p));
            } else {
                m_row[i] = DbValue();
            }
            break;
        default:
            m_row[i] = DbValue();
            break;
        }
    }
    st.check(m_connection);
}

int Statement::columnIndex(const QString& name) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const DbValue& Statement::value(const QString& column) const
{
    const int i = columnIndex(column);
    if (i < 0)
        throw DbError(u"Field \"%1\" not found."_s.arg(column));
    return m_row[std::size_t(i)];
}

QString textOf(const DbValue& v)
{
    if (const auto* s = std::get_if<QString>(&v))
        return *s;
    if (const auto* d = std::get_if<double>(&v))
        return base::numbers::formatGeneral(*d);
    if (const auto* n = std::get_if<qint64>(&v))
        return QString::number(*n);
    if (const auto* date = std::get_if<QDate>(&v))
        return date->toString(Qt::ISODate);
    if (const auto* time = std::get_if<DbTime>(&v))
        return time->toString();
    if (const auto* dt = std::get_if<DbTimestamp>(&v))
        return dt->toString();
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? u"true"_s : u"false"_s;
    return {};
}

QString DbTime::toString() const
{
    const quint32 seconds = ticks / TicksPerSecond;
    return u"%1:%2:%3.%4"_s.arg(seconds / 3600, 2, 10, QChar(u'0'))
        .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
        .arg(seconds % 60, 2, 10, QChar(u'0'))
        .arg(ticks % TicksPerSecond, 4, 10, QChar(u'0'));
}

std::optional<DbTime> DbTime::fromString(QStringView text)
{
    static const QRegularExpression form(
        u"^(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.](\\d{1,4}))?)?$"_s);
    const QRegularExpressionMatch m = form.match(text.toString());
    if (!m.hasMatch())
        return std::nullopt;
    const quint32 hours = m.capturedView(1).toUInt();
    const quint32 minutes = m.capturedView(2).toUInt();
    const quint32 seconds = m.capturedView(3).toUInt(); // 0 when absent
    if (hours > 23 || minutes > 59 || seconds > 59)
        return std::nullopt;
    // The decimals as written: ".5" is half a second, ".0001" one tick.
    const QString decimals = m.captured(4).leftJustified(4, u'0');
    return DbTime{((hours * 60 + minutes) * 60 + seconds) * TicksPerSecond + decimals.toUInt()};
}

QString DbTimestamp::toString() const
{
    return date.toString(Qt::ISODate) + u' ' + time.toString();
}

std::optional<DbTimestamp> DbTimestamp::fromString(QStringView text)
{
    const QDate day = QDate::fromString(text.left(10), Qt::ISODate);
    if (!day.isValid())
        return std::nullopt;
    if (text.size() == 10)
        return DbTimestamp{day, DbTime{}};
    if (text[10] != u' ' && text[10] != u'T')
        return std::nullopt;
    const std::optional<DbTime> time = DbTime::fromString(text.mid(11));
    if (!time)
        return std::nullopt;
    return DbTimestamp{day, *time};
}

QString Statement::text(const QString& column) const { return textOf(value(column)); }

double Statement::number(const QString& column) const
{
    const DbValue& v = value(column);
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* n = std::get_if<qint64>(&v))
        return double(*n);
    if (refdata::isNull(v))
        return 0;
    throw DbError(u"Field \"%1\" is not a number."_s.arg(column));
}

} // namespace refdata
