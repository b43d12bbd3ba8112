// Reader of one factory calibration report ("<profile>_Quality.txt").
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <utility>

class ProfileQualityReportParser {
    Q_DECLARE_TR_FUNCTIONS(ProfileQualityReportParser)

public:
    using Chromaticity = std::pair<double, double>;

    // Reports are a few kilobytes; a larger file is not one.
    static constexpr qint64 MaximumSize = 1 << 20;

    ProfileQualityReportParser();

    // Reads the report at `path`. False with "Could not open report!" in `error` when it cannot be
    // opened, is larger than MaximumSize or holds a number read as NaN or infinite (the fields then
    // stay empty); otherwise false with one message per missing part appended to `error` unless
    // every part was found. The fields hold what was found either way.
    bool Load(const QString& path, QString& error);

    const QString& GetProfileName() const { return profileName; }
    const QString& GetComputerSerialNumber() const { return computerSerialNumber; }
    const QString& GetCalibrationDate() const { return calibrationDate; }
    const QString& GetCalibrationTime() const { return calibrationTime; }
    const QString& GetCalibratedLuminance() const { return calibratedLuminance; }
    double GetDeltaE2000Max() const { return deltaE2000Max; }
    double GetDeltaE2000Mean() const { return deltaE2000Mean; }
    const QString& GetAverageGamma() const { return averageGamma; }
    Chromaticity GetWhitePoint() const { return {whiteX, whiteY}; }
    Chromaticity GetRedPrimary() const { return {redX, redY}; }
    Chromaticity GetGreenPrimary() const { return {greenX, greenY}; }
    Chromaticity GetBluePrimary() const { return {blueX, blueY}; }
    const QList<int>& GetGammaLevels() const { return gammaLevels; }
    const QList<double>& GetGammaNormalizedValues() const { return gammaNormalizedValues; }
    const QList<double>& GetGammaTargetValues() const { return gammaTargetValues; }
    const QList<QList<int>>& GetVerificationPatches() const { return verificationPatches; }
    const QList<QList<int>>& GetDeltaERgbValues() const { return deltaERgbValues; }
    const QList<double>& GetDeltaE2000Values() const { return deltaE2000Values; }
    const QString& GetWhitePointColorTemperature() const { return whitePointColorTemperature; }

private:
    // The tokens of each line of the report, viewed in its text.
    using Lines = QList<QList<QStringView>>;

    // Each reader scans the lines from the start; they throw NonFiniteNumber (ProfileQualityReportParser.cpp).
    bool ReadProfileName(const Lines& lines);
    bool ReadComputerSerialNumber(const Lines& lines);
    bool ReadCalibrationDateAndTime(const Lines& lines);
    bool ReadCalibratedLuminance(const Lines& lines);
    bool ReadDeltaE2000(const Lines& lines);
    bool ReadAverageGamma(const Lines& lines);
    bool ReadGammaCurve(const Lines& lines);
    bool ReadDeltaEResults(const Lines& lines);
    bool ReadVerificationPatches(const Lines& lines);
    bool ReadWhitePoint(const Lines& lines);
    bool ReadPrimaries(const Lines& lines);

    QByteArray reportText;
    QString profileName;
    QString computerSerialNumber;
    QString calibrationDate;
    QString calibrationTime;
    QString calibratedLuminance;
    double deltaE2000Max = 0;
    double deltaE2000Mean = 0;
    QString averageGamma;
    double whiteX = 0, whiteY = 0;
    double redX = 0, redY = 0;
    double greenX = 0, greenY = 0;
    double blueX = 0, blueY = 0;
    QList<int> gammaLevels;
    QList<double> gammaNormalizedValues;
    QList<double> gammaTargetValues;
    QList<QList<int>> verificationPatches;
    QList<QList<int>> deltaERgbValues;
    QList<double> deltaE2000Values;
    QString whitePointColorTemperature;
};
