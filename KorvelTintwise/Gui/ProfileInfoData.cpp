#include "Gui/ProfileInfoData.h"

#include "ui_ProfileInfoDataDicom.h"
#include "ui_ProfileInfoDataStandard.h"

namespace {
const QRect PanelGeometry(30, 140, 390, 200);
}

ProfileInfoDataStandard::ProfileInfoDataStandard(QWidget* parent)
    : QWidget(parent), ui(new Ui_ProfileInfoDataStandard)
{
    ui->setupUi(this);
    setGeometry(PanelGeometry);
}

ProfileInfoDataStandard::~ProfileInfoDataStandard()
{
    delete ui;
}

void ProfileInfoDataStandard::SetRedX(QString text)
{
    ui->Red_X_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetRedY(QString text)
{
    ui->Red_Y_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetGreenX(QString text)
{
    ui->Green_X_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetGreenY(QString text)
{
    ui->Green_Y_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetBlueX(QString text)
{
    ui->Blue_X_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetBlueY(QString text)
{
    ui->Blue_Y_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetWhitePointX(QString text)
{
    ui->WhitePoint_X_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetWhitePointY(QString text)
{
    ui->WhitePoint_Y_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetGamma(QString text)
{
    ui->GamaTargetValue_ProfileInfoPage_Label->setText(text);
}

void ProfileInfoDataStandard::SetLuminance(QString text)
{
    ui->LuminanceValue_ProfileInfoPage_Label->setText(text);
}

ProfileInfoDataDicom::ProfileInfoDataDicom(QWidget* parent) : QWidget(parent), ui(new Ui_ProfileInfoDataDicom)
{
    ui->setupUi(this);
    setGeometry(PanelGeometry);
}

ProfileInfoDataDicom::~ProfileInfoDataDicom()
{
    delete ui;
}
