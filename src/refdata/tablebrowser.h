// The cursor over one whole table under every list window: finds the table's primary key,
// generates its statements, holds a window of at most 100 rows around the cursor (the
// neighbours fetched with keyset statements), and changes one row at a time in a short
// write transaction of its own with a row lock taken when editing starts.
#pragma once

#include "refdata/browserstatements.h"
#include "refdata/referencedb.h"

#include <QObject>

#include <deque>
#include <memory>

namespace refdata {

// A refusal of the browser itself; the texts are shown to the user as they stand.
class BrowserError : public RefDataError {
public:
    enum class Kind { NoPrimaryKey, Locked, Changed, NotOpen, NotEditing, UnknownField, BadValue };
    BrowserError(Kind kind, const QString& message) : RefDataError(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

class TableBrowser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString TableName READ TableName WRITE setTableName)
    Q_PROPERTY(QString Filter READ Filter WRITE setFilter)
    Q_PROPERTY(bool Filtered READ Filtered WRITE setFiltered)
    Q_PROPERTY(QString IndexFieldNames READ IndexFieldNames WRITE setIndexFieldNames)

public:
    enum class State { Closed, Browsing, Editing, Inserting };
    Q_ENUM(State)
    static constexpr int WindowSize = 100;

    static const QString NoPrimaryKeyMessage;
    static const QString LockedMessage;
    static const QString ChangedMessage;
    // The parameters of the browser's own write transaction: a snapshot that never waits.
    static const QStringList WriteTransactionParameters;
    // The parameters of the short transaction that reads the catalogue.
    static const QStringList CatalogueTransactionParameters;

    explicit TableBrowser(ReferenceDatabase& db, QObject* parent = nullptr);
    ~TableBrowser() override;

    const QString& TableName() const { return m_tableName; }
    void setTableName(const QString& name);
    const QString& Filter() const { return m_filter; }
    void setFilter(const QString& filter);
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool filtered);
    const QString& IndexFieldNames() const { return m_indexFieldNames; }
    void setIndexFieldNames(const QString& names);

    // Connects if needed, finds the key, builds the statements and stands on the first row.
    void open();
    void close();
    bool isOpen() const { return m_state != State::Closed; }
    State state() const { return m_state; }

    void first();
    // false when the cursor already stood on the first row (it stays there).
    bool prior();
    // false when the cursor already stood on the last row (it stays there).
    bool next();
    void last();
    // Reads the rows again around the current row.
    void refresh();
    bool isEmpty() const { return m_rows.empty(); }
    // The last move reported the beginning or the end of the result.
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }

    void append();
    // Locks and re-reads the current row; on an empty browser starts a new row instead.
    void edit();
    void post();
    void cancel();
    void deleteRow();

    // The columns shown and written (those of "select *" but arrays).
    const std::vector<Column>& columns() const { return m_fields; }
    int fieldIndex(const QString& name) const; // -1 when there is none
    // The current row's values by column name: the pending values while editing.
    DbValue value(const QString& name) const;
    bool isNull(const QString& name) const { return refdata::isNull(value(name)); }
    QString text(const QString& name) const;       // null as empty
    double number(const QString& name) const;      // null and empty text as 0
    QDateTime dateTime(const QString& name) const; // null as an invalid date-time
    // Writing needs the editing or inserting state; text is cut to the column's length.
    void setValue(const QString& name, const DbValue& v);
    void setText(const QString& name, const QString& text);
    void setNumber(const QString& name, double v);
    void setDateTime(const QString& name, const QDateTime& v);
    // A field was written since Edit or Append.
    bool modified() const { return m_modified; }

    // The window: its rows in result order, the cursor's place in it.
    int windowRowCount() const { return int(m_rows.size()); }
    int currentIndex() const { return m_pos; }
    const DbValue& windowValue(int row, int field) const;
    // Moves the cursor to a row of the window (a click in the grid).
    void moveTo(int row);
    // The first or last held row is the result's first or last.
    bool windowAtStart() const { return m_atStart; }
    bool windowAtEnd() const { return m_atEnd; }
    // Slides the window by up to half its size towards the result's end (forward) or its
    // start, for a grid scrolled to the window's edge, holding no more rows than before.
    // The cursor keeps its row while the window holds it, else it goes to the nearest
    // held row. Returns how far the held rows moved in the window: the rows dropped at the
    // front going forward, the rows added there going back (0 when nothing moved: at
    // that end of the result, or while a row is being edited or inserted).
    int slide(bool forward);

    const TableShape& shape() const { return m_shape; }
    // Whether windows are read bounded on the order's first column where that helps (the
    // default); off, every read runs its statement as generated (the peer the benchmark
    // measures the bounded reads against).
    void setBoundedReads(bool on) { m_boundedReads = on; }
    const BrowserStatements& statements() const { return m_sql; }

