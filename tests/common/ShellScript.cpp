#include "common/ShellScript.h"

#include "bytes/FileBytes.h"
#include "common/ChildProcess.h"
#include "common/TestUtil.h"

std::string UnixPath(const std::string& path)
{
    std::string converted = path.size() > 2 && path[1] == ':' ? path.substr(2) : path;
    for (char& c : converted)
        if (c == '\\')
            c = '/';
    return converted;
}

bool RunShellScript(const std::string& folder, const std::string& script, std::string* output, DWORD timeoutMs)
{
    const std::string unixFolder = UnixPath(folder);
    const std::string done = folder + "\\script.done";
    DeleteFileA(done.c_str());
    // The exit code is written under another name and renamed: the wait never
    // sees a half-written file.
    std::string wrapped = "cd '" + unixFolder + "' || exit 1\n(\n" + script + "\n) >script.out 2>&1\n" +
                          "echo $? >script.rc\nmv script.rc script.done\n";
    if (!WriteFileBytes(folder + "\\script.sh", wrapped))
        return false;
    ChildProcess shell("Z:\\bin\\sh", "/bin/sh " + unixFolder + "/script.sh");
    bool ended = shell.Started() && WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                                            timeoutMs);
    if (output)
        *output = ReadFileBytes(folder + "\\script.out");
    return ended && ReadFileBytes(done).substr(0, 2) == "0\n";
}
