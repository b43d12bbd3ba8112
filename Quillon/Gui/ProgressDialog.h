#pragma once

#include <QProgressDialog>
#include <QString>

// A busy indicator without cancel or close button that no key closes; shown at once, window-modal.
// reset() hides it.
class ProgressDialog : public QProgressDialog {
    Q_OBJECT

public:
    ProgressDialog(const QString& title, int baseWidth, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
