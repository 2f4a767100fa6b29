#include "app/ui/setupform.h"

#include "base/ui/messages.h"

#include <QButtonGroup>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QValidator>

namespace {

// Upper-cases what is typed.
class UpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

constexpr int margin = 8;
constexpr int fieldWidth = 267 - 2 * margin;

} // namespace

TformSetup::TformSetup(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("formSetup"));
    setWindowTitle(QStringLiteral("Setup"));
    setFixedSize(267, 409);
    // The longest caption must fit the dialog's narrow column.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    int y = margin;
    const auto field = [&](const char* name, const QString& caption) {
        auto* label = new QLabel(caption, this);
        label->setGeometry(margin, y, fieldWidth, 13);
        y += 13;
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(margin, y, fieldWidth, 20);
        label->setBuddy(edit);
        y += 22;
        return edit;
    };
    const auto separator = [&] {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setGeometry(margin, y, fieldWidth, 4);
        y += 6;
    };

    eFareRegExp = field("eFareRegExp", QStringLiteral("FARE Expression:"));
    eEquivRegExp = field("eEquivRegExp", QStringLiteral("EQUIV Expression:"));
    eTaxRegExp = field("eTaxRegExp", QStringLiteral("TAX Expression:"));
    eFirstCarrier = field("eFirstCarrier", QStringLiteral("Carrier on first flight segment:"));
    eFVElement = field("eFVElement", QStringLiteral("Carrier on FV (Validating Carrier) element:"));
    separator();
    eFareMask = field("eFareMask", QStringLiteral("FARE output MASK:"));
    eTaxMask = field("eTaxMask", QStringLiteral("TAX output MASK:"));
    separator();
    eCurrencyTo = field("eCurrencyTo", QStringLiteral("FARE and TAX convert to currency:"));
    eCurrencyTo->setMaxLength(3);
    eCurrencyTo->setValidator(new UpperCase(eCurrencyTo));

    y += 2;
    const auto radio = [&](const char* name, const QString& caption) {
        auto* button = new QRadioButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(margin, y, fieldWidth, 17);
        y += 18;
        return button;
    };
    cbGetTaxFromDBPrice = radio("cbGetTaxFromDBPrice", QStringLiteral("Convert TAX amount via Airline Rate"));
    cbGetBSRFromVLM = radio("cbGetBSRFromVLM", QStringLiteral("Convert TAX amount via Velmora FQC"));
    cbGetTaxFromOrgCurrency =
        radio("cbGetTaxFromOrgCurrency", QStringLiteral("Convert Tax use original TAX currency"));
    auto* group = new QButtonGroup(this);
    group->addButton(cbGetTaxFromDBPrice);
    group->addButton(cbGetBSRFromVLM);
    group->addButton(cbGetTaxFromOrgCurrency);

    bSave = new QPushButton(QStringLiteral("Save"), this);
    bSave->setObjectName(QStringLiteral("bSave"));
    bClose = new QPushButton(QStringLiteral("Cancel"), this);
    bClose->setObjectName(QStringLiteral("bClose"));
    const int buttonsTop = 409 - margin - 25;
    bSave->setGeometry(267 - margin - 2 * 75 - 6, buttonsTop, 75, 25);
    bClose->setGeometry(267 - margin - 75, buttonsTop, 75, 25);
    bSave->setDefault(true);
    connect(bSave, &QPushButton::clicked, this, &TformSetup::bSaveClick);
    connect(bClose, &QPushButton::clicked, this, &QDialog::reject);

    // Tab order: the fields, the tax modes, Save, Cancel.
    QWidget* order[] = {eFareRegExp,     eEquivRegExp,        eTaxRegExp,      eFirstCarrier,
                        eFVElement,      eFareMask,           eTaxMask,        eCurrencyTo,
                        cbGetTaxFromDBPrice, cbGetBSRFromVLM, cbGetTaxFromOrgCurrency, bSave,
                        bClose};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TformSetup::fill(const base::Settings& v)
{
    eFareRegExp->setText(v.fareRegExp);
    eEquivRegExp->setText(v.equivRegExp);
    eTaxRegExp->setText(v.taxRegExp);
    eFirstCarrier->setText(v.segmentFv);
    eFVElement->setText(v.elementFv);
    eFareMask->setText(v.fareMask);
    eTaxMask->setText(v.taxMask);
    eCurrencyTo->setText(v.currencyTo);
    // Long patterns show from their start.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        e->setCursorPosition(0);
    // The own-currency mode decides when the file holds both flags.
    cbGetBSRFromVLM->setChecked(v.getTaxBsr);
    cbGetTaxFromOrgCurrency->setChecked(v.getTaxOrgCurrency);
    if (!v.getTaxBsr && !v.getTaxOrgCurrency)
        cbGetTaxFromDBPrice->setChecked(true);
}

void TformSetup::take(base::Settings& v) const
{
    v.fareRegExp = eFareRegExp->text();
    v.equivRegExp = eEquivRegExp->text();
    v.taxRegExp = eTaxRegExp->text();
    v.segmentFv = eFirstCarrier->text();
    v.elementFv = eFVElement->text();
    v.fareMask = eFareMask->text();
    v.taxMask = eTaxMask->text();
    v.currencyTo = eCurrencyTo->text().left(3);
    v.getTaxBsr = cbGetBSRFromVLM->isChecked();
    v.getTaxOrgCurrency = cbGetTaxFromOrgCurrency->isChecked();
}

void TformSetup::bSaveClick()
{
    base::Settings edited = m_editing;
    take(edited);
    if (const QString problem = m_save ? m_save(edited) : QString(); !problem.isEmpty()) {
        base::ui::showMessage(this, problem);
        return;
    }
    accept();
}

void TformSetup::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    // Showing gives the first field its focus as the tab key would, which selects its
    // whole text: the first key typed would replace the pattern. The dialog opens with
    // the cursor at the start of the field and nothing selected.
    if (visible) {
        eFareRegExp->deselect();
        eFareRegExp->setCursorPosition(0);
    }
}

bool TformSetup::edit(const base::Settings& values, const Saver& save)
{
    m_editing = values;
    m_save = save;
    fill(values);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    eFareRegExp->setFocus();
    const bool saved = exec() == QDialog::Accepted;
    m_save = nullptr;
    return saved;
}
