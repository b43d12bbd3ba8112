#pragma once

#include <QString>

// What Quillon needs of its configuration: the profile file-name format of the internal panel.
class IConfiguration {
public:
    virtual ~IConfiguration() = default;
    // The format with the panel's product code in place and "{ProfileName}" still open; empty
    // when none could be read.
    virtual const QString& GetFileNameFormat() const = 0;
};
