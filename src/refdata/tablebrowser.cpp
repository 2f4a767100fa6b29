// The table browser: its settings, opening and closing, and the windowed keyset reading
// and moving over the result. The current row's fields and changes: tablebrowserrow.cpp.
#include "refdata/tablebrowser.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace refdata {
namespace {

QString trimTrailingBlanks(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ')
        --n;
    s.truncate(n);
    return s;
}

// Closes a statement's cursor on every way out of a scope.
struct CursorCloser {
    Statement& statement;
    ~CursorCloser() { statement.close(); }
};

} // namespace

const QString TableBrowser::NoPrimaryKeyMessage =
    u"Not Correct TableName or Table has no primary key"_s;
const QString TableBrowser::LockedMessage =
    u"The record is locked by another user. Try again later"_s;
const QString TableBrowser::ChangedMessage =
    u"The record was deleted or changed by another user!\nAfter refreshing you can try again"_s;
// Firebird 3 refuses "rec_version" without "read_committed"; the snapshot meant is
// "concurrency".
const QStringList TableBrowser::WriteTransactionParameters = {u"write"_s, u"nowait"_s,
                                                              u"concurrency"_s};
const QStringList TableBrowser::CatalogueTransactionParameters = {
    u"write"_s, u"nowait"_s, u"rec_version"_s, u"read_committed"_s};

TableBrowser::TableBrowser(ReferenceDatabase& db, QObject* parent)
    : QObject(parent), m_db(db), m_write(db.IBDatabase, WriteTransactionParameters)
{}

TableBrowser::~TableBrowser()
{
    close();
}

// ---------------------------------------------------------------------------------------
// Settings

void TableBrowser::setTableName(const QString& name)
{
    if (name == m_tableName)
        return;
    close();
    m_tableName = name;
    m_keyKnown = false;
    m_shape = TableShape();
    m_fields.clear();
    m_fieldColumn.clear();
    m_sql = BrowserStatements();
}

void TableBrowser::setFilter(const QString& filter)
{
    if (filter == m_filter)
        return;
    if (!isOpen() || !m_filtered) {
        m_filter = filter;
        return;
    }
    leaveEditing();
    m_filter = filter;
    applyChange();
}

void TableBrowser::setFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    if (!isOpen()) {
        m_filtered = filtered;
        return;
    }
    leaveEditing();
    m_filtered = filtered;
    applyChange();
}

void TableBrowser::setIndexFieldNames(const QString& names)
{
    if (names == m_indexFieldNames)
        return;
    if (!isOpen()) {
        m_indexFieldNames = names;
        return;
    }
    leaveEditing();
    m_indexFieldNames = names;
    applyChange();
}

void TableBrowser::applyChange()
{
    const bool hadRow = !m_rows.empty();
    const Row current = hadRow ? m_rows[std::size_t(m_pos)] : Row();
    const int place = m_pos;
    try {
        rebuild();
        if (hadRow) {
            if (const auto row = reread(current, m_db.IBTransaction)) {
                fillAround(*row, place);
                return;
            }
        }
        first();
    } catch (...) {
        // The new statements fail (a malformed filter): nothing is shown until the next
        // change; the error goes to the caller.
        closeCursors();
        m_rows.clear();
        m_pos = -1;
        m_atStart = m_atEnd = true;
        Q_EMIT windowChanged();
        Q_EMIT currentChanged(m_pos);
        throw;
    }
}

// ---------------------------------------------------------------------------------------
// Opening

void TableBrowser::requireOpen() const
{
    if (!isOpen())
        throw BrowserError(BrowserError::Kind::NotOpen, u"The table browser is not open."_s);
}

