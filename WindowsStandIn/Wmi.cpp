#include "WindowsStandIn/Wmi.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QRegularExpression>
#include <QVariantMap>

namespace {

using Instances = QList<QVariantMap>;

QVariant FromJson(const QJsonValue& value)
{
    return value.isNull() || value.isUndefined() ? QVariant() : value.toVariant();
}

bool ClassInstances(const QString& nameSpace, const QString& className, Instances& out)
{
    const QJsonValue replaced = WinSim::DescriptionValue(QStringLiteral("wmi.") + className);
    if (replaced.isArray()) {
        for (const QJsonValue entry : replaced.toArray()) {
            QVariantMap object;
            const QJsonObject json = entry.toObject();
            for (auto it = json.begin(); it != json.end(); ++it) {
                object.insert(it.key(), FromJson(it.value()));
            }
            out.append(object);
        }
        return true;
    }
    if (nameSpace.compare(QLatin1String("ROOT\\CIMV2"), Qt::CaseInsensitive) == 0) {
        const QJsonObject bios = WinSim::DescriptionValue(QStringLiteral("bios")).toObject();
        if (className.compare(QLatin1String("Win32_BIOS"), Qt::CaseInsensitive) == 0) {
            out.append({{QStringLiteral("SerialNumber"), FromJson(bios.value(QStringLiteral("serialNumber")))}});
            return true;
        }
        if (className.compare(QLatin1String("Win32_ComputerSystemProduct"), Qt::CaseInsensitive) == 0) {
            out.append({{QStringLiteral("Name"), FromJson(bios.value(QStringLiteral("model")))},
                        {QStringLiteral("Version"), FromJson(bios.value(QStringLiteral("productVersion")))}});
            return true;
        }
        return false;
    }
    if (className.compare(QLatin1String("WmiMonitorConnectionParams"), Qt::CaseInsensitive) == 0) {
        for (const WinSim::Displays::Display& display : WinSim::Displays::Load().displays) {
            if (!display.present) {
                continue;
            }
            QVariant technology;
            if (display.outputTechnology.isDouble()) {
                // Stored as the unsigned DWORD (0x80000000 for internal); read back as a signed 32-bit value.
                technology = qint32(quint32(qint64(display.outputTechnology.toDouble())));
            }
            out.append({{QStringLiteral("InstanceName"), display.WmiInstanceName()},
                        {QStringLiteral("VideoOutputTechnology"), technology}});
        }
        return true;
    }
    return false;
}

class ClassObject final : public IWbemClassObject {
public:
    explicit ClassObject(QVariantMap properties) : properties(std::move(properties)) {}
    HRESULT Get(LPCWSTR name, QVariant* value) override
    {
        const auto found = properties.constFind(QString::fromWCharArray(name));
        if (found == properties.cend()) {
            return WBEM_E_NOT_FOUND;
        }
        if (value != nullptr) {
            *value = found.value();
        }
        return WBEM_S_NO_ERROR;
    }
    ULONG Release() override
    {
        delete this;
        return 0;
    }

private:
    QVariantMap properties;
};

class Enumerator final : public IEnumWbemClassObject {
public:
    explicit Enumerator(Instances instances) : instances(std::move(instances)) {}
    HRESULT Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) override
    {
        if (objects == nullptr || returned == nullptr) {
            return E_INVALIDARG;
        }
        *returned = 0;
        if (const HRESULT fault = WinSim::Displays::FaultResult("IEnumWbemClassObject::Next"); fault != 0) {
            return fault;
        }
        while (*returned < count && position < instances.size()) {
            objects[(*returned)++] = new ClassObject(instances[position++]);
        }
        return *returned == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }
    ULONG Release() override
    {
        delete this;
        return 0;
    }

private:
    Instances instances;
    qsizetype position = 0;
};

class Services final : public IWbemServices {
public:
    explicit Services(QString nameSpace) : nameSpace(std::move(nameSpace)) {}
    HRESULT ExecQuery(LPCWSTR language, LPCWSTR query, LONG, IEnumWbemClassObject** result) override
    {
        if (result == nullptr || language == nullptr || query == nullptr ||
            QString::fromWCharArray(language).compare(QLatin1String("WQL"), Qt::CaseInsensitive) != 0) {
            return E_INVALIDARG;
        }
        *result = nullptr;
        if (const HRESULT fault = WinSim::Displays::FaultResult("IWbemServices::ExecQuery"); fault != 0) {
            return fault;
        }
        static const QRegularExpression select(QStringLiteral("^\\s*SELECT\\s+.+\\s+FROM\\s+(\\w+)\\s*$"),
                                               QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = select.match(QString::fromWCharArray(query));
        if (!match.hasMatch()) {
            return WBEM_E_INVALID_QUERY;
        }
        Instances instances;
        if (!ClassInstances(nameSpace, match.captured(1), instances)) {
            return WBEM_E_INVALID_CLASS;
        }
        *result = new Enumerator(std::move(instances));
        return WBEM_S_NO_ERROR;
    }
    ULONG Release() override
    {
        delete this;
        return 0;
    }

private:
    QString nameSpace;
};

class Locator final : public IWbemLocator {
public:
    HRESULT ConnectServer(LPCWSTR networkResource, LPCWSTR, LPCWSTR, LPCWSTR, LONG, LPCWSTR, LPVOID,
                          IWbemServices** services) override
    {
        if (services == nullptr || networkResource == nullptr) {
            return E_INVALIDARG;
        }
        *services = nullptr;
        if (const HRESULT fault = WinSim::Displays::FaultResult("IWbemLocator::ConnectServer"); fault != 0) {
            return fault;
        }
        const QString nameSpace = QString::fromWCharArray(networkResource);
        if (nameSpace.compare(QLatin1String("ROOT\\CIMV2"), Qt::CaseInsensitive) != 0 &&
            nameSpace.compare(QLatin1String("ROOT\\WMI"), Qt::CaseInsensitive) != 0) {
            return WBEM_E_INVALID_NAMESPACE;
        }
        *services = new Services(nameSpace);
        return WBEM_S_NO_ERROR;
    }
    ULONG Release() override
    {
        delete this;
        return 0;
    }
};

}  // namespace

HRESULT CreateWbemLocator(IWbemLocator** locator)
{
    if (locator == nullptr) {
        return E_INVALIDARG;
    }
    *locator = nullptr;
    if (const HRESULT fault = WinSim::Displays::FaultResult("CoCreateInstance"); fault != 0) {
        return fault;
    }
    *locator = new Locator;
    return S_OK;
}

HRESULT CoSetProxyBlanket(IWbemServices* proxy, DWORD, DWORD, LPWSTR, DWORD, DWORD, LPVOID, DWORD)
{
    if (proxy == nullptr) {
        return E_INVALIDARG;
    }
    return WinSim::Displays::FaultResult("CoSetProxyBlanket");
}
