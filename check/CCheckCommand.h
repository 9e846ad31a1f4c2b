// OrlentaCheck's command: FOLDER [--start MENU] [--tsv] [--html FILE]. Checks
// the menus of the folder and writes the findings for people (or for scripts
// with --tsv) on the standard output, the HTML report when asked for, and why
// it could not check on the error stream.
#pragma once
#include <string>
#include <vector>

#include "check/CConsoleWriter.h"

// The exit codes scripts test.
const int CHECK_CLEAN = 0;        // no error found (warnings allowed)
const int CHECK_ERRORS = 1;       // at least one error found
const int CHECK_NOT_CHECKED = 2;  // bad arguments, no such folder, unreadable folder, report not written

class CCheckCommand {
public:
    CCheckCommand();
    CCheckCommand(const CCheckCommand&) = delete;
    CCheckCommand& operator=(const CCheckCommand&) = delete;

    // The arguments after the program's name, in the ANSI code page.
    int Run(const std::vector<std::string>& args);

private:
    bool ParseArguments(const std::vector<std::string>& args);
    int Refuse(const std::string& ansiMessage);

    std::string folder_;
    std::string start_;
    std::string htmlFile_;
    bool tsv_;
    CConsoleWriter out_;
    CConsoleWriter err_;
};
