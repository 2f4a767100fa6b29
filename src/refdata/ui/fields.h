// The input fields of the edit dialogs: one-line texts limited in length and upper-cased
// as typed, and number fields that show their value through a mask when not being edited.
#pragma once

#include <QLineEdit>
#include <QValidator>

namespace refdata::ui {

// Upper-cases whatever is typed or pasted.
class UpperCaseValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// A one-line text of at most maxLength characters, upper-cased as typed when asked.
QLineEdit* makeTextField(QWidget* parent, const QString& name, int maxLength, bool upperCase);

// What a number field takes as typed or pasted: digits and, with decimals, one decimal
// point, for which "," counts as "." (comma-decimal keyboards). Anything else is refused
// whole, never dropped around the digits.
class NumberValidator : public QValidator {
    Q_OBJECT
public:
    NumberValidator(int decimals, QObject* parent);
    State validate(QString& input, int& pos) const override;
    // What the field takes, as the agent is told when a key is refused.
    QString hint() const;

private:
    int m_decimals;
};

// A number field: its value is kept rounded to the given decimals; while not being edited
// it shows the value through its mask, a zero value as an empty field; while being edited
// it shows the plain number. A key or paste it cannot take is refused with a beep and a
// tooltip that says what it takes; the field stays as it was.
class NumberEdit : public QLineEdit {
    Q_OBJECT
public:
    NumberEdit(QWidget* parent, const QString& name, int decimals, const QString& mask);

    double value() const;
    // Rounds to the field's decimals (halves away from zero) and shows it.
    void setValue(double v);
    // Reads a stored text: empty is 0, anything else must be a number of the field's
    // kind (a whole number when it has no decimals), else RefDataError.
    void setValueText(const QString& text);
    // The value as stored text: its digits without leading zeros (the shortest form),
    // empty for 0.
    QString valueText() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void commit();     // takes the typed text as the value and shows it masked
    void showMasked(); // the value as shown while not being edited
    double parse(const QString& text) const;
    static QString plainText(double v);
    double rounded(double v) const;
    void refuse();

    int m_decimals;
    QString m_mask;
    NumberValidator* m_validator;
    double m_value = 0;
    bool m_editing = false;
};

} // namespace refdata::ui
