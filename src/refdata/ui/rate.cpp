#include "refdata/ui/rate.h"

#include "base/settings.h"
#include "base/ui/messages.h"

#include "refdata/rateimport.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

const QString TformRate::RateOrder = u"RATE_VALID_TO desc, RATE_VALID_FROM desc"_s;
const QString TformRate::DateOrderMessage = u"Rate Valid FROM > Rate Valid TO Date !!!"_s;
const QString TformRate::EmptyCarrierMessage = u"Rate Carrier code empty !!!"_s;
const QString TformRate::EmptyFromMessage = u"Rate FROM currency empty !!!"_s;
const QString TformRate::EmptyToMessage = u"Rate TO currency empty !!!"_s;
const QString TformRate::RateValueMessage = u"Rate must be greater than 0 !!!"_s;
const QString TformRate::DeleteQuestion = u"Do you wish to Delete rate value ?"_s;

namespace {

// A typed text as an SQL string literal's content: every single quote doubled, so the
// condition matches the text literally whatever it holds.
QString quoted(const QString& text)
{
    QString out = text;
    out.replace(u'\'', u"''"_s);
    return out;
}

// The filter button's picture: a funnel.
QIcon funnelIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 0), 1));
    p.setBrush(QColor(64, 96, 176));
    p.drawPolygon(QPolygonF({QPointF(1.5, 2.5), QPointF(14.5, 2.5), QPointF(9.5, 8.5),
                             QPointF(9.5, 14), QPointF(6.5, 12.5), QPointF(6.5, 8.5)}));
    p.end();
    return QIcon(pixmap);
}

QLineEdit* filterField(QWidget* strip, const QString& name, const QString& label, int x,
                       int labelWidth)
{
    auto* l = new QLabel(label, strip);
    l->setGeometry(x, 7, labelWidth, 15);
    QLineEdit* e = makeTextField(strip, name, name == u"eCarrier" ? 2 : 3, true);
    e->setGeometry(x + labelWidth + 2, 4, name == u"eCarrier" ? 30 : 38, 21);
    l->setBuddy(e);
    return e;
}

} // namespace

