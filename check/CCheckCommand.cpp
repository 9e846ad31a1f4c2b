#include "check/CCheckCommand.h"

#include "menuset/CMenuReport.h"
#include "menuset/CMenuSet.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"

CCheckCommand::CCheckCommand() : tsv_(false), out_(STD_OUTPUT_HANDLE), err_(STD_ERROR_HANDLE) {}

int CCheckCommand::Refuse(const std::string& ansiMessage)
{
    err_.WriteLine(Utf8OfAnsi(ansiMessage));
    return CHECK_NOT_CHECKED;
}

bool CCheckCommand::ParseArguments(const std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = arg == "--start" || arg == "--html";
        if (takesValue && i + 1 < args.size()) {
            (arg == "--start" ? start_ : htmlFile_) = args[++i];
        } else if (arg == "--tsv") {
            tsv_ = true;
        } else if (takesValue || arg.empty() || arg[0] == '-' || !folder_.empty()) {
            err_.WriteLine(Utf8OfAnsi(FormatText(IDS_CHECK_BAD_ARGUMENT, arg.c_str())));
            return false;
        } else {
            folder_ = arg;
        }
    }
    return !folder_.empty();
}

int CCheckCommand::Run(const std::vector<std::string>& args)
{
    if (!ParseArguments(args))
        return Refuse(StringText(IDS_CHECK_USAGE));

    CMenuSet set;
    DWORD error = 0;
    if (!set.Load(folder_, &error)) {
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ||
                       error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
        return Refuse(missing ? FormatText(IDS_CHECK_NO_FOLDER, folder_.c_str())
                              : FormatText(IDS_CHECK_FOLDER_UNREADABLE, folder_.c_str(),
                                           SystemErrorWithCode(error).c_str()));
    }
    if (!start_.empty() && !set.ChooseEntry(start_))
        return Refuse(FormatText(IDS_CHECK_NO_START, start_.c_str()));

    std::vector<MenuFinding> findings = set.Findings();
    CMenuReport report(set);
    bool errors = false;
    for (const MenuFinding& finding : findings) {
        errors = errors || SeverityOf(finding.code) == FINDING_ERROR;
        out_.WriteLine(tsv_ ? report.TsvLine(finding) : Utf8OfAnsi(report.PlainLine(finding)));
    }
    if (!tsv_)
        out_.WriteLine(Utf8OfAnsi(report.Summary(findings)));

    std::string reason;
    if (!htmlFile_.empty() && !CMenuReport::Save(htmlFile_, report.Html(findings), &reason))
        return Refuse(FormatText(IDS_CHECK_REPORT_FAILED, htmlFile_.c_str(), reason.c_str()));
    return errors ? CHECK_ERRORS : CHECK_CLEAN;
}
