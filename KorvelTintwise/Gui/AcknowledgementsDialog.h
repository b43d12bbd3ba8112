// The open-source licence texts shipped with the program, under its name and version.
#pragma once

#include <QDialog>
#include <QVersionNumber>

class Ui_AcknowledgementsDialog;

class AcknowledgementsDialog : public QDialog {
    Q_OBJECT

public:
    // `version` must outlive the dialog.
    explicit AcknowledgementsDialog(const QVersionNumber* version, QWidget* parent = nullptr);
    ~AcknowledgementsDialog() override;

private:
    Ui_AcknowledgementsDialog* ui;
    const QVersionNumber* version;
};
