// What Orlenta.exe loads before its main window shows, read from the import
// tables of the built file: only what the window itself needs (and the console
// check only what reading files needs, the map only what its window needs). The file
// dialogs, OLE, sound, codecs and the resampler are delay-loaded (MinGW's
// linker leaves the delay-import directory empty, so only the ordinary table
// can be read); a function missing from a delay list under cmake/delayload
// quietly brings its library back into the start-up, and this test names it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "common/TestUtil.h"

namespace {

// The DLL names of the import table of a PE file held in memory.
class PeImports {
public:
    explicit PeImports(std::string bytes) : bytes_(std::move(bytes)) {}

    std::set<std::string> DllNames() const
    {
        std::set<std::string> names;
        const IMAGE_NT_HEADERS64* nt = Headers();
        if (!nt)
            return names;
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        const size_t entrySize = sizeof(IMAGE_IMPORT_DESCRIPTOR);
        for (DWORD rva = dir.VirtualAddress; dir.VirtualAddress && rva + entrySize <= dir.VirtualAddress + dir.Size;
             rva += entrySize) {
            const BYTE* entry = At(rva, entrySize);
            DWORD nameRva = entry ? reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(entry)->Name : 0;
            const char* name = nameRva ? reinterpret_cast<const char*>(At(nameRva, 1)) : nullptr;
            if (!name)
                break;  // the all-zero entry that ends the table
            std::string lower(name);
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            names.insert(lower);
        }
        return names;
    }

private:
    const IMAGE_NT_HEADERS64* Headers() const
    {
        if (bytes_.size() < sizeof(IMAGE_DOS_HEADER))
            return nullptr;
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew + sizeof(IMAGE_NT_HEADERS64) > bytes_.size())
            return nullptr;
        return reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes_.data() + dos->e_lfanew);
    }
    // The bytes at an address of the loaded image, found through the sections.
    const BYTE* At(DWORD rva, size_t length) const
    {
        const IMAGE_NT_HEADERS64* nt = Headers();
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            DWORD start = section->VirtualAddress;
            if (rva >= start && rva + length <= start + section->SizeOfRawData &&
                section->PointerToRawData + (rva - start) + length <= bytes_.size())
                return reinterpret_cast<const BYTE*>(bytes_.data()) + section->PointerToRawData + (rva - start);
        }
        return nullptr;
    }

    std::string bytes_;
};

std::string Join(const std::set<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += name + " ";
    return text;
}

// What each program may load before it shows its window or starts its work.
struct StartUpLibraries {
    const char* program;
    std::set<std::string> allowed;
};

TEST(ProgramImports, OnlyTheLibrariesOfTheFirstStepsLoadAtStartUp)
{
    const StartUpLibraries programs[] = {
        {"Orlenta.exe", {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "msvcrt.dll"}},
        // The console check reads files and the string table.
        {"OrlentaCheck.exe", {"kernel32.dll", "user32.dll", "msvcrt.dll"}},
        // The map: its window; the folder and report dialogs load when first asked for.
        {"OrlentaMap.exe", {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "msvcrt.dll"}},
    };
    for (const StartUpLibraries& program : programs) {
        PeImports file(ReadFileBytes(BuiltProgramPath(program.program)));
        std::set<std::string> direct = file.DllNames();
        ASSERT_FALSE(direct.empty()) << program.program << ": no import table read";
        for (const std::string& name : direct)
            EXPECT_TRUE(program.allowed.count(name))
                << program.program << ": " << name << " loads at start-up; imported: " << Join(direct);
    }
}

} // namespace
