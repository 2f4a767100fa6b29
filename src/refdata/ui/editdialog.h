// The base of the edit dialogs: a fixed-size dialog in the maintenance windows' font at
// its designed position, with fields placed under their labels, "Save" as the default
// button and a cancel button, and a title that a list window extends while it is shown.
#pragma once

#include <QDialog>

#include <initializer_list>

class QLabel;
class QLineEdit;
class QPushButton;

namespace refdata::ui {

class EditDialog : public QDialog {
    Q_OBJECT
public:
    QPushButton* bSave;
    QPushButton* bCancel;

    // The designed title, without a suffix.
    const QString& baseTitle() const { return m_baseTitle; }

    // Adds a suffix (" (New)", " (Edit)") to the title; the title is set back when the
    // object ends, whatever happened in between.
    class TitleSuffix {
    public:
        TitleSuffix(EditDialog& dialog, const QString& suffix);
        ~TitleSuffix();
        TitleSuffix(const TitleSuffix&) = delete;
        TitleSuffix& operator=(const TitleSuffix&) = delete;

    private:
        EditDialog& m_dialog;
    };

protected:
    // size is the client area, position the designed top-left corner.
    EditDialog(QWidget* parent, const QString& name, const QString& title, QSize size,
               QPoint position, const QString& cancelCaption);

    // A label above a field, both at x; the field's top at y, its label 16 pixels above.
    template <typename Field>
    Field* place(Field* field, const QString& label, int x, int y, int width)
    {
        placeField(field, label, x, y, width);
        return field;
    }
    // Save and the cancel button side by side, the cancel button's right edge at right.
    void placeButtons(int right, int y);

private:
    void placeField(QWidget* field, const QString& label, int x, int y, int width);

    QString m_baseTitle;
};

// The font of every maintenance window: 8-point sans-serif.
QFont maintenanceFont();

// Sets the tab order of the controls to the order given.
void chainTabOrder(std::initializer_list<QWidget*> controls);

} // namespace refdata::ui
