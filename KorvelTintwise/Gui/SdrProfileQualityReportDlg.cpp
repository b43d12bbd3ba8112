#include "Gui/SdrProfileQualityReportDlg.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Security/ISymmetricDecrypter.h"
#include "Gui/ColorGamutScene.h"
#include "Gui/Graphs/BarChartContainer.h"
#include "Gui/Graphs/LineGraphContainer.h"
#include "ProfileData/ProfileQualityReportParser.h"
#include "WindowsStandIn/FileStore.h"

#include "ui_SdrProfileQualityReportDlg.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QResizeEvent>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStyle>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <vector>

namespace {

namespace Common = Korvel::DisplayCalibration::Common;

log4cplus::Logger Logger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("SdrProfileQualityReportDlg"));
}

void Warn(const QString& text)
{
    LOG4CPLUS_WARN(Logger(), text.toStdString());
}

QString DocumentsFolder()
{
    return QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation).value(0);
}

QPointF ToPoint(const ProfileQualityReportParser::Chromaticity& chromaticity)
{
    return QPointF(chromaticity.first, chromaticity.second);
}

}  // namespace

SdrQualityReportData SdrQualityReportData::FromReport(const ProfileQualityReportParser& report,
                                                      const QString& reportPath)
{
    return SdrQualityReportData{report.GetComputerSerialNumber(),
                                report.GetProfileName(),
                                report.GetCalibratedLuminance().toDouble(),
                                report.GetDeltaE2000Mean(),
                                report.GetDeltaE2000Max(),
                                report.GetAverageGamma(),
                                report.GetWhitePointColorTemperature(),
                                ToPoint(report.GetRedPrimary()),
                                ToPoint(report.GetGreenPrimary()),
                                ToPoint(report.GetBluePrimary()),
                                ToPoint(report.GetWhitePoint()),
                                report.GetGammaLevels(),
                                report.GetGammaNormalizedValues(),
                                report.GetGammaTargetValues(),
                                report.GetDeltaERgbValues(),
                                report.GetDeltaE2000Values(),
                                reportPath};
}

SdrProfileQualityReportDlg::SdrProfileQualityReportDlg(QWidget* parent, SdrQualityReportData reportData)
    : QDialog(parent),
      ui(new Ui_SdrProfileQualityReportDlg),
      gamutScene(new ColorGamutScene(GamutDiagramPicture, this)),
      data(std::move(reportData))
{
    ui->setupUi(this);

    // The screen under the mouse, else the primary one.
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect placed =
        Placement(screen != nullptr ? screen->availableGeometry() : QRect(),
                  QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight), devicePixelRatioF());
    fixedHeight = placed.height();
    setGeometry(placed);
    setMinimumWidth(placed.width());
    setMaximumWidth(placed.width());
    setFixedHeight(fixedHeight);

    ui->scrollAreaWidgetContents->installEventFilter(this);
    Common::Application::ConnectChecked(ui->saveReportPushButton, SIGNAL(clicked()), this,
                                        SLOT(OnSaveReportPushButtonClicked()));
    FillReportValues();
    shortcutPath =
        QDir::toNativeSeparators(Common::ApplicationDataDirectory() + "/" + Common::QualityReportsShortcutFileName);

    QGraphicsView* view = ui->gamutGraphicsView;
    view->setScene(gamutScene);
    view->setRenderHint(QPainter::Antialiasing, true);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setTransformationAnchor(QGraphicsView::NoAnchor);
    view->setCacheMode(QGraphicsView::CacheBackground);
    view->setInteractive(false);
    view->setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF sceneRect = gamutScene->sceneRect();
    view->setMinimumSize(static_cast<int>(sceneRect.width() * 1.05), static_cast<int>(sceneRect.height() * 1.05));
}

SdrProfileQualityReportDlg::~SdrProfileQualityReportDlg()
{
    delete gamutScene;
    delete ui;
}

QRect SdrProfileQualityReportDlg::Placement(const QRect& available, int titleBarHeight, qreal pixelRatio)
{
    const int sizeOffset = qRound(pixelRatio * 100);
    const int height = available.height() - titleBarHeight;
    const int width = std::min(static_cast<int>(std::trunc(height * Common::A4WidthToHeight * pixelRatio + sizeOffset)),
                               static_cast<int>(std::trunc(available.width() * 0.55)));
    int y = available.center().y() - height / 2;
    if (y < available.top() + titleBarHeight) {
        y = available.top() + titleBarHeight;
    } else {
        y = std::min(y, available.top() + available.height() - height);
    }
    return QRect(available.left(), y, width, height);
}

