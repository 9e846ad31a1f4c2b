// Runs a Unix shell script from a test, for tools such as sox that serve as
// independent references. Wine starts a Unix program given by its path but
// hands out no process handle, so the script's end is seen by a file it
// writes last.
#pragma once
#include <windows.h>
#include <string>

// The Unix path of a Z:\ path (Wine maps the Unix root to Z:).
std::string UnixPath(const std::string& path);

// Runs script with /bin/sh in folder (a Windows path under Z:); output
// receives what it wrote to stdout and stderr. True when it ended in time with
// exit code 0.
bool RunShellScript(const std::string& folder, const std::string& script, std::string* output,
                    DWORD timeoutMs = 120000);
