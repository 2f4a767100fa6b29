#include "pricing/ui/history.h"

#include "base/settings.h"
#include "base/ui/placement.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QAbstractTableModel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr QPoint DesignedPosition{120, 100};
} // namespace

// The list's rows over the entries the filter shows: a full journal holds some 20,000, so
// the cells are made only as the list draws them.
class HistoryModel : public QAbstractTableModel {
public:
    HistoryModel(const std::vector<const pricing::JournalEntry*>& rows, QObject* parent)
        : QAbstractTableModel(parent), m_rows(rows), m_columns(pricing::historyColumns())
    {
    }
    void reset()
    {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(m_columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || std::size_t(index.row()) >= m_rows.size())
            return {};
        return pricing::historyCells(*m_rows[std::size_t(index.row())]).value(index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        return m_columns.value(section);
    }

private:
    const std::vector<const pricing::JournalEntry*>& m_rows;
    const QStringList m_columns;
};

TformHistory::TformHistory(const QString& iniPath, const base::JournalFile& file, QWidget* parent)
    : QDialog(parent), m_iniPath(iniPath), m_file(file)
{
    setObjectName(u"formHistory"_s);
    setWindowTitle(u"History"_s);
    resize(860, 540);

    auto* filter = new QHBoxLayout;
    auto* recordLabel = new QLabel(u"&Record:"_s, this);
    eRecord = new QLineEdit(this);
    eRecord->setObjectName(u"eRecord"_s);
    eRecord->setMaxLength(8);
    eRecord->setFixedWidth(60);
    eRecord->setToolTip(u"The record number of the SPR header (1 and 01 alike); empty: every record"_s);
    recordLabel->setBuddy(eRecord);
    cSince = new QCheckBox(u"&Since"_s, this);
    cSince->setObjectName(u"cSince"_s);
    eSince = new QDateEdit(QDate::currentDate(), this);
    eSince->setObjectName(u"eSince"_s);
    eSince->setDisplayFormat(u"dd.MM.yyyy"_s);
    eSince->setCalendarPopup(true);
    eSince->setEnabled(false);
    bRefresh = new QPushButton(u"R&efresh"_s, this);
    bRefresh->setObjectName(u"bRefresh"_s);
    bRefresh->setAutoDefault(false);
    filter->addWidget(recordLabel);
    filter->addWidget(eRecord);
    filter->addSpacing(16);
    filter->addWidget(cSince);
    filter->addWidget(eSince);
    filter->addStretch();
    filter->addWidget(bRefresh);

    gEntries = new QTableView(this);
    gEntries->setObjectName(u"gEntries"_s);
    m_model = new HistoryModel(m_shown, this);
    gEntries->setModel(m_model);
    // The widths come from the first rows; every row is alike in its columns' width.
    gEntries->horizontalHeader()->setResizeContentsPrecision(100);
    gEntries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gEntries->setSelectionBehavior(QAbstractItemView::SelectRows);
    gEntries->setSelectionMode(QAbstractItemView::SingleSelection);
    gEntries->setAlternatingRowColors(true);
    gEntries->verticalHeader()->hide();
    gEntries->verticalHeader()->setDefaultSectionSize(gEntries->fontMetrics().height() + 6);
    gEntries->horizontalHeader()->setStretchLastSection(true);
    gEntries->setWordWrap(false);

    mCommands = new QPlainTextEdit(this);
    mCommands->setObjectName(u"mCommands"_s);
    mCommands->setReadOnly(true);
    mCommands->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mCommands->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(gEntries);
    split->addWidget(mCommands);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* bottom = new QHBoxLayout;
    lSummary = new QLabel(this);
    lSummary->setObjectName(u"lSummary"_s);
    lSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bClose = new QPushButton(u"Close"_s, this);
    bClose->setObjectName(u"bClose"_s);
    bClose->setAutoDefault(false);
    bottom->addWidget(lSummary, 1);
    bottom->addWidget(bClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(eRecord, &QLineEdit::textChanged, this, &TformHistory::showEntries);
    connect(cSince, &QCheckBox::toggled, this, [this](bool on) {
        eSince->setEnabled(on);
        showEntries();
    });
    connect(eSince, &QDateEdit::dateChanged, this, &TformHistory::showEntries);
    connect(bRefresh, &QPushButton::clicked, this, &TformHistory::refresh);
    connect(bClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(gEntries->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TformHistory::showSelected);

    move(base::ui::placement(
        base::readWindowPosition(m_iniPath, base::section::HistoryWindow, DesignedPosition),
        frameGeometry().size(), DesignedPosition));
}

int TformHistory::showHistory()
{
    refresh();
    return exec();
}

void TformHistory::refresh()
{
    // Every entry is read; the filter only chooses among them.
    m_history = pricing::readHistory(m_file, {});
    showEntries();
    gEntries->resizeColumnsToContents();
}

const pricing::JournalEntry* TformHistory::entryAt(int row) const
{
    if (row < 0 || std::size_t(row) >= m_shown.size())
        return nullptr;
    return m_shown[std::size_t(row)];
}

void TformHistory::showEntries()
{
    const pricing::HistoryFilter filter{eRecord->text(),
                                        cSince->isChecked() ? eSince->date() : QDate()};
    m_shown.clear();
    for (const pricing::JournalEntry& entry : m_history.entries) {
        if (pricing::matchesFilter(entry, filter))
            m_shown.push_back(&entry);
    }
    m_model->reset();

    lSummary->setText(pricing::historySummary(m_history, m_shown.size()) + u"  "_s +
                      QDir::toNativeSeparators(m_file.path()));
    // The newest is selected, which shows what it holds (the reset left no current row).
    if (m_shown.empty())
        mCommands->clear();
    else
        gEntries->selectRow(0);
}

void TformHistory::showSelected()
{
    const QModelIndex current = gEntries->selectionModel()->currentIndex();
    const pricing::JournalEntry* entry = current.isValid() ? entryAt(current.row()) : nullptr;
    mCommands->setPlainText(entry ? pricing::historyDetails(*entry) : QString());
}

void TformHistory::done(int result)
{
    // A position that cannot be written is no reason to keep the window open.
    base::writeWindowPosition(m_iniPath, base::section::HistoryWindow, pos());
    QDialog::done(result);
}
