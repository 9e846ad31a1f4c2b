// What Orlenta.exe, OrlentaCheck.exe and OrlentaMap.exe carry for Windows, read back from the
// built files with the resource API: the manifest, the application icon and the
// version resource.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "Version.h"
#include "common/TestUtil.h"
#include "res/resource.h"

namespace {

struct Program {
    const char* file;
    const wchar_t* originalName;  // the version resource's OriginalFilename
    const wchar_t* description;   // and FileDescription
};

const Program PROGRAMS[] = {
    {"Orlenta.exe", L"Orlenta.exe", L"Конфигуратор голосового меню IVR"},
    {"OrlentaCheck.exe", L"OrlentaCheck.exe", L"Проверка меню IVR в папке"},
    {"OrlentaMap.exe", L"OrlentaMap.exe", L"Карта IVR: меню папки и их проверка"},
};

class ProgramResources : public ::testing::TestWithParam<Program> {
protected:
    void SetUp() override
    {
        path_ = BuiltProgramPath(GetParam().file);
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << path_ << " error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }
    // The bytes of one resource, empty when it is missing.
    std::string Resource(const char* name, const char* type)
    {
        HRSRC info = FindResourceA(module_, name, type);
        if (!info)
            return {};
        HGLOBAL data = LoadResource(module_, info);
        return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module_, info));
    }
    std::string path_;
    HMODULE module_ = nullptr;
};

TEST_P(ProgramResources, ManifestAsksForCommonControls6AsInvokerOnWindows7To11)
{
    std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_FALSE(manifest.empty()) << "no manifest resource 1 of type 24";
    const char* expected[] = {
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "level=\"asInvoker\"",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
        "version=\"" ORLENTA_VERSION_TEXT ".0\"",
    };
    for (const char* text : expected)
        EXPECT_NE(manifest.find(text), std::string::npos) << text << " not in\n" << manifest;
}

TEST_P(ProgramResources, IconHasEverySizeWindowsAsksFor)
{
    std::string group = Resource(MAKEINTRESOURCEA(IDI_ORLENTA), MAKEINTRESOURCEA(14));
    ASSERT_FALSE(group.empty()) << "no icon group " << IDI_ORLENTA;
    auto* directory = reinterpret_cast<BYTE*>(&group[0]);
    for (int size : {16, 32, 48, 256}) {
        int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        std::string image = Resource(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));
        ASSERT_FALSE(image.empty()) << "size " << size;
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]), (DWORD)image.size(), TRUE,
                                              0x00030000, size, size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr) << "size " << size;
        ICONINFO info = {};
        GetIconInfo(icon, &info);
        BITMAP bitmap = {};
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        EXPECT_EQ(bitmap.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_P(ProgramResources, VersionResourceCarriesTheProjectVersion)
{
    const std::string& path = path_;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "error " << GetLastError();
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, &block[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (DWORD)MAKELONG(ORLENTA_VERSION_MINOR, ORLENTA_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwFileVersionLS, (DWORD)MAKELONG(0, ORLENTA_VERSION_PATCH));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);

    // The texts as Explorer reads them: through the wide API, so the Russian
    // description is checked whatever the ANSI code page.
    std::wstring wpath(path.begin(), path.end());
    std::wstring wblock(size, L'\0');
    ASSERT_TRUE(GetFileVersionInfoW(wpath.c_str(), 0, size, &wblock[0]));
    struct Field {
        const wchar_t* name;
        const wchar_t* value;
    };
    const Field fields[] = {
        {L"FileVersion", L"" ORLENTA_VERSION_TEXT},
        {L"ProductVersion", L"" ORLENTA_VERSION_TEXT},
        {L"ProductName", L"Orlenta"},
        {L"FileDescription", GetParam().description},
        {L"OriginalFilename", GetParam().originalName},
        {L"LegalCopyright", L"© 2026 Orlenta"},
    };
    for (const Field& field : fields) {
        std::wstring query = std::wstring(L"\\StringFileInfo\\041904B0\\") + field.name;
        wchar_t* value = nullptr;
        UINT chars = 0;
        ASSERT_TRUE(VerQueryValueW(&wblock[0], query.c_str(), reinterpret_cast<void**>(&value), &chars) && value)
            << "no " << std::string(query.begin(), query.end());
        EXPECT_EQ(std::wstring(value), std::wstring(field.value));
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramResources, ::testing::ValuesIn(PROGRAMS),
                         [](const ::testing::TestParamInfo<Program>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

// The test executables carry the same manifest: the process's buttons are the
// common controls' version 6 buttons, which alone know BCM_GETIDEALSIZE.
TEST(CommonControls, ManifestActivatesVersion6)
{
    HWND button = CreateWindowA("Button", "OK", WS_POPUP | BS_PUSHBUTTON, 0, 0, 80, 24, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    SIZE ideal = {};
    EXPECT_TRUE(SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    EXPECT_GT(ideal.cx, 0);
    DestroyWindow(button);
}

} // namespace