void SdrProfileQualityReportDlg::FillReportValues()
{
    ui->profileValueLabel->setText(data.profileName);
    ui->label_3->setText(data.profileName == Common::NativeProfileName
                             ? tr("100% brightness")
                             : QString::number(data.luminance, 'f', 3) + QStringLiteral(" nits"));
    ui->maxDeltaEValueLabel->setText(QString::number(data.maxDeltaE, 'f', 2));
    ui->avgDeltaEValueLabel->setText(QString::number(data.meanDeltaE, 'f', 2));
    ui->colorTemperatureValueLabel->setText(data.colorTemperature);
    ui->avgGammaValueLabel->setText(data.averageGamma);
    ui->serialNumberValueLabel->setText(data.serialNumber);
    gamutScene->drawColorGamut(data.red, data.green, data.blue, data.whitePoint);
    AddGammaChart();
    AddDeltaEChart();
}

void SdrProfileQualityReportDlg::AddGammaChart()
{
    auto* container = new LineGraphContainer(this);
    container->setTitle(QStringLiteral("Measured Default Gamma"));
    container->setAxes(GraphAxis(0, 255, std::string()), GraphAxis(0, 1, std::string()));

    std::vector<GraphPoint> measured;
    std::vector<GraphPoint> target;
    const qsizetype rows =
        std::min({data.gammaLevels.size(), data.measuredGamma.size(), data.targetGamma.size()});
    for (qsizetype i = 0; i < rows; ++i) {
        measured.push_back({static_cast<double>(data.gammaLevels[i]), data.measuredGamma[i]});
        target.push_back({static_cast<double>(data.gammaLevels[i]), data.targetGamma[i]});
    }
    auto measuredSeries = std::make_shared<DefaultGraphData>(measured);
    auto targetSeries = std::make_shared<DefaultGraphData>(target);
    auto measuredOnTop = std::make_shared<DefaultGraphData>(measured);
    measuredSeries->setUserValue(0);
    targetSeries->setUserValue(2);
    measuredOnTop->setUserValue(1);

    // Even positions draw thin blue lines with markers, odd ones a broad pale band: the measured
    // curve, the target band under it, the measured curve again on top.
    LineGraphView* view = container->graphView();
    view->addGraph(measuredOnTop);
    view->addGraph(targetSeries);
    view->addGraph(measuredSeries);
    ui->defaultGammaGridLayout->addWidget(container);
}

void SdrProfileQualityReportDlg::AddDeltaEChart()
{
    barChartContainer = new BarChartContainer(this);
    barChartContainer->setTitle(data.profileName + QStringLiteral(" Color Performance (\u2206E2000)"));
    QList<BarGraphItem> bars;
    const qsizetype count = std::min(data.patchColors.size(), data.patchErrors.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QList<int>& rgb = data.patchColors[i];
        bars.append({QString(), QColor(rgb.value(0), rgb.value(1), rgb.value(2), 255), data.patchErrors[i]});
    }
    barChartContainer->setData(bars);
    ui->colorPerformanceGridLayout->addWidget(barChartContainer);
    barChartContainer->setMinimumHeight(barChartContainer->width());
}

void SdrProfileQualityReportDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    setGeometry(geometry().x(), geometry().y(), event->size().width(), fixedHeight);
}

