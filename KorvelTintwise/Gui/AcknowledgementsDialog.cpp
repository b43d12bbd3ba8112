#include "Gui/AcknowledgementsDialog.h"

#include "Gui/StyleSheets.h"
#include "ui_AcknowledgementsDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringConverter>
#include <QTextStream>

namespace {

const QString AcknowledgementsResource = QStringLiteral(":/acknowledgements/acknowledgements.txt");
const QString CopyrightLine = QStringLiteral("Copyright \u00a9 Korvel Inc. All rights reserved.");
}  // namespace

AcknowledgementsDialog::AcknowledgementsDialog(const QVersionNumber* version, QWidget* parent)
    : QDialog(parent), ui(new Ui_AcknowledgementsDialog), version(version)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->AcknowledgementsDialog_Label->setText(QCoreApplication::applicationName() + QLatin1Char(' ') +
                                              version->toString() + QLatin1Char('\n') + CopyrightLine);
    ui->AcknowledgementsDialog_TextEdit->setStyleSheet(VerticalScrollBarStyleSheet(15));

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
