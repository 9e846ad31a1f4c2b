// Fault injection into the calls the code under test makes to a system
// library: the test executable's import slot of one function is pointed at a
// replacement for the life of this object, then put back.
#pragma once
#include <windows.h>

class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Applied() const { return slot_ != nullptr; }
    void* Original() const { return original_; }

private:
    void Write(void* value);

    void** slot_;
    void* original_;
};
