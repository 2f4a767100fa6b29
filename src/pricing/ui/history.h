// The History window: the conversion journal's entries, newest first, filtered by record
// number and by the day they begin from, with everything the selected entry holds below
// the list. Read-only; it holds no logic beyond showing what the journal's reading gives.
#pragma once

#include "base/journalfile.h"
#include "pricing/journal.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class HistoryModel;

class TformHistory : public QDialog {
    Q_OBJECT
public:
    // The window remembers its place in the settings file iniPath; the journal is read
    // from file each time the window opens and on Refresh.
    TformHistory(const QString& iniPath, const base::JournalFile& file, QWidget* parent = nullptr);

    // Reads the journal and shows the window modally until it is closed.
    int showHistory();
    // Reads the journal again, keeping the filter.
    void refresh();

    QLineEdit* eRecord;
    QCheckBox* cSince;
    QDateEdit* eSince;
    QPushButton* bRefresh;
    QTableView* gEntries;
    QPlainTextEdit* mCommands;
    QLabel* lSummary;
    QPushButton* bClose;

    // The entry of the list's row.
    const pricing::JournalEntry* entryAt(int row) const;

protected:
    void done(int result) override;

private:
    void showEntries();
    void showSelected();

    QString m_iniPath;
    const base::JournalFile& m_file;
    pricing::History m_history;
    std::vector<const pricing::JournalEntry*> m_shown; // the entries the rows show
    HistoryModel* m_model;
};