void TableBrowser::discoverKey()
{
    Connection& c = m_db.IBDatabase;
    const QString table = browsersql::identifier(m_tableName);
    TableShape shape;
    shape.table = table;
    {
        Transaction t(c, CatalogueTransactionParameters);
        t.start();
        Statement indexes(c, browsersql::indexQuery(table));
        indexes.open(t);
        CursorCloser closer{indexes};
        QSet<QString> seen;
        while (indexes.next()) {
            IndexInfo index;
            index.name = trimTrailingBlanks(indexes.text(u"RDB$INDEX_NAME"_s));
            // The join gives one row per segment; the first one stands for the index.
            if (seen.contains(index.name))
                continue;
            seen.insert(index.name);
            index.unique = indexes.number(u"RDB$UNIQUE_FLAG"_s) == 1;
            index.descending = indexes.number(u"RDB$INDEX_TYPE"_s) == 1;
            index.primary = index.name.startsWith(u"RDB$PRIMARY"_s);
            if (indexes.number(u"RDB$SEGMENT_COUNT"_s) <= 1) {
                index.columns.append(trimTrailingBlanks(indexes.text(u"RDB$FIELD_NAME"_s)));
            } else {
                Statement segments(c, browsersql::segmentQuery(index.name));
                segments.open(t);
                CursorCloser segmentsCloser{segments};
                while (segments.next())
                    index.columns.append(trimTrailingBlanks(segments.text(u"RDB$FIELD_NAME"_s)));
            }
            if (index.primary)
                shape.keyColumns = index.columns;
            shape.indexes.push_back(std::move(index));
        }
        indexes.close();
        t.commit();
    }
    if (shape.keyColumns.isEmpty())
        throw BrowserError(BrowserError::Kind::NoPrimaryKey, NoPrimaryKeyMessage);

    Statement all(c, u"select * from "_s + table);
    all.prepare(m_db.IBTransaction);
    shape.columns = all.columns();
    m_fields.clear();
    m_fieldColumn.clear();
    for (std::size_t i = 0; i < shape.columns.size(); ++i) {
        if (shape.columns[i].kind == ColumnKind::Array)
            continue;
        m_fields.push_back(shape.columns[i]);
        m_fieldColumn.push_back(int(i));
    }
    m_shape = std::move(shape);
    m_keyKnown = true;
}

void TableBrowser::rebuild()
{
    closeCursors();
    const QString filter = m_filtered ? m_filter : QString();
    m_sql = browsersql::build(m_shape, filter.trimmed().isEmpty() ? QString() : filter,
                              m_indexFieldNames);
    Connection& c = m_db.IBDatabase;
    m_select = std::make_unique<Statement>(c, m_sql.select);
    m_nextRows = std::make_unique<Statement>(c, m_sql.nextRows);
    m_priorRows = std::make_unique<Statement>(c, m_sql.priorRows);
    m_nextNullSafe = std::make_unique<Statement>(c, m_sql.nextRows);
    m_priorNullSafe = std::make_unique<Statement>(c, m_sql.priorRows);
    m_lastRows = std::make_unique<Statement>(c, m_sql.lastRows);
    m_reread = std::make_unique<Statement>(c, m_sql.reread);
    m_probe = std::make_unique<Statement>(c, m_sql.select);
    m_nullProbe = std::make_unique<Statement>(c, m_sql.select);
    m_boundedForward = std::make_unique<Statement>(c, m_sql.select);
    m_boundedBackward = std::make_unique<Statement>(c, m_sql.lastRows);
    m_lock = std::make_unique<Statement>(c, m_sql.lock);
    m_change = std::make_unique<Statement>(c, m_sql.update);
}

void TableBrowser::open()
{
    if (isOpen())
        return;
    try {
        m_db.connectIfNeeded();
        m_db.IBTransaction.startIfNeeded();
        if (!m_keyKnown)
            discoverKey();
        rebuild();
        setState(State::Browsing);
        first();
    } catch (...) {
        close();
        throw;
    }
}

