#include "playback/CRingBuffer.h"

#include <new>
#include <string.h>

#include "app/ScopedWin.h"

CRingBuffer::CRingBuffer(DWORD capacity)
    : capacity_(capacity), count_(0), readPos_(0), writePos_(0), storage_(nullptr)
{
    InitializeCriticalSection(&lock_);
    storage_ = new (std::nothrow) BYTE[capacity ? capacity : 1];
    if (storage_)
        memset(storage_, 0, capacity);
    else
        capacity_ = 0;  // without storage the buffer stays empty and refuses every write
}

CRingBuffer::~CRingBuffer()
{
    delete[] storage_;
    DeleteCriticalSection(&lock_);
}

DWORD CRingBuffer::GetDataSize()
{
    ScopedCritSec hold(&lock_);
    if (writePos_ == readPos_)
        return count_;
    if (writePos_ > readPos_)
        return writePos_ - readPos_;
    return capacity_ - readPos_ + writePos_;
}

DWORD CRingBuffer::GetFreeSize()
{
    ScopedCritSec hold(&lock_);
    if (writePos_ == readPos_)
        return capacity_ - count_;
    if (writePos_ > readPos_)
        return capacity_ - writePos_ + readPos_;
    return readPos_ - writePos_;
}

DWORD CRingBuffer::Write(const void* source, DWORD length)
{
    ScopedCritSec hold(&lock_);
    if (length == 0 || GetFreeSize() < length)
        return 0;
    const BYTE* from = static_cast<const BYTE*>(source);
    DWORD tail = capacity_ - writePos_;
    DWORD first = length <= tail ? length : tail;
    memcpy(storage_ + writePos_, from, first);
    count_ += first;
    writePos_ += first;
    if (writePos_ == capacity_)
        writePos_ = 0;
    if (first < length) {
        DWORD rest = length - first;
        memcpy(storage_, from + first, rest);  // writePos_ is 0 here
        count_ += rest;
        writePos_ = rest;
    }
    return length;
}

DWORD CRingBuffer::Read(void* destination, DWORD length)
{
    ScopedCritSec hold(&lock_);
    DWORD held = GetDataSize();
    if (length == 0 || held < length)
        return 0;
    BYTE* to = static_cast<BYTE*>(destination);
    DWORD tail = capacity_ - readPos_;
    DWORD first = length <= tail ? length : tail;
    memcpy(to, storage_ + readPos_, first);
    memset(storage_ + readPos_, 0, first);
    count_ -= first;
    readPos_ += first;
    if (readPos_ == capacity_)
        readPos_ = 0;
    if (first < length) {
        DWORD rest = length - first;
        memcpy(to + first, storage_, rest);  // readPos_ is 0 here
        memset(storage_, 0, rest);
        count_ -= rest;
        readPos_ = rest;
    }
    return length;
}

void CRingBuffer::Reset()
{
    ScopedCritSec hold(&lock_);
    if (storage_)
        memset(storage_, 0, capacity_);
    readPos_ = 0;
    writePos_ = 0;
    count_ = 0;
}
