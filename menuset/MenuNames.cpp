#include "menuset/MenuNames.h"

#include <windows.h>

#include "menuset/MenuTexts.h"

const char IVR_EXTENSION[] = ".ivr";

std::wstring FoldedFileName(const std::string& name)
{
    // The file system compares names upper-cased letter by letter.
    std::wstring wide = WideOfAnsi(name);
    if (!wide.empty())
        CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    return wide;
}

bool SameFileName(const std::string& a, const std::string& b) { return CompareFileNames(a, b) == 0; }

int CompareFileNames(const std::string& a, const std::string& b)
{
    std::wstring left = FoldedFileName(a);
    std::wstring right = FoldedFileName(b);
    return left.compare(right);
}

bool HasIvrExtension(const std::string& name)
{
    const size_t length = sizeof IVR_EXTENSION - 1;
    return name.size() > length && SameFileName(name.substr(name.size() - length), IVR_EXTENSION);
}

std::string MenuFileOfTarget(const std::string& target)
{
    if (target.empty() || HasIvrExtension(target))
        return target;
    return target + IVR_EXTENSION;
}
