// The table browser's current row: typed access to its fields, and appending, editing,
// posting and deleting it.
#include "refdata/tablebrowser.h"

#include "base/numbers.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace refdata {
namespace {

bool isTextKind(ColumnKind k)
{
    return k == ColumnKind::Text || k == ColumnKind::TextBlob;
}

bool isIntegerKind(ColumnKind k)
{
    return k == ColumnKind::SmallInt || k == ColumnKind::Integer || k == ColumnKind::BigInt;
}

bool isNumberKind(ColumnKind k)
{
    return isIntegerKind(k) || k == ColumnKind::Scaled || k == ColumnKind::Float;
}

} // namespace

[[noreturn]] void TableBrowser::failChanged(bool fromNext)
{
    // The list is shown afresh before the message; a failure to read it again leaves
    // the message as the error that counts.
    try {
        if (fromNext && !m_rows.empty())
            refreshFrom(m_rows[std::size_t(m_pos)], m_pos);
        else
            refresh();
    } catch (const RefDataError&) {
    }
    throw BrowserError(BrowserError::Kind::Changed, ChangedMessage);
}

void TableBrowser::runOnRow(Statement& s)
{
    std::uint64_t affected = 0;
    try {
        m_write.startIfNeeded();
        affected = s.execute(m_write);
    } catch (const DbError& e) {
        m_write.rollback();
        if (e.isLockConflict())
            throw BrowserError(BrowserError::Kind::Locked, LockedMessage);
        throw;
    } catch (...) {
        m_write.rollback();
        throw;
    }
    if (affected == 0) {
        m_write.rollback();
        failChanged(false);
    }
}

void TableBrowser::append()
{
    requireOpen();
    leaveEditing();
    m_buffer.assign(m_fields.size(), DbValue());
    m_old = m_buffer;
    m_modified = false;
    setState(State::Inserting);
    Q_EMIT currentChanged(m_pos);
}

void TableBrowser::edit()
{
    requireOpen();
    if (m_state == State::Editing || m_state == State::Inserting)
        return;
    if (m_rows.empty()) {
        append();
        return;
    }
    const Row current = m_rows[std::size_t(m_pos)];
    bindKey(*m_lock, current);
    runOnRow(*m_lock);
    std::optional<Row> row;
    try {
        row = reread(current, m_write);
    } catch (...) {
        m_write.rollback();
        throw;
    }
    if (!row) {
        m_write.rollback();
        failChanged(false);
    }
    m_rows[std::size_t(m_pos)] = *row;
    m_old = *row;
    m_buffer = *row;
    m_modified = false;
    setState(State::Editing);
    Q_EMIT currentChanged(m_pos);
}

void TableBrowser::post()
{
    requireOpen();
    if (m_state != State::Editing && m_state != State::Inserting)
        return;
    const bool inserting = m_state == State::Inserting;
    QSet<QString> nullOld;
    if (inserting) {
        QStringList names;
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            if (!refdata::isNull(m_buffer[i]))
                names.append(m_fields[i].name);
        }
        m_change->setSql(browsersql::insertSql(m_shape.table, names));
        bindRow(*m_change, names, m_buffer);
    } else {
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            if (refdata::isNull(m_old[i]))
                nullOld.insert(m_fields[i].name);
        }
        m_change->setSql(browsersql::updateSql(m_shape.table, m_shape.columns, nullOld));
        bindRow(*m_change, browsersql::writtenColumns(m_shape.columns), m_buffer);
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            const ColumnKind k = m_fields[i].kind;
            if (k == ColumnKind::Blob || k == ColumnKind::TextBlob ||
                nullOld.contains(m_fields[i].name))
                continue;
            m_change->setParam(u"OLD_"_s + m_fields[i].name, m_old[i]);
        }
    }

    std::uint64_t affected = 0;
    try {
        m_write.startIfNeeded();
        affected = m_change->execute(m_write);
    } catch (...) {
        // The row keeps its pending values for the caller to cancel.
        m_write.rollback();
        throw;
    }
    if (affected == 0) {
        cancel();
        failChanged(!inserting);
    }
    try {
        m_write.commit();
    } catch (...) {
        m_write.rollback();
        throw;
    }
    const Row stored = m_buffer;
    m_buffer.clear();
    m_old.clear();
    m_modified = false;
    setState(State::Browsing);
    if (const auto row = reread(stored, m_db.IBTransaction)) {
        fillAround(*row, std::max(m_pos, 0));
    } else {
        // A key the database assigned, or a row the filter no longer admits.
        next();
        refresh();
    }
}