TformRate::TformRate(const QString& iniPath, refdata::ReferenceDatabase& db, QWidget* parent)
    : ListWindow(iniPath, db, u"FARE_CURRENCY_RATE"_s, u"formRate"_s, u"Currency Rate"_s,
                 QSize(426, 288), QPoint(264, 206), base::section::RateWindow, parent),
      gbtRates(browser()),
      m_db(db)
{
    QFrame* frame = makeFrame(QRect(4, 4, 418, 246));
    DBNavigator3 = makeNavigator(frame, u"DBNavigator3"_s, QRect(5, 6, 125, 25));

    auto* strip = new QFrame(frame);
    strip->setFrameShape(QFrame::StyledPanel);
    strip->setFrameShadow(QFrame::Sunken);
    strip->setGeometry(136, 2, 277, 33);
    eCurrencyFrom = filterField(strip, u"eCurrencyFrom"_s, u"From"_s, 6, 30);
    eCurrencyTo = filterField(strip, u"eCurrencyTo"_s, u"To"_s, 82, 18);
    eCarrier = filterField(strip, u"eCarrier"_s, u"Carrier"_s, 146, 42);
    eCurrencyFrom->setText(u"USD"_s);
    eCurrencyTo->setText(u"RUB"_s);
    eCarrier->setText(u"SU"_s);
    buttonFilter = new QPushButton(strip);
    buttonFilter->setObjectName(u"buttonFilter"_s);
    buttonFilter->setIcon(funnelIcon());
    buttonFilter->setToolTip(u"Apply filter"_s);
    buttonFilter->setGeometry(246, 4, 25, 23);
    buttonFilter->setDefault(true);

    RateGrid = makeGrid(frame, u"RateGrid"_s,
                        {{u"RATE_VALID_FROM"_s, u"Valid From"_s, 70},
                         {u"RATE_VALID_TO"_s, u"Valid To"_s, 70},
                         {u"CARRIER_CODE"_s, u"Carr"_s, 30},
                         {u"CURRENCY_FROM"_s, u"FROM"_s, 40},
                         {u"CURRENCY_TO"_s, u"TO"_s, 40},
                         {u"RATE_AMOUNT"_s, u"RATE"_s, 100}},
                        QRect(5, 38, 408, 203));
    RateGrid->browserModel().setNumberMask(u"RATE_AMOUNT"_s, u"0.0000"_s);
    RateValidity = new RateValidityDelegate(*RateGrid, [] { return QDate::currentDate(); });
    RateGrid->setItemDelegate(RateValidity);

    bNew = makeButton(u"bNew"_s, u"New"_s, QRect(4, 257, 75, 25));
    bEdir = makeButton(u"bEdir"_s, u"Edit"_s, QRect(85, 257, 75, 25));
    bDelete = makeButton(u"bDelete"_s, u"Delete"_s, QRect(166, 257, 75, 25));
    bImport = makeButton(u"bImport"_s, u"Import\u2026"_s, QRect(247, 257, 75, 25));
    bImport->setToolTip(u"Import rates from a CSV file (FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO)"_s);
    bClose = makeCloseButton(u"bClose"_s, QRect(347, 257, 75, 25));
    chainTabOrder({eCurrencyFrom, eCurrencyTo, eCarrier, buttonFilter, RateGrid, bNew, bEdir,
                   bDelete, bImport, bClose});
    // From the user's documents the first time, then from the folder of the last file.
    chooseImportFile = [folder = QString()](QWidget* parent) mutable {
        if (folder.isEmpty())
            folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QFileInfo(folder).isDir())
            folder = QDir::homePath();
        const QString file = QFileDialog::getOpenFileName(
            parent, u"Import Rates"_s, folder, u"Rate tables (*.csv *.txt);;All files (*)"_s);
        if (!file.isEmpty())
            folder = QFileInfo(file).absolutePath();
        return file;
    };

    formNewRate = new TformNewRate(this);

    connect(buttonFilter, &QPushButton::clicked, this, &TformRate::buttonFilterClick);
    connect(bNew, &QPushButton::clicked, this, &TformRate::bNewClick);
    connect(bEdir, &QPushButton::clicked, this, &TformRate::bEdirClick);
    connect(bDelete, &QPushButton::clicked, this, &TformRate::bDeleteClick);
    connect(bImport, &QPushButton::clicked, this, &TformRate::bImportClick);
    connect(RateGrid, &BrowserGrid::gridDblClick, this, &TformRate::RateGridDblClick);
    FormCreate();
}

void TformRate::FormCreate()
{
    ListWindow::FormCreate();
    const base::RateFilter filter = base::readRateFilter(iniPath());
    eCurrencyFrom->setText(filter.from);
    eCurrencyTo->setText(filter.to);
    eCarrier->setText(filter.carrier);
}

void TformRate::FormClose()
{
    base::writeRateWindow(iniPath(), pos(),
                         {eCurrencyFrom->text(), eCurrencyTo->text(), eCarrier->text()});
}

// FormActivate: the filter is applied whenever the list becomes the program's active
// window, its opening included. The opening applies it when the window shows, as not every
// window system activates it (a display without a window manager, the offscreen one); the
// activation that follows the showing does not apply it a second time.
void TformRate::showEvent(QShowEvent* event)
{
    ListWindow::showEvent(event);
    m_appliedOnShow = true;
    buttonFilterClick();
}

void TformRate::changeEvent(QEvent* event)
{
    ListWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow() && !m_appliedOnShow)
        buttonFilterClick();
    m_appliedOnShow = false;
}

void TformRate::buttonFilterClick()
{
    try {
        gbtRates.setFiltered(false);
        if (gbtRates.isOpen())
            gbtRates.setIndexFieldNames(RateOrder);
        QString filter;
        const QString from = eCurrencyFrom->text();
        const QString to = eCurrencyTo->text();
        const QString carrier = eCarrier->text();
        if (!from.isEmpty())
            filter = u" CURRENCY_FROM='"_s + quoted(from) + u"'"_s;
        if (!to.isEmpty()) {
            if (filter.isEmpty())
                filter = u"CURRENCY_TO='"_s + quoted(to) + u"' "_s;
            else
                filter += u" and CURRENCY_TO='"_s + quoted(to) + u"'"_s;
        }
        if (!carrier.isEmpty()) {
            if (filter.isEmpty())
                filter = u"CARRIER_CODE='"_s + quoted(carrier) + u"'"_s;
            else
                filter += u" and CARRIER_CODE='"_s + quoted(carrier) + u"'"_s;
        }
        gbtRates.setFilter(filter);
        gbtRates.setFiltered(true);
    } catch (const std::exception&) {
        // A filter that cannot be applied leaves the list as it is, without a message.
    }
}

