#include "rates/ui/rateselector.h"

#include "rates/ratelookup.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>

TSetectRateForm::TSetectRateForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SetectRateForm"));
    setWindowTitle(QStringLiteral("Select rate amount"));
    setFixedSize(247, 133);

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
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return lRateAmount->text();
}

void TSetectRateForm::CurrencySelectorClick()
{
    const QList<QListWidgetItem*> selected = CurrencySelector->selectedItems();
    if (!selected.isEmpty())
        lRateAmount->setText(rates::rateFromItem(selected.first()->text()));
}

void TSetectRateForm::CurrencySelectorDblClick() { accept(); }

bool TSetectRateForm::CurrencySelectorKeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        accept();
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
