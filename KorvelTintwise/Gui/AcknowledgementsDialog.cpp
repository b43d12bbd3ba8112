#include "Gui/AcknowledgementsDialog.h"

#include "ui_AcknowledgementsDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringConverter>
#include <QTextStream>

namespace {

const QString AcknowledgementsResource = QStringLiteral(":/acknowledgements/acknowledgements.txt");
const QString CopyrightLine = QStringLiteral("Copyright \u00a9 Korvel Inc. All rights reserved.");

const QString ScrollBarStyle = QStringLiteral(
    "QScrollBar:vertical { border: 2px solid rgb(130, 133, 134); background: rgb(230, 233, 234); width: 15px; "
    "margin: 0px 0 0px 0; }"
    "QScrollBar::handle:vertical { background: rgb(37, 40, 42); min-height: 50px; }"
    "QScrollBar::add-line:vertical { height: 0px; subcontrol-position: bottom; subcontrol-origin: margin; }"
    "QScrollBar::sub-line:vertical { height: 0px; subcontrol-position: top; subcontrol-origin: margin; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");

}  // namespace

AcknowledgementsDialog::AcknowledgementsDialog(const QVersionNumber* version, QWidget* parent)
    : QDialog(parent), ui(new Ui_AcknowledgementsDialog), version(version)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->AcknowledgementsDialog_Label->setText(QCoreApplication::applicationName() + QLatin1Char(' ') +
                                              version->toString() + QLatin1Char('\n') + CopyrightLine);
    ui->AcknowledgementsDialog_TextEdit->setStyleSheet(ScrollBarStyle);

    QFile file(AcknowledgementsResource);
    if (file.exists() && file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream stream(&file);
        stream.setEncoding(QStringConverter::Utf8);
        ui->AcknowledgementsDialog_TextEdit->setPlainText(stream.readAll());
        file.close();
    }
}

AcknowledgementsDialog::~AcknowledgementsDialog()
{
    delete ui;
}
