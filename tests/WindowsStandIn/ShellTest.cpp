#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Shell.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

using TestSupport::BinaryPath;
using TestSupport::TemporaryMachine;

namespace {

TEST(ShellTest, SplitsArgumentsByWindowsRules)
{
    const struct {
        QString text;
        QStringList arguments;
    } cases[] = {
        {R"(a b   c)", {"a", "b", "c"}},
        {R"( "a b" c )", {"a b", "c"}},
        {R"("")", {""}},
        {R"(a"b c"d)", {"ab cd"}},
        {R"(a\\b)", {R"(a\\b)"}},
        {R"("C:\Program Files\x\\" y)", {R"(C:\Program Files\x\)", "y"}},
        {R"(a\"b)", {R"(a"b)"}},
        {R"(a\\\"b)", {R"(a\"b)"}},
        {R"("a""b")", {R"(a"b)"}},
        {R"("HKEY_LOCAL_MACHINE\SOFTWARE\Korvel Inc\App" 1)", {R"(HKEY_LOCAL_MACHINE\SOFTWARE\Korvel Inc\App)", "1"}},
        {"\t", {}},
        {R"("unterminated arg)", {"unterminated arg"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WinSim::SplitCommandLine(c.text), c.arguments) << c.text;
    }
}

TEST(ShellTest, ExpandsPercentAsBatchFilesDo)
{
    const auto lookup = [](const QString& name) {
        if (name.compare("errorLevel", Qt::CaseInsensitive) == 0) {
            return QStringLiteral("0");
        }
        return name.compare("PATH", Qt::CaseInsensitive) == 0 ? QStringLiteral("/bin") : QString();
    };
    const struct {
        QString line;
        QString expanded;
    } cases[] = {
        {"echo %errorLevel% > x", "echo 0 > x"},
        {"%path%;%PATH%", "/bin;/bin"},
        {"\"a%%PATH%%b\"", "\"a%PATH%b\""},
        {"100%% done", "100% done"},
        {"%undefined%x", "x"},
        {"a %1 %* b", "a   b"},
        {"lone % here", "lone  here"},
        {"end %", "end "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WinSim::ExpandBatchLine(c.line, lookup), c.expanded) << c.line;
    }
}

// Runs a batch file through ShellExecuteExW and waits; the result files are read from `folder`.
BOOL Execute(const QString& batch, const wchar_t* verb, const QString& directory = QString())
{
    const std::wstring file = ("\"" + batch + "\"").toStdWString();
    const std::wstring folder = directory.toStdWString();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpDirectory = directory.isEmpty() ? nullptr : folder.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) {
        return FALSE;
    }
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    return TRUE;
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(ShellTest, BatchFileRedirectionsAndJoins)
{
    const TemporaryMachine machine;
    const QString echo = "\"" + BinaryPath("echoexit") + "\"";
    const struct {
        const char* name;
        QString line;
        QByteArray out;
    } cases[] = {
        {"both streams", echo + " 0 a --stderr=b > out.txt 2>&1", "a\nb\n"},
        {"error stream only", echo + " 0 a --stderr=b 2> out.txt", "b\n"},
        {"duplicate before the file", echo + " 0 a --stderr=b 2>&1 > out.txt", "a\n"},
        {"append", "echo one> out.txt & echo two>>out.txt", "one \r\ntwo\r\n"},
        {"and after success", echo + " 0 & echo ok > out.txt", "ok \r\n"},
        {"and after failure", echo + " 3 && echo ok > out.txt || echo failed %errorLevel% > out.txt", "failed 0 \r\n"},
        {"escaped ampersand", "echo a ^& b > out.txt", "a & b \r\n"},
        {"quoted target", "echo x>\"out.txt\"", "x\r\n"},
        {"unknown program", "nosuchprogram > out.txt 2>&1",
         "'nosuchprogram' is not recognized as an internal or external command,\r\noperable program or batch "
         "file.\r\n"},
        {".exe of a built program", "\"" + BinaryPath("echoexit") + ".exe\" 0 built > out.txt", "built\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString batch = folder.filePath("run.bat");
        QFile file(batch);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("chcp 65001\r\n" + c.line.toUtf8());
        file.close();
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        const BOOL started = Execute(batch, nullptr);
        QDir::setCurrent(previous);
        ASSERT_TRUE(started);
        EXPECT_EQ(Read(folder.filePath("out.txt")), c.out);
    }
}

// The interpreter and the task tool run in the caller's process (what the journal records is the
// same as from processes of their own); elevation reaches what the batch file starts, and a
// relative path lies in the run's directory.
TEST(ShellTest, BatchRunsInTheCallersProcessWithTheRunsElevation)
{
    const TemporaryMachine machine;
    const struct {
        const char* name;
        const wchar_t* verb;
        QString line;
        QByteArray out;
        QStringList journal;  // events after shell-execute, each of this process
    } cases[] = {
        {"query", nullptr, "SchTasks /Query /TN Missing > out.txt 2>&1",
         "ERROR: The system cannot find the file specified.\r\n", {"run SchTasks /Query /TN Missing", "schtasks /Query /TN Missing"}},
        {"create unelevated", nullptr, "schtasks.exe /Create /TN T /XML task.xml > out.txt 2>&1",
         "ERROR: Access is denied.\r\n", {"run schtasks.exe /Create /TN T /XML task.xml", "schtasks /Create /TN T /XML task.xml"}},
        {"create elevated", L"runas", "SchTasks /Create /TN T /XML task.xml > out.txt 2>&1",
         "ERROR: The task XML is malformed.\r\n", {"run-elevated SchTasks /Create /TN T /XML task.xml", "schtasks /Create /TN T /XML task.xml"}},
        {"program unelevated", nullptr, "sh -c \"echo [$WINSIM_ELEVATED]\" > out.txt", "[]\n", {"run sh -c \"echo [$WINSIM_ELEVATED]\""}},
        {"program elevated", L"runas", "sh -c \"echo [$WINSIM_ELEVATED]\" > out.txt", "[1]\n",
         {"run-elevated sh -c \"echo [$WINSIM_ELEVATED]\""}},
        {"working directory", nullptr, "echo %cd%> out.txt", "<folder>\r\n", {}},
    };
    const QString pid = QString::number(::getpid());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        QFile batch(folder.filePath("run.bat"));
        ASSERT_TRUE(batch.open(QIODevice::WriteOnly));
        batch.write("chcp 65001\r\n" + c.line.toUtf8());
        batch.close();
        QFile xml(folder.filePath("task.xml"));
        ASSERT_TRUE(xml.open(QIODevice::WriteOnly));
        xml.write("<Task/>");
        xml.close();
        const qsizetype before = WinSim::ReadJournal().size();
        ASSERT_TRUE(Execute(batch.fileName(), c.verb, folder.path()));
        const QByteArray out = Read(folder.filePath("out.txt"));
        EXPECT_TRUE(out.startsWith(QByteArray(c.out).replace("<folder>", folder.path().toUtf8()))) << out.toStdString();
        QStringList journal;
        for (const QString& line : WinSim::ReadJournal().mid(before)) {
            const QStringList fields = line.split(' ');
            EXPECT_EQ(fields.value(1), pid) << line.toStdString();
            if (fields.value(2) != QLatin1String("shell-execute") && fields.value(2) != QLatin1String("elevation-prompt")) {
                journal << fields.mid(2).join(' ');
            }
        }
        EXPECT_EQ(journal, c.journal);
    }
}

TEST(ShellTest, ShellExecuteFailures)
{
    const TemporaryMachine machine;
    QTemporaryDir folder;
    QFile text(folder.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();
    QFile batch(folder.filePath("run.bat"));
    ASSERT_TRUE(batch.open(QIODevice::WriteOnly));
    batch.close();

    const struct {
        const char* name;
        QString file;
        const wchar_t* verb;
        DWORD error;
    } cases[] = {
        {"missing file", folder.filePath("missing.bat"), L"runas", ERROR_FILE_NOT_FOUND},
        {"not a batch file", folder.filePath("notes.txt"), nullptr, ERROR_NO_ASSOCIATION},
        {"unknown verb", folder.filePath("run.bat"), L"print", ERROR_NO_ASSOCIATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_FALSE(Execute(c.file, c.verb));
        EXPECT_EQ(GetLastError(), c.error);
    }
    SHELLEXECUTEINFOW wrongSize{};
    EXPECT_FALSE(ShellExecuteExW(&wrongSize));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(nullptr));

    // Windows' own texts for the prompt's failures.
    WinSim::SetDescriptionValue("elevation.prompt", "refuse");
    EXPECT_FALSE(Execute(folder.filePath("run.bat"), L"runas"));
    EXPECT_EQ(GetLastError(), ERROR_CANCELLED);
    EXPECT_TRUE(Execute(folder.filePath("run.bat"), L"open"));
}

TEST(ShellTest, WaitWithTimeout)
{
    const TemporaryMachine machine;
    QTemporaryDir folder;
    const QString batch = folder.filePath("slow.bat");
    QFile file(batch);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("\"" + BinaryPath("echoexit") + "\" --sleep=400 0").toUtf8());
    file.close();
    const std::wstring path = batch.toStdWString();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = path.c_str();
    ASSERT_TRUE(ShellExecuteExW(&info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(info.hProcess));
}

}  // namespace
