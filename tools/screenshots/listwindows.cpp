#include "listwindows.h"

#include "refdata/ui/currency.h"
#include "refdata/ui/provider.h"
#include "refdata/ui/rate.h"
#include "refdata/ui/taxes.h"

#include <QTemporaryDir>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace screenshots {

bool listWindow(const QString& which, const QString& database, const TakePicture& take)
{
    QTemporaryDir folder; // a settings file of its own: the designed positions
    const QString ini = folder.filePath(u"SPRRATE.INI"_s);
    refdata::ReferenceDatabase db;
    db.setLocation(database, u"sysdba"_s, u"lanternix"_s);
    std::unique_ptr<refdata::ui::ListWindow> w;
    if (which == u"rate")
        w = std::make_unique<TformRate>(ini, db);
    else if (which == u"currency")
        w = std::make_unique<TformCurrency>(ini, db);
    else if (which == u"provider")
        w = std::make_unique<TformProvider>(ini, db);
    else if (which == u"taxes")
        w = std::make_unique<TformTaxes>(ini, db);
    else
        return false;
    w->browser().open();
    w->show();
    w->grid().setFocus();
    const bool taken = take(*w, which);
    w->reject();
    w->browser().close();
    return taken;
}

} // namespace screenshots