void TformRate::fillDialog(EditMode mode)
{
    TformNewRate& d = *formNewRate;
    d.eCarrier->setText(gbtRates.text(u"CARRIER_CODE"_s));
    d.eFromCurrency->setText(gbtRates.text(u"CURRENCY_FROM"_s));
    d.eToCurrency->setText(gbtRates.text(u"CURRENCY_TO"_s));
    d.eRateValue->setValue(gbtRates.number(u"RATE_AMOUNT"_s));
    const QDate today = QDate::currentDate();
    QDate from = today;
    QDate to = today;
    if (mode == EditMode::Edit) {
        // On an empty list the pickers show today.
        if (const QDateTime v = gbtRates.dateTime(u"RATE_VALID_FROM"_s); v.isValid())
            from = v.date();
        if (const QDateTime v = gbtRates.dateTime(u"RATE_VALID_TO"_s); v.isValid())
            to = v.date();
    }
    d.dtpValidFrom->setDate(from);
    d.dtpValidTo->setDate(to);
}

QString TformRate::refusal() const
{
    // A rate without its codes or above nothing would be found by no lookup, or convert
    // every fare to nothing.
    const TformNewRate& d = *formNewRate;
    if (d.eCarrier->text().trimmed().isEmpty())
        return EmptyCarrierMessage;
    if (d.eFromCurrency->text().trimmed().isEmpty())
        return EmptyFromMessage;
    if (d.eToCurrency->text().trimmed().isEmpty())
        return EmptyToMessage;
    if (d.eRateValue->value() <= 0)
        return RateValueMessage;
    return d.dtpValidTo->date() < d.dtpValidFrom->date() ? DateOrderMessage : QString();
}

void TformRate::writeRow()
{
    const TformNewRate& d = *formNewRate;
    gbtRates.setText(u"CARRIER_CODE"_s, d.eCarrier->text());
    gbtRates.setDateTime(u"RATE_VALID_FROM"_s, QDateTime(d.dtpValidFrom->date(), QTime(0, 0)));
    gbtRates.setDateTime(u"RATE_VALID_TO"_s, QDateTime(d.dtpValidTo->date(), QTime(0, 0)));
    gbtRates.setText(u"CURRENCY_FROM"_s, d.eFromCurrency->text());
    gbtRates.setText(u"CURRENCY_TO"_s, d.eToCurrency->text());
    gbtRates.setNumber(u"RATE_AMOUNT"_s, d.eRateValue->value());
}

void TformRate::afterPost(EditMode mode)
{
    if (mode == EditMode::New)
        gbtRates.first();
}

void TformRate::bNewClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::New); });
}

void TformRate::bEdirClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::Edit); });
}

void TformRate::RateGridDblClick()
{
    bEdirClick();
}

void TformRate::bDeleteClick()
{
    if (!base::ui::askOkCancel(this, u"Currency Rate"_s, DeleteQuestion, QMessageBox::Information,
                     QMessageBox::Cancel))
        return;
    try {
        gbtRates.deleteRow();
    } catch (const std::exception& e) {
        reportCanceled(e);
    }
}

