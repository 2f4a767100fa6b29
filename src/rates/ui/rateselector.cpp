#include "rates/ui/rateselector.h"

#include "rates/ratelookup.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace {
constexpr int DesignedWidth = 247;
constexpr int DesignedHeight = 133;
} // namespace

TSetectRateForm::TSetectRateForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SetectRateForm"));
    setWindowTitle(QStringLiteral("Select rate amount"));
    setFixedSize(DesignedWidth, DesignedHeight);

    auto* strip = new QWidget(this);
    strip->setFixedHeight(17);
    auto* caption = new QLabel(QStringLiteral("Current Rate:"), strip);
    lRateAmount = new QLabel(QStringLiteral("0"), strip);
    lRateAmount->setObjectName(QStringLiteral("lRateAmount"));
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(4, 0, 4, 0);
    stripLayout->addWidget(caption);
    stripLayout->addWidget(lRateAmount, 1);

    CurrencySelector = new QListWidget(this);
    CurrencySelector->setObjectName(QStringLiteral("CurrencySelector"));
    CurrencySelector->installEventFilter(this);
    // The rate stands at the end of each item and is all that tells the items apart:
    // the dialog is made wide enough for the whole item instead of cutting or scrolling.
    CurrencySelector->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CurrencySelector->setTextElideMode(Qt::ElideNone);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip);
    layout->addWidget(CurrencySelector, 1);

    connect(CurrencySelector, &QListWidget::itemSelectionChanged, this,
            &TSetectRateForm::CurrencySelectorClick);
    connect(CurrencySelector, &QListWidget::itemDoubleClicked, this,
            &TSetectRateForm::CurrencySelectorDblClick);
}

std::optional<QString> TSetectRateForm::choose(const QStringList& items)
{
    CurrencySelector->clear();
    CurrencySelector->addItems(items);
    lRateAmount->setText(QStringLiteral("0.0000"));
    fitItems();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return lRateAmount->text();
}

void TSetectRateForm::fitItems()
{
    // An item view leaves a focus frame margin and one pixel on each side of the text.
    const int textMargin =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, CurrencySelector) + 1);
    const QFontMetrics fm = CurrencySelector->fontMetrics();
    int widest = 0;
    for (int i = 0; i < CurrencySelector->count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(CurrencySelector->item(i)->text()));
    // Room for the frame and for the vertical scroll bar that a long list shows.
    const int needed = widest + textMargin + 2 * CurrencySelector->frameWidth() +
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                            CurrencySelector->verticalScrollBar());
    int width = std::max(DesignedWidth, needed);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width());
    setFixedSize(width, DesignedHeight);
}

void TSetectRateForm::CurrencySelectorClick()
{
    const QList<QListWidgetItem*> selected = CurrencySelector->selectedItems();
    if (!selected.isEmpty())
        lRateAmount->setText(rates::rateFromItem(selected.first()->text()));
}

void TSetectRateForm::CurrencySelectorDblClick()
{
    accept();
}

bool TSetectRateForm::CurrencySelectorKeyPress(int key)
{
    const bool nothingSelected = CurrencySelector->selectedItems().isEmpty();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // OK without a choice would return no rate although the list holds rates: the
        // dialog stays open until an item is chosen or the choice is cancelled.
        if (nothingSelected)
            QApplication::beep();
        else
            accept();
        return true;
    }
    // The list makes its first item current without selecting it, so its own Down
    // would select the second item: from nothing selected, Down and Up choose the first.
    if ((key == Qt::Key_Down || key == Qt::Key_Up) && nothingSelected &&
        CurrencySelector->count() > 0) {
        CurrencySelector->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        return true;
    }
    if (key == Qt::Key_Escape) {
        reject();
        return true;
    }
    return false;
}

bool TSetectRateForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == CurrencySelector && event->type() == QEvent::KeyPress)
        return CurrencySelectorKeyPress(static_cast<QKeyEvent*>(event)->key());
    return QDialog::eventFilter(watched, event);
}
