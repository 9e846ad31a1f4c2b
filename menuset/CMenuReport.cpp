#include "menuset/CMenuReport.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "app/CReplacementFile.h"
#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "app/TextSize.h"
#include "menuset/CMenuSet.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"
#include "wave/GreetingVerdict.h"

namespace {

// A field of a tab-separated line holds no tab and no line end.
std::string TsvField(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// ANSI text made safe for HTML, in UTF-8.
std::string Html(const std::string& ansi)
{
    std::string escaped;
    for (char c : ansi) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c; break;
        }
    }
    return Utf8OfAnsi(escaped);
}

std::string HtmlText(UINT id) { return Html(StringText(id)); }

// The anchor of a menu in the report.
std::string Anchor(int menu) { return "m" + std::to_string(menu); }

const char HTML_STYLE[] =
    "body{font-family:Segoe UI,Tahoma,sans-serif;margin:2em}"
    "table{border-collapse:collapse;margin:.4em 0 1em}td,th{border:1px solid #999;padding:.2em .5em;"
    "text-align:left;vertical-align:top}h3{margin:1.2em 0 .2em}.error{color:#a00}.warning{color:#850}"
    "section{page-break-inside:avoid}";

} // namespace

CMenuReport::CMenuReport(const CMenuSet& set) : set_(set) {}

std::string CMenuReport::PlainLine(const MenuFinding& finding) const
{
    std::string item = ItemLabel(finding.item);
    char line[TEXT_SIZE * 4] = {};
    snprintf(line, sizeof line, StringText(IDS_CHECK_LINE).c_str(),
             StringText(SeverityOf(finding.code) == FINDING_ERROR ? IDS_SEVERITY_ERROR : IDS_SEVERITY_WARNING).c_str(),
             set_.Menus()[finding.menu].name.c_str(), item.empty() ? "" : ", ", item.c_str(), finding.text.c_str(),
             FindingCodeName(finding.code));
    return line;
}

std::string CMenuReport::Summary(const std::vector<MenuFinding>& findings) const
{
    int errors = 0;
    for (const MenuFinding& finding : findings)
        errors += SeverityOf(finding.code) == FINDING_ERROR;
    char line[TEXT_SIZE] = {};
    snprintf(line, sizeof line, StringText(IDS_CHECK_SUMMARY).c_str(), static_cast<int>(set_.Menus().size()),
             set_.GreetingCount(), errors, static_cast<int>(findings.size()) - errors);
    return line;
}

std::string CMenuReport::TsvLine(const MenuFinding& finding) const
{
    std::string line = std::string(SeverityName(SeverityOf(finding.code))) + "\t" +
                       TsvField(set_.Menus()[finding.menu].name) + "\t" + ItemName(finding.item) + "\t" +
                       FindingCodeName(finding.code) + "\t" + TsvField(finding.text);
    return Utf8OfAnsi(line);
}

std::string CMenuReport::Html(const std::vector<MenuFinding>& findings) const
{
    char title[TEXT_SIZE * 2] = {};
    snprintf(title, sizeof title, StringText(IDS_REPORT_TITLE).c_str(), set_.Folder().c_str());
    std::string html = "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                       ::Html(title) + "</title>\n<style>" + HTML_STYLE + "</style>\n</head>\n<body>\n<h1>" +
                       ::Html(title) + "</h1>\n<h2>" + HtmlText(IDS_REPORT_MAP) + "</h2>\n";
    for (int menu : set_.MapOrder())
        html += MenuHtml(menu);
    html += "<h2>" + HtmlText(IDS_REPORT_FINDINGS) + "</h2>\n" + FindingsHtml(findings);
    html += "<p>" + ::Html(Summary(findings)) + "</p>\n</body>\n</html>\n";
    return html;
}