void TformRate::bImportClick()
{
    const QString path = chooseImportFile(this);
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        base::ui::showMessage(this, u"%1 cannot be read: %2."_s.arg(path, file.errorString()));
        return;
    }
    base::ui::runReported(this, [&] {
        refdata::RateImport import = refdata::readRateFile(file.readAll());
        refdata::Connection& connection = m_db.IBDatabase;
        if (import.problems.empty()) {
            m_db.connectIfNeeded();
            refdata::checkAgainstDatabase(import, connection);
        }
        if (!import.problems.empty()) {
            constexpr std::size_t shown = 15;
            QStringList lines;
            for (std::size_t i = 0; i < std::min(shown, import.problems.size()); ++i)
                lines << refdata::problemText(name, import.problems[i]);
            if (import.problems.size() > shown)
                lines << u"... and %1 more"_s.arg(import.problems.size() - shown);
            base::ui::showMessage(this, lines.join(u'\n') +
                                            u"\n\nNothing was written: mend the file and "
                                            u"import it again."_s);
            return;
        }
        QString text = refdata::rateListing(import);
        const QStringList overlaps = refdata::overlapTexts(name, import);
        if (!overlaps.isEmpty())
            text += u"\n\nThese rows overlap stored rates of the same pair and carrier:\n"_s +
                    overlaps.mid(0, 10).join(u'\n') +
                    (overlaps.size() > 10 ? u"\n... and %1 more"_s.arg(overlaps.size() - 10)
                                          : QString());
        text += u"\n\nWrite them?"_s;
        QMessageBox box(QMessageBox::Question, base::ui::MessageTitle.toString(), text,
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        box.setDefaultButton(QMessageBox::Cancel);
        if (!overlaps.isEmpty()) {
            auto* replace = new QCheckBox(u"Replace the stored rates they overlap"_s);
            replace->setObjectName(u"cbReplace"_s);
            box.setCheckBox(replace);
        }
        if (box.exec() != QMessageBox::Ok)
            return;
        const bool replace = box.checkBox() && box.checkBox()->isChecked();
        if (!overlaps.isEmpty() && !replace) {
            base::ui::showMessage(this, u"Nothing was written: rows overlap stored rates. Tick "
                                        u"\"Replace the stored rates they overlap\" to write "
                                        u"them in their place."_s);
            return;
        }
        const int replaced = refdata::writeRates(import, connection, replace);
        gbtRates.refresh();
        base::ui::showMessage(
            this, replaced > 0
                      ? u"Wrote %1 in place of %2."_s.arg(
                            refdata::rateCount(import.rows.size()),
                            refdata::rateCount(std::size_t(replaced)).replace(u"rate"_s,
                                                                             u"stored rate"_s))
                      : u"Wrote %1."_s.arg(refdata::rateCount(import.rows.size())));
    });
}

// ---------------------------------------------------------------------------------------
// RateValidityDelegate

RateValidityDelegate::RateValidityDelegate(BrowserGrid& grid, std::function<QDate()> today)
    : QStyledItemDelegate(&grid), m_grid(grid), m_today(std::move(today))
{
}

refdata::RateValidity RateValidityDelegate::validityOf(const QModelIndex& index) const
{
    const QAbstractItemModel* model = index.model();
    if (!model)
        return refdata::RateValidity::Unknown;
    auto value = [&](const QString& field) -> refdata::DbValue {
        const int column = m_grid.columnOf(field);
        if (column < 0)
            return {};
        const QVariant v = model->index(index.row(), column).data(Qt::EditRole);
        if (v.typeId() == QMetaType::QDate)
            return v.toDate();
        return {};
    };
    return refdata::rateValidity(value(u"RATE_VALID_FROM"_s), value(u"RATE_VALID_TO"_s),
                                 m_today());
}

void RateValidityDelegate::styleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    switch (validityOf(index)) {
    case refdata::RateValidity::Ended:
        // The palette's own colour for text that does not count, in light and dark themes.
        option->palette.setColor(QPalette::Text,
                                 option->palette.color(QPalette::Disabled, QPalette::Text));
        break;
    case refdata::RateValidity::NotYetValid:
        option->font.setItalic(true);
        break;
    case refdata::RateValidity::ValidToday:
        // The dates stay regular: in bold they no longer fit their columns.
        if (index.column() != m_grid.columnOf(u"RATE_VALID_FROM"_s) &&
            index.column() != m_grid.columnOf(u"RATE_VALID_TO"_s))
            option->font.setBold(true);
        break;
    case refdata::RateValidity::Unknown:
        break;
    }
}

void RateValidityDelegate::initStyleOption(QStyleOptionViewItem* option,
                                           const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    styleOption(option, index);
}

bool RateValidityDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                     const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && event->type() == QEvent::ToolTip && index.isValid()) {
        QToolTip::showText(event->globalPos(), refdata::rateValidityText(validityOf(index)), view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
