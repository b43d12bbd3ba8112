// Qt connections made by signature strings, checked.
#pragma once

#include <QMetaObject>
#include <QObject>

namespace Korvel::DisplayCalibration::Common::Application {

// QObject::connect with SIGNAL()/SLOT() texts; a connection Qt refuses (a misspelt or mismatched
// signature, a missing object) throws std::logic_error naming both ends.
QMetaObject::Connection ConnectChecked(const QObject* sender, const char* signal, const QObject* receiver,
                                       const char* method, Qt::ConnectionType type = Qt::AutoConnection);

}  // namespace Korvel::DisplayCalibration::Common::Application
