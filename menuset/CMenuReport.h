// The findings and the map of a checked folder as texts: a line for people
// (ANSI, as the string table gives it), a tab-separated line for scripts and
// a printable HTML report (both UTF-8), and the report's atomic save.
#pragma once
#include <string>
#include <vector>

#include "menuset/MenuFinding.h"

class CMenuSet;

class CMenuReport {
public:
    explicit CMenuReport(const CMenuSet& set);
    CMenuReport(const CMenuReport&) = delete;
    CMenuReport& operator=(const CMenuReport&) = delete;

    // "Ошибка: main.ivr, клавиша 1: ... [target-missing]", no line end.
    std::string PlainLine(const MenuFinding& finding) const;
    // Menus, greetings, errors and warnings of the findings.
    std::string Summary(const std::vector<MenuFinding>& findings) const;
    // severity, menu, item, code, text: UTF-8, tab-separated, no line end.
    std::string TsvLine(const MenuFinding& finding) const;
    // The whole report, UTF-8: the map in map order, then the findings.
    std::string Html(const std::vector<MenuFinding>& findings) const;

    // Writes bytes to a temporary beside path, then moves it over path in one
    // step; a read-only file at path is refused. False with the reason.
    static bool Save(const std::string& path, const std::string& bytes, std::string* reason);

private:
    std::string MenuHtml(int menu) const;
    std::string FindingsHtml(const std::vector<MenuFinding>& findings) const;

    const CMenuSet& set_;
};
