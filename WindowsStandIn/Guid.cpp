#include "WindowsStandIn/Guid.h"

#include <QUuid>

QString GuidToText(const GUID& guid)
{
    const QUuid uuid(guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                     guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

bool GuidFromText(const QString& text, GUID& guid)
{
    const QUuid uuid = QUuid::fromString(text.startsWith('{') ? text : "{" + text + "}");
    if (uuid.isNull()) {
        return false;
    }
    guid.Data1 = uuid.data1;
    guid.Data2 = uuid.data2;
    guid.Data3 = uuid.data3;
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = uuid.data4[i];
    }
    return true;
}
