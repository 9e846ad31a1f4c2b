// One audio compression manager stream with its one prepared header and the
// global-heap block the header describes: the source bytes, then the
// destination bytes. Open leaves either all three in place or nothing; Close
// (Release and the destructor go through it) is the one way they are released.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include "app/ScopedWin.h"

class CAcmStream {
public:
    CAcmStream();
    virtual ~CAcmStream();
    CAcmStream(const CAcmStream&) = delete;
    CAcmStream& operator=(const CAcmStream&) = delete;

    // Opens a stream from source to dest with room for sourceBytes of source
    // and for what the manager says they become: on driver when one is given,
    // otherwise on the first driver that takes the formats. Answers the
    // manager's result, 0 on success. A stream still held is let go first.
    MMRESULT Open(const WAVEFORMATEX* source, const WAVEFORMATEX* dest, DWORD sourceBytes,
                  HACMDRIVER driver = nullptr);
    // Converts the first length bytes at Source() into Dest(); *used: the
    // source bytes the manager took, *produced: the bytes it wrote.
    MMRESULT Convert(DWORD length, DWORD flags, DWORD* used, DWORD* produced);
    // Unprepares the header and closes the stream. The first failure answers
    // at once and leaves the rest as it was, so a later Close tries again.
    MMRESULT Close();
    // Forgets the stream, its header and its block without releasing any of
    // them: what would not close is left alone rather than freed under the
    // manager.
    void Abandon();
    // Closes what will close and forgets the rest.
    void Release();

    bool IsOpen() const { return stream_ != nullptr; }
    // The driver of the open stream, or null.
    HACMDRIVERID DriverId() const;
    BYTE* Source() const { return block_.As<BYTE>(); }
    DWORD SourceBytes() const { return sourceBytes_; }
    const BYTE* Dest() const { return block_.As<BYTE>() + sourceBytes_; }
    DWORD DestBytes() const { return destBytes_; }

private:
    MMRESULT Prepare(DWORD sourceBytes);

    HACMSTREAM stream_;
    ACMSTREAMHEADER header_;
    bool prepared_;
    ScopedBlock block_;
    DWORD sourceBytes_;
    DWORD destBytes_;
};
