#include "refdata/browsermodel.h"

#include "base/numbers.h"

using namespace Qt::Literals::StringLiterals;

namespace refdata {

BrowserModel::BrowserModel(TableBrowser& browser, QObject* parent)
    : QAbstractTableModel(parent), m_browser(browser)
{
    // The model keeps nothing of its own, so a reset after the browser's change is safe.
    connect(&m_browser, &TableBrowser::windowChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&m_browser, &TableBrowser::currentChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount())
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
        Q_EMIT currentRowChanged(row);
    });
}

int BrowserModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_browser.isOpen() ? 0 : m_browser.windowRowCount();
}

int BrowserModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_browser.columns().size());
}

QString BrowserModel::fieldName(int column) const
{
    const auto& fields = m_browser.columns();
    return column >= 0 && column < int(fields.size()) ? fields[std::size_t(column)].name
                                                      : QString();
}

QString BrowserModel::displayText(const DbValue& v, const QString& field) const
{
    if (const auto* s = std::get_if<QString>(&v))
        return *s;
    if (const auto* d = std::get_if<double>(&v)) {
        const auto mask = m_masks.constFind(field);
        return mask != m_masks.constEnd() ? base::numbers::formatMask(*d, *mask)
                                          : base::numbers::formatGeneral(*d);
    }
    if (const auto* n = std::get_if<qint64>(&v)) {
        const auto mask = m_masks.constFind(field);
        return mask != m_masks.constEnd() ? base::numbers::formatMask(double(*n), *mask)
                                          : QString::number(*n);
    }
    if (const auto* date = std::get_if<QDate>(&v))
        return date->toString(u"dd.MM.yyyy"_s);
    if (const auto* time = std::get_if<DbTime>(&v))
        return time->toQTime().toString(u"HH:mm:ss"_s);
    if (const auto* dt = std::get_if<DbTimestamp>(&v))
        return dt->toQDateTime().toString(u"dd.MM.yyyy HH:mm:ss"_s);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? u"True"_s : u"False"_s;
    return {};
}

namespace {
QVariant toVariant(const DbValue& v)
{
    return std::visit(
        [](const auto& x) -> QVariant {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return QVariant();
            else if constexpr (std::is_same_v<T, DbTime>)
                return x.toQTime();
            else if constexpr (std::is_same_v<T, DbTimestamp>)
                return x.toQDateTime();
            else
                return QVariant::fromValue(x);
        },
        v);
}
} // namespace

QVariant BrowserModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const QString field = fieldName(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(m_browser.windowValue(index.row(), index.column()), field);
    case Qt::EditRole:
        return toVariant(m_browser.windowValue(index.row(), index.column()));
    case Qt::TextAlignmentRole: {
        const auto a = m_alignments.constFind(field);
        return a != m_alignments.constEnd() ? QVariant(int(*a)) : QVariant();
    }
    default:
        return {};
    }
}

QVariant BrowserModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    const QString field = fieldName(section);
    return m_titles.value(field, field);
}

void BrowserModel::setColumnTitle(const QString& field, const QString& title)
{
    m_titles.insert(field.trimmed().toUpper(), title);
    if (columnCount() > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void BrowserModel::setNumberMask(const QString& field, const QString& mask)
{
    m_masks.insert(field.trimmed().toUpper(), mask);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void BrowserModel::setColumnAlignment(const QString& field, Qt::Alignment alignment)
{
    m_alignments.insert(field.trimmed().toUpper(), alignment);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

} // namespace refdata
