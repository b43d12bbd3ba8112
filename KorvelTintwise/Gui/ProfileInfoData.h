// The value panels of the preferences window's Profile Info page: one for profiles with primaries,
// one with the fixed values of the DICOM profiles.
#pragma once

#include <QString>
#include <QWidget>

class Ui_ProfileInfoDataStandard;
class Ui_ProfileInfoDataDicom;

class ProfileInfoDataStandard : public QWidget {
    Q_OBJECT

public:
    explicit ProfileInfoDataStandard(QWidget* parent = nullptr);
    ~ProfileInfoDataStandard() override;

    // Each shows its text as given.
    void SetRedX(QString text);
    void SetRedY(QString text);
    void SetGreenX(QString text);
    void SetGreenY(QString text);
    void SetBlueX(QString text);
    void SetBlueY(QString text);
    void SetWhitePointX(QString text);
    void SetWhitePointY(QString text);
    void SetGamma(QString text);
    void SetLuminance(QString text);

private:
    Ui_ProfileInfoDataStandard* ui;
};

class ProfileInfoDataDicom : public QWidget {
    Q_OBJECT

public:
    explicit ProfileInfoDataDicom(QWidget* parent = nullptr);
    ~ProfileInfoDataDicom() override;

private:
    Ui_ProfileInfoDataDicom* ui;
};