void TableBrowser::close()
{
    m_write.rollback();
    closeCursors();
    m_select.reset();
    m_nextRows.reset();
    m_priorRows.reset();
    m_nextNullSafe.reset();
    m_priorNullSafe.reset();
    m_lastRows.reset();
    m_reread.reset();
    m_lock.reset();
    m_change.reset();
    m_buffer.clear();
    m_old.clear();
    m_modified = false;
    const bool wasOpen = isOpen();
    m_rows.clear();
    m_pos = -1;
    m_atStart = m_atEnd = true;
    m_bof = m_eof = false;
    if (wasOpen) {
        setState(State::Closed);
        Q_EMIT windowChanged();
    }
}

void TableBrowser::setState(State s)
{
    if (s == m_state)
        return;
    m_state = s;
    Q_EMIT stateChanged(s);
}

void TableBrowser::closeCursors()
{
    for (Statement* s : {m_select.get(), m_nextRows.get(), m_priorRows.get(), m_nextNullSafe.get(),
                         m_priorNullSafe.get(), m_lastRows.get(), m_reread.get(), m_probe.get(),
                         m_nullProbe.get(), m_boundedForward.get(), m_boundedBackward.get()}) {
        if (s)
            s->close();
    }
    m_forward = nullptr;
}

// ---------------------------------------------------------------------------------------
// Reading rows

TableBrowser::Row TableBrowser::readRow(const Statement& s) const
{
    Row row(m_fields.size());
    const auto& values = s.row();
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        DbValue v = values[std::size_t(m_fieldColumn[i])];
        if (m_fields[i].fixedLength) {
            if (const auto* text = std::get_if<QString>(&v))
                v = trimTrailingBlanks(*text);
        }
        row[i] = std::move(v);
    }
    return row;
}

void TableBrowser::bindRow(Statement& s, const QStringList& names, const Row& row)
{
    s.clearParams();
    for (const QString& name : names) {
        const int i = fieldIndex(name);
        if (i < 0) {
            throw BrowserError(BrowserError::Kind::UnknownField,
                               u"Field \"%1\" not found."_s.arg(name));
        }
        s.setParam(name, row[std::size_t(i)]);
    }
}

Statement* TableBrowser::openKeyset(bool forward, const Row& boundary, int need, bool* partial)
{
    *partial = false;
    QSet<QString> canBeNull;
    QSet<QString> nullInBoundary;
    QStringList bound;
    for (const OrderColumn& c : m_sql.order) {
        const int i = fieldIndex(c.name);
        if (i < 0) {
            throw BrowserError(BrowserError::Kind::UnknownField,
                               u"Field \"%1\" not found."_s.arg(c.name));
        }
        if (m_fields[std::size_t(i)].nullable && !m_shape.keyColumns.contains(c.name))
            canBeNull.insert(c.name);
        if (refdata::isNull(boundary[std::size_t(i)]))
            nullInBoundary.insert(c.name);
        else
            bound.append(c.name);
    }
    Statement* s = nullptr;
    QString condition;
    if (canBeNull.isEmpty() && nullInBoundary.isEmpty()) {
        s = forward ? m_nextRows.get() : m_priorRows.get();
        condition = browsersql::keysetCondition(m_sql.order, forward);
    } else {
        // The plain keyset condition compares with null and so loses every row whose
        // order column is null.
        condition =
            browsersql::nullSafeKeysetCondition(m_sql.order, forward, canBeNull, nullInBoundary);
        if (condition.isEmpty())
            return nullptr;
        s = forward ? m_nextNullSafe.get() : m_priorNullSafe.get();
        const QString sql = browsersql::keysetSql(m_sql, condition, forward);
        if (s->sql() != sql)
            s->setSql(sql);
    }
    return openRead(*s, condition, forward, &boundary, bound, need, partial);
}

