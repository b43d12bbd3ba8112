// The eleven profile keys the program knows, with their display names, colour-space kinds and
// descriptions, and the process-wide table of their data.
#pragma once

#include "ProfileData/ProfileData.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ProfileTable {

inline constexpr int Size = 11;
inline constexpr int DisplayP3Index = 4;
inline constexpr int P3Index = 10;

struct ConstantLists {
    QStringList keys;
    QStringList displayNames;
    QList<int> kinds;
    QStringList descriptions;  // translated
};

// Built once per process (thread-safe): the kind of DICOM_Office, DICOM_Dim and Default and the
// colour space named in the Default description come from the first caller's default colour space.
const ConstantLists& Constants(const QString& defaultColorSpace);

// The table as the latest obtainer built it (GUI thread only).
const QVector<ProfileData>& Entries();
void Replace(QVector<ProfileData> entries);

}  // namespace ProfileTable
