// The process-wide table of the monitors Windows reports, filled once by the first handler.
#pragma once

#include <cstdint>
#include <string>

class TMultiScreenHandler {
public:
    // Enumerates the monitors when the table is not filled yet; later handlers do not.
    TMultiScreenHandler();
    virtual ~TMultiScreenHandler();

    // The GDI device name (such as \\.\DISPLAY1) of table entry `index`; empty when there is none.
    static std::string GetMonitorDeviceName(int index);
};

class TQalloMultiScreenHandler : public TMultiScreenHandler {
public:
    TQalloMultiScreenHandler();
    ~TQalloMultiScreenHandler() override;

private:
    [[maybe_unused]] std::int32_t reserved;
};
