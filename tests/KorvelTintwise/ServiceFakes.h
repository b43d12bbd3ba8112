// Stand-ins for the services the profile data obtainer is given, for its tests and benchmark.
#pragma once

#include "Common/HardwareInfo/BiosTools.h"
#include "Common/Settings/ILogConfiguration.h"

#include <QStringList>

#include <stdexcept>
#include <utility>
#include <vector>

namespace TintwiseTest {

class FakeBiosTools : public Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools {
public:
    explicit FakeBiosTools(QString model = QStringLiteral("21KV0012US")) : model(std::move(model)) {}
    QString GetComputerSerialNumber() override { return QStringLiteral("PF4KVQ7T"); }
    QString GetComputerModelName() override
    {
        if (model.isNull()) {
            throw std::runtime_error("no model name");
        }
        return model;
    }
    QString GetComputerProductVersion() override { return QString(); }
    QString model;
};

class FakeLogConfiguration : public Korvel::DisplayCalibration::Common::Settings::ILogConfiguration {
public:
    QString Refresh(bool) override { return format; }
    const std::vector<Korvel::DisplayCalibration::Common::Settings::ProfilesFilter>& ProfilesFilters() const override
    {
        return filters;
    }
    QStringList SupportedProfileFiles(const QStringList& names) override { return names; }
    QString LogFile() const override { return QString(); }
    int Level() const override { return 0; }
    bool Console() const override { return false; }
    QString FileMessageFormat() const override { return QString(); }
    QString ConsoleMessageFormat() const override { return QString(); }
    std::vector<Korvel::DisplayCalibration::Common::Settings::ProfilesFilter> filters;
    // What Refresh gives: the resolved profile file-name format.
    QString format;
};

}  // namespace TintwiseTest
