// Fixed-capacity circular byte queue between the reader thread and
// waveOutThread. Every transfer is all or nothing, under one recursive lock.
#pragma once
#include <windows.h>

class CRingBuffer {
public:
    explicit CRingBuffer(DWORD capacity);
    virtual ~CRingBuffer();
    CRingBuffer(const CRingBuffer&) = delete;
    CRingBuffer& operator=(const CRingBuffer&) = delete;

    DWORD Write(const void* source, DWORD length);  // length, or 0 when it does not fit
    DWORD Read(void* destination, DWORD length);    // length, or 0 when fewer are held
    DWORD GetFreeSize();
    DWORD GetDataSize();
    void Reset();

    // For tests: the storage and positions as they are now.
    DWORD GetCapacity() const { return capacity_; }
    const BYTE* GetStorage() const { return storage_; }
    DWORD GetReadPosition() const { return readPos_; }
    DWORD GetWritePosition() const { return writePos_; }

private:
    DWORD capacity_;
    DWORD count_;
    DWORD readPos_;
    DWORD writePos_;
    BYTE* storage_;
    CRITICAL_SECTION lock_;
};
