#include "common/SelfRelaunch.h"

#include <stdio.h>

#include "bytes/FileBytes.h"
#include "common/ShellScript.h"
#include "common/TestUtil.h"

namespace {

// What scripts/wine-run gives every test program.
const char BASE_DLL_OVERRIDES[] = "mscoree,mshtml=";

std::string SelfPath()
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    return self;
}

// Sets the marker for the children started while it lives.
class Marker {
public:
    explicit Marker(const char* name) : name_(name) { SetEnvironmentVariableA(name_, "1"); }
    ~Marker() { SetEnvironmentVariableA(name_, nullptr); }
    Marker(const Marker&) = delete;
    Marker& operator=(const Marker&) = delete;

private:
    const char* name_;
};

} // namespace

bool IsRelaunched(const char* marker) { return !EnvPath(marker).empty(); }

std::unique_ptr<ChildProcess> StartSelf(const char* marker, const char* filter)
{
    Marker set(marker);
    std::string command = "\"" + SelfPath() + "\" --gtest_color=no --gtest_filter=" + filter;
    return std::unique_ptr<ChildProcess>(new ChildProcess(nullptr, command, true));
}

DWORD RunSelfWithDllOverrides(const char* marker, const char* filter, const char* dllOverrides,
                              DWORD timeoutMs)
{
    TempDir dir("relaunch");
    const std::string output = dir.File("output.txt");
    const std::string exitCode = dir.File("exit.txt");
    // Wine starts a Unix program given by its path; it gets no process handle.
    std::string script = std::string("WINEDLLOVERRIDES='") + BASE_DLL_OVERRIDES + ";" + dllOverrides + "' wine '" +
                         UnixPath(SelfPath()) + "' --gtest_color=no --gtest_filter=" + filter + " >'" +
                         UnixPath(output) + "' 2>&1; echo $? >'" + UnixPath(exitCode) + ".part'; mv '" +
                         UnixPath(exitCode) + ".part' '" + UnixPath(exitCode) + "'";
    bool ended;
    {
        Marker set(marker);
        ChildProcess shell("Z:\\bin\\sh", "/bin/sh -c \"" + script + "\"");
        if (!shell.Started())
            return RELAUNCH_FAILED;
        ended = WaitFor([&] { return GetFileAttributesA(exitCode.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
    }
    printf("---- child run with %s ----\n%s---- end of child ----\n", dllOverrides, ReadFileBytes(output).c_str());
    if (!ended)
        return RELAUNCH_FAILED;
    return (DWORD)strtoul(ReadFileBytes(exitCode).c_str(), nullptr, 10);
}
