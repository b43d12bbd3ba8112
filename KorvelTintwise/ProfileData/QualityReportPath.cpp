#include "ProfileData/QualityReportPath.h"

QString QualityReportPath(const QString& profilePath)
{
    static const QString Suffix = QStringLiteral(".icm");
    if (!profilePath.endsWith(Suffix, Qt::CaseInsensitive)) {
        return QString();
    }
    return profilePath.left(profilePath.size() - Suffix.size()) + QStringLiteral("_Quality.txt");
}
