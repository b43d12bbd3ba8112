#include "Quillon/Gui/CustomMessageBox.h"

#include "Quillon/Gui/QuillonStyle.h"
#include "ui_CustomMessageBox.h"

#include <QLayout>
#include <QStyle>

CustomMessageBox::CustomMessageBox(QMessageBox::Icon kind, const QString& title, const QString& text, QWidget* parent,
                                   Qt::WindowFlags flags)
    : QDialog(parent), form(std::make_unique<Ui::CustomMessageBox>()), referenceBox(std::make_unique<QMessageBox>())
{
    referenceStyle = referenceBox->style();
    iconSize = int(referenceStyle->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, referenceBox.get()) *
                   GetWidgetDpiRatio(this));
    SetupUi();
    SetIcon(kind);
    setWindowTitle(title);
    setWindowFlags(flags);
    form->Image->setPixmap(pixmap);
    form->Text->setText(text);
}

CustomMessageBox::~CustomMessageBox() = default;

void CustomMessageBox::SetupUi()
{
    form->setupUi(this);
}

void CustomMessageBox::SetIcon(QMessageBox::Icon kind)
{
    QStyle::StandardPixmap standard;
    switch (kind) {
    case QMessageBox::Information:
        standard = QStyle::SP_MessageBoxInformation;
        break;
    case QMessageBox::Warning:
        standard = QStyle::SP_MessageBoxWarning;
        break;
    case QMessageBox::Critical:
        standard = QStyle::SP_MessageBoxCritical;
        break;
    case QMessageBox::Question:
        standard = QStyle::SP_MessageBoxQuestion;
        break;
    default:
        icon = QIcon();
        pixmap = QPixmap();
        return;
    }
    icon = referenceStyle->standardIcon(standard, nullptr, referenceBox.get());
    pixmap = icon.pixmap(iconSize, iconSize, QIcon::Normal, QIcon::Off)
                 .scaled(iconSize, iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void CustomMessageBox::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const double horizontal = GetHorizontalScaleFactor(this);
    const double vertical = GetVerticalScaleFactor(this);
    setFixedWidth(int(700 * horizontal));
    setFixedHeight(sizeHint().height());
    if (form->horizontalTopLayout != nullptr) {
        form->horizontalTopLayout->setSpacing(int(10 * horizontal));
        form->imageHorizontalLayout->setContentsMargins(0, int(15 * vertical), 0, 0);
    }
}

void CustomMessageBox::on_pushButton_clicked()
{
    accept();
}
