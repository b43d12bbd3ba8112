#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// Adds to `icon` one file per size: the pattern with every "$dimension$" replaced by the size, at
// size x size in the given mode and state.
void CreateIconFromPattern(QIcon& icon, const QString& pattern, const QList<int>& sizes, QIcon::Mode mode,
                           QIcon::State state);
