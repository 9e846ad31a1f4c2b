#include "common/ImportPatch.h"

namespace {

// The import address slot of dll!function in the executable, or null.
void** FindSlot(const char* dll, const char* function)
{
    BYTE* base = (BYTE*)GetModuleHandleA(nullptr);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA((const char*)(base + d->Name), dll) != 0 || !d->OriginalFirstThunk)
            continue;
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME* byName = (IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
            if (lstrcmpA((const char*)byName->Name, function) == 0)
                return (void**)&slots->u1.Function;
        }
    }
    return nullptr;
}

} // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement)
    : slot_(FindSlot(dll, function)), original_(nullptr)
{
    if (!slot_)
        return;
    original_ = *slot_;
    Write(replacement);
}

ImportPatch::~ImportPatch()
{
    if (slot_)
        Write(original_);
}

void ImportPatch::Write(void* value)
{
    DWORD old = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    InterlockedExchangePointer(slot_, value);
    VirtualProtect(slot_, sizeof *slot_, old, &old);
}