bool SdrProfileQualityReportDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The page keeps the proportions of an A4 sheet at whatever width the scroll area gives it,
    // after every layout pass (a width set while it was being shown arrives without a resize
    // event); the scroll area scrolls what the dialog cannot show.
    QWidget* page = ui->scrollAreaWidgetContents;
    if (watched == page && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        const int height = static_cast<int>(page->width() / Common::A4WidthToHeight);
        if (page->minimumHeight() != height || page->maximumHeight() != height) {
            page->setFixedHeight(height);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SdrProfileQualityReportDlg::OnSaveReportPushButtonClicked()
{
    const QString defaultName =
        QFileInfo(data.reportPath).fileName().replace(QStringLiteral(".txt"), QStringLiteral(".pdf"), Qt::CaseInsensitive);
    const QString defaultPath = QDir::toNativeSeparators(ReadShortcut() + "/" + defaultName);
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save As..."), defaultPath,
                                                        QStringLiteral("PDF Files (*.pdf)"), nullptr,
                                                        QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) {
        const QDir folder = QFileInfo(defaultPath).absoluteDir();
        if (folder.exists()) {
            WriteShortcut(folder.absolutePath());
        }
        return;
    }
    const QDir folder = QFileInfo(chosen).absoluteDir();
    if (!folder.exists()) {
        return;
    }
    WriteShortcut(folder.absolutePath());
    data.reportPath = chosen;
    // The button stays out of the PDF.
    ui->saveReportPushButton->hide();
    const bool saved = SaveAsPdf();
    ui->saveReportPushButton->show();
    if (!saved) {
        QMessageBox::warning(this, QGuiApplication::applicationDisplayName(),
                             tr("The quality report could not be saved as %1.")
                                 .arg(QDir::toNativeSeparators(data.reportPath)));
    }
}

bool SdrProfileQualityReportDlg::SaveAsPdf()
{
    // Written beside the chosen file and put in its place whole: a failed or killed save leaves a
    // report saved there before as it was.
    QSaveFile file(data.reportPath);
    if (!file.open(QIODevice::WriteOnly)) {
        LOG4CPLUS_ERROR(Logger(), "Failed to write the quality report " << data.reportPath.toStdString());
        return false;
    }
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter;
    if (!painter.begin(&writer)) {
        LOG4CPLUS_ERROR(Logger(), "Failed to write the quality report " << data.reportPath.toStdString());
        return false;
    }
    QWidget* page = ui->scrollAreaWidgetContents;
    const int pageWidth = writer.width();
    const int pageHeight = writer.height();
    const int contentWidth = std::max(1, page->width());
    const int contentHeight = std::max(1, page->height());
    // Whole-number enlargements, across and down, centred on the sheet.
    const double scaleX = std::max(1, pageWidth / contentWidth);
    const double scaleY = std::max(1, pageHeight / contentHeight);
    const double dx = (pageWidth / scaleX - contentWidth) * 0.5;
    const double dy = (pageHeight / scaleY - contentHeight) * 0.5;
    painter.scale(scaleX, scaleY);
    painter.translate(dx, dy);
    page->render(&painter, QPoint(0, 0), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    if (!painter.end() || !file.commit()) {
        LOG4CPLUS_ERROR(Logger(), "Failed to write the quality report " << data.reportPath.toStdString());
        return false;
    }
    return true;
}

QString SdrProfileQualityReportDlg::ReadShortcut()
{
    QFile file(shortcutPath);
    if (QFileInfo(shortcutPath).isSymLink()) {
        // What a link shows is not the machine's: it is replaced by the default.
        Warn(QStringLiteral("The quality report shortcut file is a symbolic link; it is replaced."));
        return WriteDefaultShortcut();
    }
    if (!file.exists()) {
        return WriteDefaultShortcut();
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Warn(QStringLiteral("Failed to open quality report shortcut file."));
        return WriteDefaultShortcut();
    }
    const QByteArray text = file.readAll();
    file.close();
    const QString folder = text.isEmpty() ? QString() : DecryptShortcut(QString::fromUtf8(text));
    return folder.isEmpty() ? WriteDefaultShortcut() : folder;
}

void SdrProfileQualityReportDlg::WriteShortcut(const QString& folder)
{
    QString encoded;
    try {
        encoded = RegistryLoader::EncryptToBase64(folder);
    } catch (const std::exception& error) {
        Warn(QStringLiteral("Quality report shortcut kept: the folder cannot be encoded (%1)").arg(error.what()));
        return;
    }
    // Replaced whole: a link at its name goes, its target stays as it was.
    if (!WinSim::Detail::WriteFileAtomically(shortcutPath, encoded.toUtf8())) {
        Warn(QStringLiteral("Failed to open quality report shortcut file."));
    }
}

QString SdrProfileQualityReportDlg::WriteDefaultShortcut()
{
    const QString documents = DocumentsFolder();
    WriteShortcut(documents);
    return documents;
}

QString SdrProfileQualityReportDlg::DecryptShortcut(const QString& text)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(text.trimmed().toUtf8(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        Warn(QStringLiteral("Quality report shortcut file is not Base64; the Documents folder is used."));
        return QString();
    }
    QByteArray plain;
    try {
        plain = Common::Security::DecrypterFactory().CreateSymmetricDecrypter()->Decrypt(*decoded);
    } catch (const std::exception& error) {
        Warn(QStringLiteral("Quality report shortcut file cannot be decrypted (%1); the Documents folder is used.")
                 .arg(error.what()));
        return QString();
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString folder = utf8(plain);
    if (utf8.hasError()) {
        Warn(QStringLiteral("Quality report shortcut file holds no text; the Documents folder is used."));
        return QString();
    }
    return folder;
}
