// The selected profile's preview picture, frameless on the internal panel's screen.
#pragma once

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QRect>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
class IDisplayHelper;
}

class Ui_PreviewDialog;

class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    // `displayHelper` must outlive the window.
    PreviewDialog(Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper* displayHelper,
                  QWidget* parent = nullptr);
    ~PreviewDialog() override;

    // Sizes of the full-screen icons (enter and leave).
    static const QList<int> FullScreenIconSizes;

    void SetPreviewPixmap(QPixmap pixmap);
    // The form's own picture, shown until SetPreviewPixmap gives another.
    static const QString FormPicture;
    // Places the window over the available area of the screen that shows the internal panel (the
    // first screen when none does); maximises it when asked.
    void ShowOnInternalPanel(bool maximize);

    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper* displayHelper;
    Ui_PreviewDialog* ui;
    QRect placement;
    // The form's picture is decoded when the window is first shown without another one.
    bool formPicturePending = true;
};
