#include "refdata/ui/listwindow.h"

#include "base/settings.h"
#include "base/ui/messages.h"
#include "base/ui/placement.h"

#include <QFrame>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace refdata::ui {

const QString ListWindow::CanceledSuffix = u" Operation canceled"_s;

ListWindow::ListWindow(const QString& iniPath, ReferenceDatabase& db, const QString& tableName,
                       const QString& name, const QString& title, QSize size, QPoint designed,
                       QStringView section, QWidget* parent)
    : QDialog(parent), m_iniPath(iniPath), m_browser(db), m_designed(designed), m_section(section)
{
    setObjectName(name);
    setWindowTitle(title);
    setFont(maintenanceFont());
    setFixedSize(size);
    m_browser.setTableName(tableName);
}

QFrame* ListWindow::makeFrame(const QRect& geometry)
{
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(geometry);
    return frame;
}

DBNavigator* ListWindow::makeNavigator(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* navigator = new DBNavigator(m_browser, name, parent);
    navigator->setGeometry(geometry);
    return navigator;
}

BrowserGrid* ListWindow::makeGrid(QWidget* parent, const QString& name,
                                  std::vector<GridColumn> columns, const QRect& geometry)
{
    m_grid = new BrowserGrid(m_browser, name, std::move(columns), parent);
    m_grid->setGeometry(geometry);
    return m_grid;
}

QPushButton* ListWindow::makeButton(const QString& name, const QString& caption,
                                    const QRect& geometry)
{
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setGeometry(geometry);
    return b;
}

QPushButton* ListWindow::makeCloseButton(const QString& name, const QRect& geometry)
{
    QPushButton* b = makeButton(name, u"Close"_s, geometry);
    connect(b, &QPushButton::clicked, this, &QDialog::reject);
    return b;
}

int ListWindow::showList()
{
    m_browser.open();
    struct Closer {
        TableBrowser& browser;
        ~Closer() { browser.close(); }
    } closer{m_browser};
    return exec();
}

void ListWindow::FormCreate()
{
    move(base::ui::placement(base::readWindowPosition(m_iniPath, m_section, m_designed),
                             frameGeometry().size(), m_designed));
}

void ListWindow::FormClose()
{
    base::writeWindowPosition(m_iniPath, m_section, pos());
}

void ListWindow::done(int result)
{
    // The settings file's errors are ignored: the functions report them by their result.
    try {
        FormClose();
    } catch (const std::exception&) {
    }
    QDialog::done(result);
}

void ListWindow::reportCanceled(const std::exception& e)
{
    try {
        m_browser.cancel();
    } catch (const std::exception&) {
        // The failure being reported is the one that counts.
    }
    base::ui::showMessage(this, base::errorText(e) + CanceledSuffix);
}

QStringList ListWindow::currentKey() const
{
    QStringList key;
    if (!m_browser.isEmpty()) {
        for (const QString& column : m_browser.shape().keyColumns)
            key.append(m_browser.text(column));
    }
    return key;
}

void ListWindow::runEdit(EditMode mode)
{
    EditDialog& dialog = editDialog();
    const EditDialog::TitleSuffix suffix(dialog,
                                         mode == EditMode::New ? u" (New)"_s : u" (Edit)"_s);
    fillDialog(mode);
    const QStringList edited = currentKey();
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (const QString message = refusal(); !message.isEmpty()) {
            base::ui::showMessage(this, message);
            continue;
        }
        try {
            if (mode == EditMode::New)
                m_browser.append();
            else
                m_browser.edit();
            writeRow();
            m_browser.post();
            afterPost(mode);
            return;
        } catch (const std::exception& e) {
            reportCanceled(e);
        }
        if (mode == EditMode::Edit && currentKey() != edited)
            return;
    }
}

} // namespace refdata::ui
