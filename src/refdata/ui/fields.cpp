#include "refdata/ui/fields.h"

#include "base/numbers.h"
#include "refdata/dberror.h"

#include <QApplication>
#include <QToolTip>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace refdata::ui {

QValidator::State UpperCaseValidator::validate(QString& input, int& /*pos*/) const
{
    input = input.toUpper();
    return Acceptable;
}

QLineEdit* makeTextField(QWidget* parent, const QString& name, int maxLength, bool upperCase)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    if (upperCase)
        edit->setValidator(new UpperCaseValidator(edit));
    return edit;
}

NumberValidator::NumberValidator(int decimals, QObject* parent)
    : QValidator(parent), m_decimals(decimals)
{
}

QValidator::State NumberValidator::validate(QString& input, int& /*pos*/) const
{
    input.replace(u',', u'.');
    constexpr int MaxDigits = 15;
    int digits = 0;
    int decimals = -1; // -1: no point yet
    for (const QChar c : std::as_const(input)) {
        if (c == u'.') {
            if (m_decimals == 0 || decimals >= 0)
                return Invalid;
            decimals = 0;
        } else if (c >= u'0' && c <= u'9') {
            if (decimals >= 0) {
                if (++decimals > m_decimals)
                    return Invalid;
            } else if (++digits > MaxDigits) {
                return Invalid;
            }
        } else {
            return Invalid;
        }
    }
    return Acceptable;
}

QString NumberValidator::hint() const
{
    return m_decimals > 0
               ? u"Only digits and one decimal point (\".\" or \",\"), with at most %1 decimals."_s
                     .arg(m_decimals)
               : u"Only digits."_s;
}

NumberEdit::NumberEdit(QWidget* parent, const QString& name, int decimals, const QString& mask)
    : QLineEdit(parent), m_decimals(decimals), m_mask(mask),
      m_validator(new NumberValidator(decimals, this))
{
    setObjectName(name);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setValidator(m_validator);
    connect(this, &QLineEdit::inputRejected, this, &NumberEdit::refuse);
    // Typing without the focus (a paste by the mouse) edits as well.
    connect(this, &QLineEdit::textEdited, this, [this] { m_editing = true; });
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (!hasFocus())
            commit();
    });
    showMasked();
}

double NumberEdit::rounded(double v) const
{
    if (!std::isfinite(v))
        return 0;
    QString decimalsMask = u"0"_s;
    if (m_decimals > 0)
        decimalsMask += u"."_s + QString(m_decimals, u'0');
    return base::numbers::parseDecimal(base::numbers::formatMask(v, decimalsMask)).value_or(0);
}

double NumberEdit::parse(const QString& text) const
{
    return rounded(base::numbers::parseDecimal(text).value_or(0));
}

double NumberEdit::value() const
{
    return m_editing ? parse(text()) : m_value;
}

void NumberEdit::setValue(double v)
{
    m_value = rounded(v);
    if (hasFocus()) {
        m_editing = true;
        setText(plainText(m_value));
    } else {
        m_editing = false;
        showMasked();
    }
}

void NumberEdit::setValueText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        setValue(0);
        return;
    }
    if (m_decimals == 0) {
        const auto n = base::numbers::parseInteger(t);
        if (!n)
            throw RefDataError(u"'%1' is not a valid integer value"_s.arg(text));
        setValue(*n);
        return;
    }
    const auto v = base::numbers::parseDecimal(t);
    if (!v)
        throw RefDataError(u"'%1' is not a valid floating point value"_s.arg(text));
    setValue(*v);
}

QString NumberEdit::plainText(double v)
{
    return v == 0 ? QString() : base::numbers::formatGeneral(v);
}

QString NumberEdit::valueText() const
{
    return plainText(value());
}

void NumberEdit::showMasked()
{
    setText(m_value == 0 ? QString() : base::numbers::formatMask(m_value, m_mask));
}

void NumberEdit::commit()
{
    if (m_editing)
        m_value = parse(text());
    m_editing = false;
    showMasked();
}

void NumberEdit::refuse()
{
    QApplication::beep();
    QToolTip::showText(mapToGlobal(QPoint(0, height())), m_validator->hint(), this);
}

void NumberEdit::focusInEvent(QFocusEvent* event)
{
    if (!m_editing) {
        m_editing = true;
        setText(plainText(m_value));
    }
    QLineEdit::focusInEvent(event);
}

void NumberEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    commit();
}

} // namespace refdata::ui
