// Menu file names as Windows matches them: without regard to case, in the
// ANSI code page the .ivr files and the folder listing use.
#pragma once
#include <string>

// The extension of every menu file.
extern const char IVR_EXTENSION[];  // ".ivr"

// The name in the form a case-insensitive comparison or lookup uses.
std::wstring FoldedFileName(const std::string& name);
bool SameFileName(const std::string& a, const std::string& b);
// Negative, zero or positive, as names sort without regard to case.
int CompareFileNames(const std::string& a, const std::string& b);

bool HasIvrExtension(const std::string& name);
// The file a "menu" action's parameter names: X.ivr, or X itself when X
// already ends in .ivr (any case). Empty for an empty parameter.
std::string MenuFileOfTarget(const std::string& target);
