// The four reference data list windows on the sample database, for the screenshots.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace screenshots {

// Photographs a shown window under a name; false when no picture was taken.
using TakePicture = std::function<bool(QWidget&, const QString&)>;

// Shows one list window ("rate", "currency", "provider", "taxes") over the database as
// the menu opens it, with its designed position, and photographs it.
bool listWindow(const QString& which, const QString& database, const TakePicture& take);

} // namespace screenshots
