#pragma once

#include <sstream>
#include <string>

namespace log4cplus {
class Logger;
}

namespace Korvel::DisplayCalibration::Common::Logging {

// Log levels of log4cplus.
enum LogLevel : int {
    TraceLevel = 0,
    DebugLevel = 10000,
    InfoLevel = 20000,
    WarnLevel = 30000,
    ErrorLevel = 40000,
    OffLevel = 60000,
};

// Base class that owns one named log4cplus logger (named after the deriving class).
class Loggable {
public:
    // Throws Core::Exception (code 1) for an empty name.
    explicit Loggable(const std::string& name);
    virtual ~Loggable();
    Loggable(const Loggable&) = delete;
    Loggable& operator=(const Loggable&) = delete;

    bool IsEnabledFor(int level) const;
    // Clamps the level to 0..60000.
    virtual void SetLogLevel(int level);
    virtual void Log(int level, const std::string& text, const char* file, int line, const char* function);

    // Writes the pieces, in order and with nothing between them, as one message; builds
    // nothing when the level is disabled.
    template <typename... Pieces>
    void LogPieces(int level, const Pieces&... pieces)
    {
        if (!IsEnabledFor(level)) {
            return;
        }
        std::ostringstream stream;
        (stream << ... << pieces);
        Log(level, stream.str(), nullptr, 0, nullptr);
    }

    void LogText(int level, const char* text) { LogPieces(level, text); }
    void LogTextRef(int level, const std::string& text) { LogPieces(level, text); }
    void LogNumber(int level, const char* a, int n, const char* b) { LogPieces(level, a, n, b); }
    void LogTextInt(int level, const char* a, int n) { LogPieces(level, a, n); }
    void LogTextIntTextInt(int level, const char* a, int n, const char* b, int m) { LogPieces(level, a, n, b, m); }
    void LogTextDoubleTextDouble(int level, const char* a, double x, const char* b, double y)
    {
        LogPieces(level, a, x, b, y);
    }
    void LogTextText(int level, const char* a, const char* b) { LogPieces(level, a, b); }
    void LogTextStringText(int level, const char* a, const std::string& s, const char* b) { LogPieces(level, a, s, b); }
    void LogTextStringTextStringText(int level, const char* a, const std::string& s, const char* b,
                                     const std::string& t, const char* c)
    {
        LogPieces(level, a, s, b, t, c);
    }
    // The wide text is written as UTF-8.
    void LogError(int level, const char* text, const std::wstring& wide);

private:
    log4cplus::Logger* logger;
};

// string, text, string, text, string, text joined without separators.
std::string ConcatenateTexts(const std::string& a, const char* b, const std::string& c, const char* d,
                             const std::string& e, const char* f);

}  // namespace Korvel::DisplayCalibration::Common::Logging