Q_SIGNALS:
    // The window's rows were replaced, added or dropped.
    void windowChanged();
    // The cursor moved to another row of the window, or the current row's values changed.
    void currentChanged(int row);
    void stateChanged(refdata::TableBrowser::State state);

private:
    using Row = std::vector<DbValue>; // values of the fields, in field order

    void requireOpen() const;
    void discoverKey();
    void rebuild();
    void applyChange(); // after Filter, Filtered or IndexFieldNames changed while open
    void setState(State s);
    void leaveEditing();
    void closeCursors();
    Row readRow(const Statement& s) const;
    void bindRow(Statement& s, const QStringList& names, const Row& row);
    void bindKey(Statement& s, const Row& row) { bindRow(s, m_shape.keyColumns, row); }
    // Opens the statement of the rows after (forward) or before a boundary row: the
    // keyset statement, or its null-safe form when an order column can hold null;
    // nullptr when no row can follow. need is how many rows the caller reads from it;
    // *partial as for openRead.
    Statement* openKeyset(bool forward, const Row& boundary, int need, bool* partial);
    // Opens a read of the result from its start (forward) or its end (backward, as the
    // last-rows statement) or from a boundary row (condition, the keyset condition, and
    // boundNames, the order columns bound from it, when boundary is given). When the
    // server would sort the whole table for a read of a few rows, the read is bounded on
    // the order's first column (boundColumn): a probe through that column's index finds the value of row need + 1
    // and the statement admits only the rows up to that value's last one, so that it
    // sorts about need rows. Its first need rows are those of the whole result; *partial
    // tells that the cursor ends before the result does (it must not be read on).
    Statement* openRead(Statement& plain, const QString& condition, bool forward,
                        const Row* boundary, const QStringList& boundNames, int need,
                        bool* partial);
    // The index-served bound of a read in that direction: the order's first column when
    // the result is not filtered, the order mixes directions (no index of the server can
    // give it) and that column has an index in the read's direction; empty otherwise.
    QString boundColumn(bool forward, bool* descending) const;
    // Reads up to count rows from an open statement; stops at its end, which is the
    // result's end unless the read was partial (openRead).
    std::vector<Row> fetch(Statement& s, int count, bool* ended, bool partial = false);
    // Re-reads one row by key in a transaction; nullopt when it is gone.
    std::optional<Row> reread(const Row& key, Transaction& t);
    // Fills the window around a row known to exist, keeping it at place.
    void fillAround(const Row& row, int place);
    // Refreshes from the row that follows a row no longer in the result.
    void refreshFrom(const Row& gone, int place);
    // Runs the row lock or the delete in the write transaction: a lock conflict rolls
    // back and raises the lock message, no row touched rolls back and raises the changed
    // message after refreshing.
    void runOnRow(Statement& s);
    // Refreshes (from the next row after a failed update) and raises the changed error.
    [[noreturn]] void failChanged(bool fromNext);
    const Column& field(const QString& name, int* index) const;

    ReferenceDatabase& m_db;
    Transaction m_write;
    QString m_tableName;
    QString m_filter;
    bool m_filtered = false;
    QString m_indexFieldNames;
    bool m_keyKnown = false;
    bool m_boundedReads = true;

    TableShape m_shape;
    std::vector<Column> m_fields;
    std::vector<int> m_fieldColumn; // each field's place in "select *"
    BrowserStatements m_sql;
    std::unique_ptr<Statement> m_select;
    std::unique_ptr<Statement> m_nextRows;
    std::unique_ptr<Statement> m_priorRows;
    std::unique_ptr<Statement> m_nextNullSafe;
    std::unique_ptr<Statement> m_priorNullSafe;
    std::unique_ptr<Statement> m_lastRows;
    std::unique_ptr<Statement> m_reread;
    std::unique_ptr<Statement> m_lock;
    std::unique_ptr<Statement> m_change; // update, delete or insert of the moment
    Statement* m_forward = nullptr;      // the open statement that reads on past the window
    // The probe and the bounded reads of openRead, one per direction (a forward read may
    // stay open while a backward one runs).
    std::unique_ptr<Statement> m_probe;
    std::unique_ptr<Statement> m_nullProbe;
    std::unique_ptr<Statement> m_boundedForward;
    std::unique_ptr<Statement> m_boundedBackward;

    State m_state = State::Closed;
    std::deque<Row> m_rows;
    int m_pos = -1;
    bool m_atStart = true; // the first held row is the result's first
    bool m_atEnd = true;   // the last held row is the result's last
    bool m_bof = false;
    bool m_eof = false;
    Row m_buffer; // the pending values while editing or inserting
    Row m_old;    // the values the edited row had when it was read
    bool m_modified = false;
};

} // namespace refdata
