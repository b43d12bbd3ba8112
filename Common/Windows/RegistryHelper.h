#pragma once

#include <QString>

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::Windows {

// Writes and removes registry values of a full key path ("HKEY_LOCAL_MACHINE\..."); results are
// Windows error codes.
class IRegistryHelper {
public:
    virtual ~IRegistryHelper() = default;
    virtual std::uint32_t AddValue(const QString& path, const QString& key, const QString& value) = 0;
    virtual std::uint32_t UpdateValue(const QString& path, const QString& key, const QString& value) = 0;
    virtual std::uint32_t RemoveValue(const QString& path, const QString& key) = 0;
};

class RegistryHelper : public IRegistryHelper {
public:
    // Stores `value` as a string under `key`: 0, 87 (ERROR_INVALID_PARAMETER) for an empty key or
    // value or a path that names no hive (nothing stored), or the code of a refused write
    // (5, ERROR_ACCESS_DENIED; 1009, ERROR_BADDB, for a damaged hive, which stays as it was).
    std::uint32_t SetValue(const QString& path, const QString& key, const QString& value);
    std::uint32_t AddValue(const QString& path, const QString& key, const QString& value) override
    {
        return SetValue(path, key, value);
    }
    std::uint32_t UpdateValue(const QString& path, const QString& key, const QString& value) override
    {
        return SetValue(path, key, value);
    }
    // 0, 87 for an empty key or a path that names no hive, or the code of a refused write.
    std::uint32_t RemoveValue(const QString& path, const QString& key) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Windows