QString TableBrowser::boundColumn(bool forward, bool* descending) const
{
    // A filtered result is sorted by the server as it is: the filter's own index
    // narrows it first, while a probe through the order's column would walk past every
    // row the filter drops.
    const std::vector<OrderColumn>& order = m_sql.order;
    if (!m_boundedReads || !m_sql.filter.isEmpty() || order.size() < 2)
        return {};
    const bool mixed = std::any_of(order.begin(), order.end(), [&](const OrderColumn& c) {
        return c.descending != order.front().descending;
    });
    if (!mixed)
        return {};
    const OrderColumn& first = order.front();
    *descending = forward ? first.descending : !first.descending;
    for (const IndexInfo& index : m_shape.indexes) {
        if (!index.columns.isEmpty() && index.columns.front() == first.name &&
            index.descending == *descending)
            return first.name;
    }
    return {};
}

namespace {

// Parameters of the bounds, named so that no column's parameter can be taken for them.
const QString LowBound = u"SPRRATE_BOUND_FROM"_s;
const QString HighBound = u"SPRRATE_BOUND_UPTO"_s;

QString joined(const QStringList& conditions)
{
    QStringList parts;
    for (const QString& c : conditions) {
        if (!c.isEmpty())
            parts.append(conditions.size() > 1 ? u'(' + c + u')' : c);
    }
    return parts.join(u" AND "_s);
}

void setSqlIfChanged(Statement& s, const QString& sql)
{
    if (s.sql() != sql)
        s.setSql(sql);
}

} // namespace

Statement* TableBrowser::openRead(Statement& plain, const QString& condition, bool forward,
                                  const Row* boundary, const QStringList& boundNames, int need,
                                  bool* partial)
{
    *partial = false;
    bool descending = false;
    const QString column = boundColumn(forward, &descending);
    const int columnField = column.isEmpty() ? -1 : fieldIndex(column);
    const DbValue* start = nullptr;
    if (boundary && columnField >= 0) {
        start = &(*boundary)[std::size_t(columnField)];
        if (refdata::isNull(*start))
            start = nullptr; // rows after a null one: no bound the index can serve
    }
    auto bindBoundary = [&](Statement& s) {
        if (boundary)
            bindRow(s, boundNames, *boundary);
    };
    if (columnField < 0 || (boundary && !start)) {
        bindBoundary(plain);
        plain.open(m_db.IBTransaction);
        return &plain;
    }

    // The rows from the boundary on, by the bound column alone. Rows whose column is null
    // come last in a descending read: the probe leaves them out, and the read below takes
    // them in once the result reaches them.
    const QString fromStart =
        start ? column + (descending ? u" <= :"_s : u" >= :"_s) + LowBound : QString();
    const QString direction = descending ? u" desc"_s : u" asc"_s;
    const QString probeCondition = joined({condition, fromStart});
    QString probeSql = u"select "_s + column + u" from "_s + m_shape.table;
    if (!probeCondition.isEmpty())
        probeSql += u"\nwhere "_s + probeCondition;
    probeSql += u"\norder by "_s + column + direction + u"\nrows %1 to %1"_s.arg(need + 1);
    setSqlIfChanged(*m_probe, probeSql);
    bindBoundary(*m_probe);
    if (start)
        m_probe->setParam(LowBound, *start);
    m_probe->open(m_db.IBTransaction);
    std::optional<DbValue> upTo;
    if (m_probe->next())
        upTo = m_probe->row().front();
    m_probe->close();

    // Whether the read's rows hold one whose column is null (asked apart: in one condition
    // with them the server no longer keeps to the index's range).
    auto nullRows = [&] {
        setSqlIfChanged(*m_nullProbe, u"select first 1 "_s + column + u" from "_s +
                                          m_shape.table + u"\nwhere "_s +
                                          joined({condition, column + u" IS NULL"_s}));
        bindBoundary(*m_nullProbe);
        m_nullProbe->open(m_db.IBTransaction);
        const bool found = m_nullProbe->next();
        m_nullProbe->close();
        return found;
    };
    const QString orNull = u" OR "_s + column + u" IS NULL)"_s;
    QString bounded;
    if (upTo && !refdata::isNull(*upTo)) {
        // Every row up to the last one with the probe's value: the first need rows of the
        // result, and more. Null sorts first in an ascending read: without a boundary its
        // rows come before the probe's value.
        QString toEnd;
        if (descending)
            toEnd = column + u" >= :"_s + HighBound;
        else if (!start && nullRows())
            toEnd = u"("_s + column + u" <= :"_s + HighBound + orNull;
        else
            toEnd = column + u" <= :"_s + HighBound;
        bounded = joined({condition, fromStart, toEnd});
        *partial = true;
    } else if (!upTo && start) {
        // The rest of the result is shorter than the read: all of it from the boundary on,
        // and in a descending read the rows whose column is null after them.
        bounded = joined({condition, fromStart});
        if (descending && nullRows())
            bounded = joined({condition, u"("_s + column + u" <= :"_s + LowBound + orNull});
    } else {
        // A short result without a boundary, or null from the probe's row on: the plain read.
        bindBoundary(plain);
        plain.open(m_db.IBTransaction);
        return &plain;
    }
    Statement& read = forward ? *m_boundedForward : *m_boundedBackward;
    setSqlIfChanged(read, browsersql::keysetSql(m_sql, bounded, forward));
    bindBoundary(read);
    if (start)
        read.setParam(LowBound, *start);
    if (*partial)
        read.setParam(HighBound, *upTo);
    read.open(m_db.IBTransaction);
    return &read;
}