std::string CMenuReport::MenuHtml(int index) const
{
    const MenuInfo& menu = set_.Menus()[index];
    std::string html = "<section>\n<h3 id=\"" + Anchor(index) + "\">" + ::Html(menu.name);
    const std::vector<int>& entries = set_.Entries();
    if (std::find(entries.begin(), entries.end(), index) != entries.end())
        html += " (" + HtmlText(IDS_REPORT_ENTRY) + ")";
    else if (!set_.IsReachable(index))
        html += " (" + HtmlText(IDS_REPORT_UNREACHABLE) + ")";
    html += "</h3>\n";
    if (!menu.readable)
        return html + "<p>" + HtmlText(IDS_REPORT_UNREADABLE) + ": " + ::Html(menu.unreadableReason) +
               "</p>\n</section>\n";

    const VoiceMenuConfig& record = *menu.record;
    html += "<p>" + HtmlText(IDS_REPORT_GREETING) + ": " +
            (record.greeting[0] ? ::Html(record.greeting) : HtmlText(IDS_REPORT_NONE)) + "; " +
            HtmlText(IDS_REPORT_WAIT) + ": " + std::to_string(record.waitSeconds) + "</p>\n";
    if (const GreetingFigures* figures = set_.GreetingFiguresOf(index)) {
        char line[TEXT_SIZE * 2] = {};
        html += "<p>" + ::Html(FormatGreetingFigures(g_hInstance, *figures, line, sizeof line)) + "</p>\n";
    }
    html += "<table>\n<tr><th>" + HtmlText(IDS_COLUMN_COMMAND) + "</th><th>" + HtmlText(IDS_COLUMN_ACTION) +
            "</th><th>" + HtmlText(IDS_COLUMN_PARAMETER) + "</th></tr>\n";
    for (int slot = 0; slot < CONFIG_SHOWN_SLOTS; ++slot) {
        const CommandSlot& command = record.slots[slot];
        if (command.action == ACTION_NONE)
            continue;
        char label[TEXT_SIZE] = {};
        GetSlotLabel(slot, label, sizeof label);
        std::string param = ::Html(command.paramText[command.action]);
        if (command.action == ACTION_MENU) {
            int to = set_.FindMenu(command.paramText[ACTION_MENU]);
            if (to >= 0)
                param = "<a href=\"#" + Anchor(to) + "\">" + ::Html(set_.Menus()[to].name) + "</a>";
        }
        html += "<tr><td>" + ::Html(label) + "</td><td>" + HtmlText(IDS_ACTION_NONE + command.action) +
                "</td><td>" + param + "</td></tr>\n";
    }
    html += "</table>\n";
    const std::vector<int>& leading = set_.LinksTo(index);
    if (!leading.empty()) {
        html += "<p>" + HtmlText(IDS_REPORT_LEADS_HERE) + ": ";
        for (size_t i = 0; i < leading.size(); ++i) {
            const MenuLink& link = set_.Links()[leading[i]];
            std::string item = ItemLabel(link.slot);
            html += std::string(i ? ", " : "") + "<a href=\"#" + Anchor(link.from) + "\">" +
                    ::Html(set_.Menus()[link.from].name) + "</a> (" + ::Html(item) + ")";
        }
        html += "</p>\n";
    }
    return html + "</section>\n";
}

std::string CMenuReport::FindingsHtml(const std::vector<MenuFinding>& findings) const
{
    if (findings.empty())
        return "<p>" + HtmlText(IDS_REPORT_NO_FINDINGS) + "</p>\n";
    std::string html = "<table>\n<tr><th>" + HtmlText(IDS_REPORT_SEVERITY) + "</th><th>" +
                       HtmlText(IDS_REPORT_MENU) + "</th><th>" + HtmlText(IDS_REPORT_ITEM) + "</th><th>" +
                       HtmlText(IDS_REPORT_TEXT) + "</th></tr>\n";
    for (const MenuFinding& finding : findings) {
        bool error = SeverityOf(finding.code) == FINDING_ERROR;
        html += std::string("<tr class=\"") + (error ? "error" : "warning") + "\"><td>" +
                HtmlText(error ? IDS_SEVERITY_ERROR : IDS_SEVERITY_WARNING) + "</td><td><a href=\"#" +
                Anchor(finding.menu) + "\">" + ::Html(set_.Menus()[finding.menu].name) + "</a></td><td>" +
                ::Html(ItemLabel(finding.item)) + "</td><td>" + ::Html(finding.text) + " <code>" +
                FindingCodeName(finding.code) + "</code></td></tr>\n";
    }
    return html + "</table>\n";
}

bool CMenuReport::Save(const std::string& path, const std::string& bytes, std::string* reason)
{
    CReplacementFile file;
    DWORD code = file.Create(path.c_str(), "rep");
    if (!code)
        code = file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
    if (!code)
        code = file.Flush();
    if (!code)
        code = file.Replace();
    if (code)
        *reason = SystemErrorWithCode(code);
    return code == 0;
}
