// The base of the four list windows: a fixed-size dialog with a framed area holding a
// navigator and a grid over the window's table browser, buttons under the frame, its
// position remembered in its own settings section, and the New / Edit flow through its
// edit dialog. The menu opens a list with showList().
#pragma once

#include "refdata/tablebrowser.h"
#include "refdata/ui/browsergrid.h"
#include "refdata/ui/editdialog.h"
#include "refdata/ui/navigator.h"

#include <QDialog>
#include <QPoint>

class QFrame;
class QPushButton;

namespace refdata::ui {

class ListWindow : public QDialog {
    Q_OBJECT
public:
    // The text that follows a save or delete failure's own text.
    static const QString CanceledSuffix;

    // Opens the table browser (connecting the database if needed), shows the list
    // modally and closes the browser when the list closes, on every path. An error while
    // opening is raised to the caller and the list is not shown. Returns the dialog's
    // result.
    int showList();

    TableBrowser& browser() { return m_browser; }
    BrowserGrid& grid() { return *m_grid; }
    const QString& iniPath() const { return m_iniPath; }

protected:
    enum class EditMode { New, Edit };

    // size is the client area; position the designed one, read from section at creation.
    ListWindow(const QString& iniPath, ReferenceDatabase& db, const QString& tableName,
               const QString& name, const QString& title, QSize size, QPoint designed,
               QStringView section, QWidget* parent);

    // The framed area and its parts, built by each window in its own layout.
    QFrame* makeFrame(const QRect& geometry);
    DBNavigator* makeNavigator(QWidget* parent, const QString& name, const QRect& geometry);
    BrowserGrid* makeGrid(QWidget* parent, const QString& name, std::vector<GridColumn> columns,
                          const QRect& geometry);
    QPushButton* makeButton(const QString& name, const QString& caption, const QRect& geometry);
    // A button that closes the window (Esc).
    QPushButton* makeCloseButton(const QString& name, const QRect& geometry);

    // The shared New / Edit flow: title suffix, fill, show; only Save goes on to the
    // check and, under a guard, to Append or Edit, write, Post and what follows. A failure
    // there cancels the browser's changes and shows its text with CanceledSuffix. After a
    // refusal (the check's or the database's) the dialog opens again with what was typed,
    // until it is saved or cancelled; an edited row that is gone from the list meanwhile
    // ends the flow instead, so the typing never lands on another row.
    void runEdit(EditMode mode);
    virtual EditDialog& editDialog() = 0;
    // Fills the dialog from the list's current row (empty texts and zero on an empty list).
    virtual void fillDialog(EditMode mode) = 0;
    // The message that refuses the dialog's values; empty when they may be written.
    virtual QString refusal() const = 0;
    // Writes the dialog's values to the row's columns.
    virtual void writeRow() = 0;
    // What follows a successful post (moving the list, for some windows).
    virtual void afterPost(EditMode) {}

    // Shows a failure of a change: the browser's changes are cancelled, then the text.
    void reportCanceled(const std::exception& e);

    // Reads the remembered position (FormCreate); writes it when the window closes.
    void FormCreate();
    virtual void FormClose();
    void done(int result) override;

    QStringView section() const { return m_section; }

private:
    // The key values of the current row; empty on an empty list.
    QStringList currentKey() const;

    QString m_iniPath;
    TableBrowser m_browser;
    QPoint m_designed;
    QStringView m_section;
    BrowserGrid* m_grid = nullptr;
};

} // namespace refdata::ui
