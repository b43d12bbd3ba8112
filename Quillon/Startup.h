// What Quillon's entry point does before its dialog runs.
#pragma once

#include <QMessageBox>
#include <QString>

// The internal panel's identity, asked once. An obtainer failure is raised again as
// DisplayHelperException with its text (a failed COM start passes as it is); no internal panel
// raises DetailedException with the texts for the user.
void ReadInternalPanelId(QString& identity);

// A message box titled with the window title, without parent; exec's result.
int ShowCriticalMessage(const QString& text, QMessageBox::Icon icon);