void TableBrowser::cancel()
{
    m_write.rollback();
    if (m_state != State::Editing && m_state != State::Inserting)
        return;
    m_buffer.clear();
    m_old.clear();
    m_modified = false;
    setState(State::Browsing);
    Q_EMIT currentChanged(m_pos);
}

void TableBrowser::deleteRow()
{
    requireOpen();
    if (m_state != State::Browsing)
        cancel();
    if (m_rows.empty())
        return;
    const Row current = m_rows[std::size_t(m_pos)];
    QSet<QString> nullOld;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (refdata::isNull(current[i]))
            nullOld.insert(m_fields[i].name);
    }
    m_change->setSql(browsersql::deleteSql(m_shape.table, m_shape.columns, nullOld));
    m_change->clearParams();
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const ColumnKind k = m_fields[i].kind;
        if (k == ColumnKind::Blob || k == ColumnKind::TextBlob ||
            nullOld.contains(m_fields[i].name))
            continue;
        m_change->setParam(u"OLD_"_s + m_fields[i].name, current[i]);
    }
    runOnRow(*m_change);
    try {
        m_write.commit();
    } catch (...) {
        m_write.rollback();
        throw;
    }
    m_rows.erase(m_rows.begin() + m_pos);
    if (m_pos < int(m_rows.size())) {
        Q_EMIT windowChanged();
        Q_EMIT currentChanged(m_pos);
    } else if (!m_atEnd) {
        refreshFrom(current, m_pos);
    } else if (!m_rows.empty()) {
        m_pos = int(m_rows.size()) - 1;
        Q_EMIT windowChanged();
        Q_EMIT currentChanged(m_pos);
    } else if (!m_atStart) {
        last();
    } else {
        m_pos = -1;
        Q_EMIT windowChanged();
        Q_EMIT currentChanged(m_pos);
    }
}

// ---------------------------------------------------------------------------------------
// Fields

int TableBrowser::fieldIndex(const QString& name) const
{
    const QString wanted = browsersql::identifier(name);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name == wanted)
            return int(i);
    }
    return -1;
}

const Column& TableBrowser::field(const QString& name, int* index) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw BrowserError(BrowserError::Kind::UnknownField,
                           u"Field \"%1\" not found."_s.arg(name));
    *index = i;
    return m_fields[std::size_t(i)];
}

const DbValue& TableBrowser::windowValue(int row, int field) const
{
    if ((m_state == State::Editing) && row == m_pos)
        return m_buffer[std::size_t(field)];
    return m_rows[std::size_t(row)][std::size_t(field)];
}

DbValue TableBrowser::value(const QString& name) const
{
    int i = -1;
    field(name, &i);
    if (m_state == State::Editing || m_state == State::Inserting)
        return m_buffer[std::size_t(i)];
    if (m_rows.empty())
        return DbValue();
    return m_rows[std::size_t(m_pos)][std::size_t(i)];
}

QString TableBrowser::text(const QString& name) const { return textOf(value(name)); }

double TableBrowser::number(const QString& name) const
{
    const DbValue v = value(name);
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* n = std::get_if<qint64>(&v))
        return double(*n);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    if (const auto* s = std::get_if<QString>(&v)) {
        if (s->trimmed().isEmpty())
            return 0;
        if (const auto parsed = base::numbers::parseDecimal(*s))
            return *parsed;
        throw BrowserError(BrowserError::Kind::BadValue, u"'%1' is not a valid number."_s.arg(*s));
    }
    if (refdata::isNull(v))
        return 0;
    throw BrowserError(BrowserError::Kind::BadValue, u"Field \"%1\" is not a number."_s.arg(name));
}

QDateTime TableBrowser::dateTime(const QString& name) const
{
    const DbValue v = value(name);
    if (const auto* date = std::get_if<QDate>(&v))
        return QDateTime(*date, QTime(0, 0), Qt::UTC);
    if (const auto* dt = std::get_if<DbTimestamp>(&v))
        return dt->toQDateTime();
    if (const auto* time = std::get_if<DbTime>(&v))
        return QDateTime(QDate(1899, 12, 30), time->toQTime(), Qt::UTC);
    if (refdata::isNull(v))
        return {};
    if (const auto* s = std::get_if<QString>(&v)) {
        if (s->trimmed().isEmpty())
            return {};
        if (const auto parsed = DbTimestamp::fromString(s->trimmed()))
            return parsed->toQDateTime();
        throw BrowserError(BrowserError::Kind::BadValue,
                           u"'%1' is not a valid date and time."_s.arg(*s));
    }
    throw BrowserError(BrowserError::Kind::BadValue,
                       u"Field \"%1\" is not a date and time."_s.arg(name));
}