std::vector<TableBrowser::Row> TableBrowser::fetch(Statement& s, int count, bool* ended,
                                                   bool partial)
{
    std::vector<Row> rows;
    *ended = false;
    while (int(rows.size()) < count) {
        if (!s.next()) {
            // A bounded read that ends early (rows deleted by another program between its
            // probe and its read) has not reached the result's end.
            *ended = !partial;
            s.close();
            break;
        }
        rows.push_back(readRow(s));
    }
    return rows;
}

std::optional<TableBrowser::Row> TableBrowser::reread(const Row& key, Transaction& t)
{
    for (const QString& k : m_shape.keyColumns) {
        if (refdata::isNull(key[std::size_t(fieldIndex(k))]))
            return std::nullopt; // a key the database has yet to assign matches no row
    }
    bindKey(*m_reread, key);
    m_reread->open(t);
    CursorCloser closer{*m_reread};
    if (!m_reread->next())
        return std::nullopt;
    return readRow(*m_reread);
}

void TableBrowser::fillAround(const Row& row, int place)
{
    closeCursors();
    place = std::clamp(place, 0, WindowSize - 1);
    bool ended = false;
    // One row more than the place holds tells whether the result goes on before it.
    std::vector<Row> before;
    bool partial = false;
    if (Statement* prior = openKeyset(false, row, place + 1, &partial)) {
        before = fetch(*prior, place + 1, &ended, partial);
        prior->close();
    }
    m_atStart = int(before.size()) <= place && !partial;
    if (int(before.size()) > place)
        before.resize(std::size_t(place));

    std::vector<Row> after;
    ended = true;
    const int need = WindowSize - 1 - int(before.size());
    Statement* following = openKeyset(true, row, need, &partial);
    if (following)
        after = fetch(*following, need, &ended, partial);
    m_atEnd = ended;
    m_forward = ended ? nullptr : following;
    if (partial && following) {
        following->close();
        m_forward = nullptr;
    }

    m_rows.clear();
    for (auto it = before.rbegin(); it != before.rend(); ++it)
        m_rows.push_back(std::move(*it));
    m_rows.push_back(row);
    for (Row& r : after)
        m_rows.push_back(std::move(r));
    m_pos = int(before.size());
    m_bof = m_eof = false;
    Q_EMIT windowChanged();
    Q_EMIT currentChanged(m_pos);
}

