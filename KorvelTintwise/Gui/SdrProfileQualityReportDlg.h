// The factory measurement report of one SDR profile as a printable page, with its PDF export.
#pragma once

#include <QDialog>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>

class BarChartContainer;
class ColorGamutScene;
class ProfileQualityReportParser;
class QResizeEvent;
class Ui_SdrProfileQualityReportDlg;

// What the report shows, as its quality-report file gives it.
struct SdrQualityReportData {
    // The values `report` read from the file at `reportPath`; a luminance that is no number is 0.
    static SdrQualityReportData FromReport(const ProfileQualityReportParser& report, const QString& reportPath);

    QString serialNumber;
    QString profileName;
    double luminance = 0.0;  // cd/m2
    double meanDeltaE = 0.0;
    double maxDeltaE = 0.0;
    QString averageGamma;
    QString colorTemperature;
    QPointF red;
    QPointF green;
    QPointF blue;
    QPointF whitePoint;
    QList<int> gammaLevels;
    QList<double> measuredGamma;
    QList<double> targetGamma;
    QList<QList<int>> patchColors;  // (R, G, B) per patch
    QList<double> patchErrors;      // dE2000 per patch, in patch order
    QString reportPath;
};

class SdrProfileQualityReportDlg : public QDialog {
    Q_OBJECT

public:
    SdrProfileQualityReportDlg(QWidget* parent, SdrQualityReportData data);
    ~SdrProfileQualityReportDlg() override;

    // Where the dialog stands in `available` (a screen's free area): full height below a title bar,
    // A4 width, at the left edge.
    static QRect Placement(const QRect& available, int titleBarHeight, qreal pixelRatio);

public slots:
    void OnSaveReportPushButtonClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillReportValues();
    void AddGammaChart();
    void AddDeltaEChart();

    // False when the PDF cannot be written (logged).
    bool SaveAsPdf();
    // The remembered folder of the last save; the Documents folder, written anew, when there is
    // none or it cannot be read. Never throws.
    QString ReadShortcut();
    // Remembers `folder`; a folder that cannot be encoded leaves the file as it was. Never throws.
    void WriteShortcut(const QString& folder);
    QString WriteDefaultShortcut();
    // The folder the file text holds; empty when it cannot be decoded or decrypted. Never throws.
    QString DecryptShortcut(const QString& text);

    Ui_SdrProfileQualityReportDlg* ui;
    ColorGamutScene* gamutScene;
    BarChartContainer* barChartContainer = nullptr;
    SdrQualityReportData data;
    QString shortcutPath;
    int fixedHeight = 0;
};