void TableBrowser::setValue(const QString& name, const DbValue& v)
{
    int i = -1;
    const Column& c = field(name, &i);
    if (m_state != State::Editing && m_state != State::Inserting) {
        throw BrowserError(BrowserError::Kind::NotEditing,
                           u"The table is not in edit or insert mode."_s);
    }
    DbValue stored = v;
    if (c.kind == ColumnKind::Text) {
        if (auto* s = std::get_if<QString>(&stored); s && c.length > 0 && s->size() > c.length)
            s->truncate(c.length);
    }
    m_buffer[std::size_t(i)] = std::move(stored);
    m_modified = true;
    Q_EMIT currentChanged(m_pos);
}

void TableBrowser::setText(const QString& name, const QString& text)
{
    int i = -1;
    const Column& c = field(name, &i);
    if (isTextKind(c.kind) || c.kind == ColumnKind::Other) {
        setValue(name, text);
        return;
    }
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        setValue(name, DbValue());
        return;
    }
    const auto bad = [&] {
        return BrowserError(BrowserError::Kind::BadValue,
                            u"'%1' is not a valid value for field \"%2\"."_s.arg(text, c.name));
    };
    if (isNumberKind(c.kind)) {
        const auto parsed = base::numbers::parseDecimal(t);
        if (!parsed)
            throw bad();
        setNumber(name, *parsed);
    } else if (c.kind == ColumnKind::Date) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (!d.isValid())
            throw bad();
        setValue(name, d);
    } else if (c.kind == ColumnKind::Time) {
        // Read at the column's precision, all four decimals of a second.
        const auto tm = DbTime::fromString(t);
        if (!tm)
            throw bad();
        setValue(name, *tm);
    } else if (c.kind == ColumnKind::DateTime) {
        const auto dt = DbTimestamp::fromString(t);
        if (!dt)
            throw bad();
        setValue(name, *dt);
    } else if (c.kind == ColumnKind::Boolean) {
        if (t.compare(u"true"_s, Qt::CaseInsensitive) == 0 || t == u"1")
            setValue(name, true);
        else if (t.compare(u"false"_s, Qt::CaseInsensitive) == 0 || t == u"0")
            setValue(name, false);
        else
            throw bad();
    } else {
        throw bad();
    }
}

void TableBrowser::setNumber(const QString& name, double v)
{
    int i = -1;
    const Column& c = field(name, &i);
    if (isIntegerKind(c.kind)) {
        if (!std::isfinite(v) || v != std::trunc(v) || std::fabs(v) > 9.2e18) {
            throw BrowserError(BrowserError::Kind::BadValue,
                               u"'%1' is not a valid integer value for field \"%2\"."_s.arg(
                                   base::numbers::formatGeneral(v), c.name));
        }
        setValue(name, qint64(v));
    } else if (isNumberKind(c.kind)) {
        setValue(name, v);
    } else if (isTextKind(c.kind)) {
        setValue(name, base::numbers::formatGeneral(v));
    } else {
        throw BrowserError(BrowserError::Kind::BadValue,
                           u"Field \"%1\" does not hold a number."_s.arg(c.name));
    }
}

void TableBrowser::setDateTime(const QString& name, const QDateTime& v)
{
    int i = -1;
    const Column& c = field(name, &i);
    if (!v.isValid()) {
        setValue(name, DbValue());
        return;
    }
    switch (c.kind) {
    case ColumnKind::Date:
        setValue(name, v.date());
        break;
    case ColumnKind::Time:
        setValue(name, DbTime::fromQTime(v.time()));
        break;
    case ColumnKind::DateTime:
        // The wall-clock value, as the column holds no zone.
        setValue(name, DbTimestamp::fromQDateTime(v));
        break;
    case ColumnKind::Text:
    case ColumnKind::TextBlob:
        setValue(name, v.toString(u"yyyy-MM-dd HH:mm:ss"_s));
        break;
    default:
        throw BrowserError(BrowserError::Kind::BadValue,
                           u"Field \"%1\" does not hold a date and time."_s.arg(c.name));
    }
}

} // namespace refdata