void TableBrowser::refreshFrom(const Row& gone, int place)
{
    closeCursors();
    bool ended = false;
    std::vector<Row> following;
    bool partial = false;
    if (Statement* s = openKeyset(true, gone, 1, &partial)) {
        following = fetch(*s, 1, &ended);
        s->close();
    }
    if (following.empty())
        last();
    else
        fillAround(following.front(), place);
}

// ---------------------------------------------------------------------------------------
// Moving

void TableBrowser::leaveEditing()
{
    if (m_state != State::Editing && m_state != State::Inserting)
        return;
    if (m_modified)
        post();
    else
        cancel();
}

void TableBrowser::first()
{
    requireOpen();
    leaveEditing();
    closeCursors();
    m_rows.clear();
    m_pos = -1;
    bool partial = false;
    Statement* select = openRead(*m_select, QString(), true, nullptr, {}, WindowSize, &partial);
    bool ended = false;
    std::vector<Row> rows = fetch(*select, WindowSize, &ended, partial);
    for (Row& r : rows)
        m_rows.push_back(std::move(r));
    m_atStart = true;
    m_atEnd = ended;
    m_forward = ended ? nullptr : select;
    if (partial) {
        select->close();
        m_forward = nullptr;
    }
    m_pos = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    Q_EMIT windowChanged();
    Q_EMIT currentChanged(m_pos);
}

bool TableBrowser::next()
{
    requireOpen();
    leaveEditing();
    m_bof = false;
    if (m_rows.empty()) {
        m_eof = true;
        return false;
    }
    if (m_pos + 1 < int(m_rows.size())) {
        ++m_pos;
        m_eof = false;
        Q_EMIT currentChanged(m_pos);
        return true;
    }
    if (!m_atEnd) {
        const int need = WindowSize - (int(m_rows.size()) >= WindowSize
                                           ? int(m_rows.size()) - WindowSize / 2
                                           : int(m_rows.size()));
        bool partial = false;
        if (!m_forward) {
            m_forward = openKeyset(true, m_rows.back(), need, &partial);
            if (!m_forward) {
                m_atEnd = true;
                m_eof = true;
                return false;
            }
        }
        if (int(m_rows.size()) >= WindowSize) {
            const int drop = WindowSize / 2;
            m_rows.erase(m_rows.begin(), m_rows.begin() + drop);
            m_pos -= drop;
            m_atStart = false;
        }
        bool ended = false;
        std::vector<Row> rows = fetch(*m_forward, need, &ended, partial);
        if (ended) {
            m_forward = nullptr;
            m_atEnd = true;
        } else if (partial) {
            m_forward->close();
            m_forward = nullptr;
        }
        for (Row& r : rows)
            m_rows.push_back(std::move(r));
        Q_EMIT windowChanged();
        if (!rows.empty()) {
            ++m_pos;
            m_eof = false;
            Q_EMIT currentChanged(m_pos);
            return true;
        }
        Q_EMIT currentChanged(m_pos);
    }
    m_eof = true;
    return false;
}

bool TableBrowser::prior()
{
    requireOpen();
    leaveEditing();
    m_eof = false;
    if (m_rows.empty()) {
        m_bof = true;
        return false;
    }
    if (m_pos > 0) {
        --m_pos;
        m_bof = false;
        Q_EMIT currentChanged(m_pos);
        return true;
    }
    if (!m_atStart) {
        const std::size_t keep = WindowSize / 2;
        if (m_rows.size() > keep) {
            if (m_forward) {
                m_forward->close();
                m_forward = nullptr;
            }
            m_rows.resize(keep);
            m_atEnd = false;
        }
        bool ended = true;
        std::vector<Row> rows;
        const int need = WindowSize - int(m_rows.size());
        bool partial = false;
        if (Statement* s = openKeyset(false, m_rows.front(), need, &partial)) {
            rows = fetch(*s, need, &ended, partial);
            s->close();
        }
        if (ended)
            m_atStart = true;
        for (Row& r : rows)
            m_rows.push_front(std::move(r));
        m_pos = int(rows.size()) - 1;
        Q_EMIT windowChanged();
        if (!rows.empty()) {
            m_bof = false;
            Q_EMIT currentChanged(m_pos);
            return true;
        }
        m_pos = 0;
        Q_EMIT currentChanged(m_pos);
    }
    m_bof = true;
    return false;
}

