// What a file on disk looked like when the configurator last read or wrote it:
// enough to tell a change made since by someone else (another operator on a
// shared folder, an editor) from none, by size, last write time or content.
#pragma once
#include <windows.h>

struct FileStamp {
    bool found;              // a file of that name existed
    ULONGLONG size;
    FILETIME lastWrite;
    bool contentRead;        // contentHash holds the hash of the whole file
    ULONGLONG contentHash;
};

// The file as it is now. A file that exists but cannot be read (held open
// without read sharing) is stamped by its size and write time alone.
FileStamp TakeFileStamp(const char* fileName);

// The two stamps tell of a different file: found in one only, another size or
// write time, or other bytes where both were read.
bool FileStampsDiffer(const FileStamp& before, const FileStamp& now);
