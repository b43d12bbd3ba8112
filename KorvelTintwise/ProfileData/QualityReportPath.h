// Where a profile's factory quality report lies.
#pragma once

#include <QString>

// The profile path with its ".icm" suffix (any letter case) replaced by "_Quality.txt"; empty when
// the path has no such suffix, so that no other file is taken for a report.
QString QualityReportPath(const QString& profilePath);