void TableBrowser::last()
{
    requireOpen();
    leaveEditing();
    closeCursors();
    m_rows.clear();
    bool partial = false;
    Statement* lastRows =
        openRead(*m_lastRows, QString(), false, nullptr, {}, WindowSize, &partial);
    bool ended = false;
    std::vector<Row> rows = fetch(*lastRows, WindowSize, &ended, partial);
    lastRows->close();
    for (Row& r : rows)
        m_rows.push_front(std::move(r));
    m_atStart = ended;
    m_atEnd = true;
    m_pos = int(m_rows.size()) - 1;
    m_eof = true;
    m_bof = m_rows.empty();
    Q_EMIT windowChanged();
    Q_EMIT currentChanged(m_pos);
}

void TableBrowser::refresh()
{
    requireOpen();
    leaveEditing();
    if (m_rows.empty()) {
        first();
        return;
    }
    const Row current = m_rows[std::size_t(m_pos)];
    const int place = m_pos;
    closeCursors();
    if (const auto row = reread(current, m_db.IBTransaction))
        fillAround(*row, place);
    else
        refreshFrom(current, place);
}

int TableBrowser::slide(bool forward)
{
    requireOpen();
    if (m_state != State::Browsing || m_rows.empty())
        return 0;
    const int step = WindowSize / 2;
    int shift = 0;
    if (forward) {
        if (m_atEnd)
            return 0;
        bool partial = false;
        if (!m_forward) {
            m_forward = openKeyset(true, m_rows.back(), step, &partial);
            if (!m_forward) {
                m_atEnd = true;
                return 0;
            }
        }
        bool ended = false;
        std::vector<Row> rows = fetch(*m_forward, step, &ended, partial);
        if (ended) {
            m_forward = nullptr;
            m_atEnd = true;
        } else if (partial) {
            m_forward->close();
            m_forward = nullptr;
        }
        for (Row& r : rows)
            m_rows.push_back(std::move(r));
        shift = std::max(0, int(m_rows.size()) - WindowSize);
        if (shift > 0) {
            m_rows.erase(m_rows.begin(), m_rows.begin() + shift);
            m_atStart = false;
        }
        m_pos -= shift;
        if (rows.empty())
            return 0;
    } else {
        if (m_atStart)
            return 0;
        bool ended = true;
        std::vector<Row> rows;
        bool partial = false;
        if (Statement* s = openKeyset(false, m_rows.front(), step, &partial)) {
            rows = fetch(*s, step, &ended, partial);
            s->close();
        }
        if (ended)
            m_atStart = true;
        for (Row& r : rows)
            m_rows.push_front(std::move(r));
        shift = int(rows.size());
        m_pos += shift;
        if (int(m_rows.size()) > WindowSize) {
            // The rows after the window are read again by the next-rows statement.
            if (m_forward) {
                m_forward->close();
                m_forward = nullptr;
            }
            m_rows.resize(WindowSize);
            m_atEnd = false;
        }
        if (shift == 0)
            return 0;
    }
    m_pos = std::clamp(m_pos, 0, int(m_rows.size()) - 1);
    m_bof = m_eof = false;
    Q_EMIT windowChanged();
    Q_EMIT currentChanged(m_pos);
    return shift;
}

void TableBrowser::moveTo(int row)
{
    requireOpen();
    if (row < 0 || row >= int(m_rows.size()) || row == m_pos)
        return;
    leaveEditing();
    m_pos = row;
    m_bof = m_eof = false;
    Q_EMIT currentChanged(m_pos);
}

} // namespace refdata
