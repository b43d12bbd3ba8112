#include "Gui/PreviewDialog.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Gui/CreateIconFromPattern.h"
#include "ui_PreviewDialog.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

const QList<int> PreviewDialog::FullScreenIconSizes = {20, 30, 40, 60, 80, 100, 256};
const QString PreviewDialog::FormPicture = QStringLiteral(":/images/Preview.tif");

PreviewDialog::PreviewDialog(Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper* displayHelper,
                             QWidget* parent)
    : QDialog(parent), displayHelper(displayHelper), ui(new Ui_PreviewDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setPalette(QPalette(QColor(127, 127, 127, 255)));
    ShowOnInternalPanel(false);
    ui->FullScreen_PreviewDialog_Label->setMinimumSize(1, 1);
    QIcon exitIcon;
    CreateIconFromPattern(exitIcon, Korvel::DisplayCalibration::Common::BackToWindowIconPath,
                          FullScreenIconSizes, QIcon::Normal, QIcon::Off);
    ui->Exit_PreviewDialog_PushButton->setIcon(exitIcon);
    Korvel::DisplayCalibration::Common::Application::ConnectChecked(ui->Exit_PreviewDialog_PushButton, SIGNAL(clicked()),
                                                                    this, SLOT(close()));
}

PreviewDialog::~PreviewDialog()
{
    delete ui;
}

void PreviewDialog::SetPreviewPixmap(QPixmap pixmap)
{
    formPicturePending = false;
    ui->FullScreen_PreviewDialog_Label->setPixmap(pixmap);
}

void PreviewDialog::setVisible(bool visible)
{
    // Read past the pixmap cache: the picture lives only as long as the label shows it.
    if (visible && formPicturePending) {
        SetPreviewPixmap(QPixmap::fromImage(ReadPicture(FormPicture)));
    }
    QDialog::setVisible(visible);
}

void PreviewDialog::ShowOnInternalPanel(bool maximize)
{
    const QString name = displayHelper->GetAdapterDeviceName();
    const auto screens = QGuiApplication::screens();
    QRect area;
    if (!screens.isEmpty()) {
        QScreen* chosen = screens.first();
        for (QScreen* screen : screens) {
            if (screen->name().contains(name)) {
                chosen = screen;
                break;
            }
        }
        area = chosen->availableGeometry();
    }
    placement = area;
    setGeometry(placement);
    if (maximize) {
        showMaximized();
    }
}

void PreviewDialog::resizeEvent(QResizeEvent*)
{
    ShowOnInternalPanel(false);
    const int availableHeight = placement.height() -
                                std::max(ui->Info_PreviewDialog_Label->height(), ui->Exit_PreviewDialog_PushButton->height()) -
                                ui->Instructions_PreviewDialog_Label->height();
    const int availableWidth =
        placement.width() - ui->horizontalSpacer_2->sizeHint().width() - ui->horizontalSpacer->sizeHint().width();
    const QPixmap picture = ui->FullScreen_PreviewDialog_Label->pixmap();
    // Without a picture, or without room, there is no proportion to keep: the label keeps its size.
    if (picture.isNull() || availableWidth <= 0 || availableHeight <= 0) {
        return;
    }
    const double w = picture.width();
    const double h = picture.height();
    // Portrait pictures take the available height, the others the available width; a picture
    // that would then overflow the other direction is fitted to it instead.
    const bool byHeight = h > w ? w / h * availableHeight <= availableWidth : h / w * availableWidth > availableHeight;
    const QSize size = byHeight ? QSize(static_cast<int>(std::trunc(w / h * availableHeight)), availableHeight)
                                : QSize(availableWidth, static_cast<int>(std::trunc(h / w * availableWidth)));
    ui->FullScreen_PreviewDialog_Label->setMinimumSize(size);
    ui->FullScreen_PreviewDialog_Label->setMaximumSize(size);
}
