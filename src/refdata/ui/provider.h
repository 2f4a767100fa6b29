// The carrier list: every validating carrier in code order, with New and Edit through the
// carrier edit dialog; after a save the list stands on its first row.
#pragma once

#include "refdata/ui/listwindow.h"
#include "refdata/ui/providernew.h"

class QPushButton;

class TformProvider : public refdata::ui::ListWindow {
    Q_OBJECT
public:
    static const QString EmptyCodeMessage;

    TformProvider(const QString& iniPath, refdata::ReferenceDatabase& db,
                  QWidget* parent = nullptr);

    refdata::ui::DBNavigator* DBNavigator2;
    refdata::ui::BrowserGrid* ProviderGrid;
    QPushButton* bNew;
    QPushButton* bEdit;
    QPushButton* Button3;
    refdata::TableBrowser& gbtProvider;
    TformProviderNew* formProviderNew;

    void bNewClick();
    void bEditClick();
    void ProviderGridDblClick();

protected:
    refdata::ui::EditDialog& editDialog() override { return *formProviderNew; }
    void fillDialog(EditMode mode) override;
    QString refusal() const override;
    void writeRow() override;
    void afterPost(EditMode mode) override;
};
