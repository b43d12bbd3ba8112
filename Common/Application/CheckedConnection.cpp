#include "Common/Application/CheckedConnection.h"

#include <stdexcept>
#include <string>

namespace Korvel::DisplayCalibration::Common::Application {

QMetaObject::Connection ConnectChecked(const QObject* sender, const char* signal, const QObject* receiver,
                                       const char* method, Qt::ConnectionType type)
{
    QMetaObject::Connection connection = QObject::connect(sender, signal, receiver, method, type);
    if (!connection) {
        const auto name = [](const QObject* object) {
            return object != nullptr ? std::string(object->metaObject()->className()) : std::string("(none)");
        };
        // SIGNAL() and SLOT() texts carry a code digit in front of the signature.
        const auto signature = [](const char* text) {
            return text != nullptr && *text != '\0' ? std::string(text + 1) : std::string();
        };
        throw std::logic_error("Cannot connect " + name(sender) + "::" + signature(signal) + " to " + name(receiver) +
                               "::" + signature(method));
    }
    return connection;
}

}  // namespace Korvel::DisplayCalibration::Common::Application
