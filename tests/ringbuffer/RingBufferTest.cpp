#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "playback/CRingBuffer.h"

namespace {

// The observable state of a buffer: positions, sizes and the storage itself.
struct Snapshot {
    DWORD readPos, writePos, data, free;
    std::string storage;
    bool operator==(const Snapshot& o) const
    {
        return readPos == o.readPos && writePos == o.writePos && data == o.data && free == o.free &&
               storage == o.storage;
    }
};

Snapshot Take(CRingBuffer& rb)
{
    return {rb.GetReadPosition(), rb.GetWritePosition(), rb.GetDataSize(), rb.GetFreeSize(),
            std::string(reinterpret_cast<const char*>(rb.GetStorage()), rb.GetCapacity())};
}

bool AllZero(CRingBuffer& rb)
{
    for (DWORD i = 0; i < rb.GetCapacity(); ++i) {
        if (rb.GetStorage()[i] != 0)
            return false;
    }
    return true;
}

std::vector<BYTE> Sequence(DWORD length, BYTE first)
{
    std::vector<BYTE> v(length);
    for (DWORD i = 0; i < length; ++i)
        v[i] = (BYTE)(first + i);
    return v;
}

} // namespace

TEST(RingBuffer, NewBufferIsEmptyAndZeroed)
{
    for (DWORD capacity : {10u, 65537u}) {
        CRingBuffer rb(capacity);
        EXPECT_EQ(rb.GetCapacity(), capacity);
        EXPECT_EQ(rb.GetDataSize(), 0u);
        EXPECT_EQ(rb.GetFreeSize(), capacity);
        EXPECT_EQ(rb.GetReadPosition(), 0u);
        EXPECT_EQ(rb.GetWritePosition(), 0u);
        EXPECT_TRUE(AllZero(rb));
    }
}

TEST(RingBuffer, TransfersAreAllOrNothing)
{
    CRingBuffer rb(10);
    auto six = Sequence(6, 1);
    ASSERT_EQ(rb.Write(six.data(), 6), 6u);
    BYTE two[2];
    ASSERT_EQ(rb.Read(two, 2), 2u);  // positions 2 and 6, 4 held, 6 free

    Snapshot before = Take(rb);
    auto seven = Sequence(7, 50);
    EXPECT_EQ(rb.Write(seven.data(), 7), 0u) << "more than is free";
    EXPECT_TRUE(Take(rb) == before);

    BYTE five[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(rb.Read(five, 5), 0u) << "more than is held, although some bytes are held";
    EXPECT_TRUE(Take(rb) == before);
    EXPECT_EQ(five[0], 0xEE) << "a refused read copies nothing";

    EXPECT_EQ(rb.Write(seven.data(), 0), 0u);
    EXPECT_EQ(rb.Read(five, 0), 0u);
    EXPECT_TRUE(Take(rb) == before);

    // What was held is intact and in order.
    BYTE four[4];
    ASSERT_EQ(rb.Read(four, 4), 4u);
    EXPECT_EQ(std::vector<BYTE>(four, four + 4), std::vector<BYTE>(six.begin() + 2, six.end()));
    EXPECT_EQ(rb.Read(four, 1), 0u) << "an empty buffer gives nothing";
    EXPECT_TRUE(AllZero(rb));
}

TEST(RingBuffer, FullBuffer)
{
    const DWORD capacity = 65537;
    CRingBuffer rb(capacity);
    auto all = Sequence(capacity, 7);
    ASSERT_EQ(rb.Write(all.data(), capacity), capacity);
    EXPECT_EQ(rb.GetFreeSize(), 0u);
    EXPECT_EQ(rb.GetDataSize(), capacity);
    EXPECT_EQ(rb.GetReadPosition(), rb.GetWritePosition());
    BYTE one = 1;
    EXPECT_EQ(rb.Write(&one, 1), 0u);
    EXPECT_EQ(rb.Write(all.data(), 320), 0u);

    // Reading all but one byte leaves the last byte held at the end of the storage.
    std::vector<BYTE> out(capacity);
    ASSERT_EQ(rb.Read(out.data(), capacity - 1), capacity - 1);
    EXPECT_EQ(std::vector<BYTE>(out.begin(), out.end() - 1), std::vector<BYTE>(all.begin(), all.end() - 1));
    EXPECT_EQ(rb.GetDataSize(), 1u);
    EXPECT_EQ(rb.GetReadPosition(), capacity - 1);
    EXPECT_EQ(rb.GetStorage()[capacity - 1], all.back());
    for (DWORD i = 0; i < capacity - 1; ++i)
        ASSERT_EQ(rb.GetStorage()[i], 0) << "index " << i;

    // A full buffer read whole: empty, both positions 0.
    CRingBuffer whole(capacity);
    ASSERT_EQ(whole.Write(all.data(), capacity), capacity);
    ASSERT_EQ(whole.Read(out.data(), capacity), capacity);
    EXPECT_EQ(out, all);
    EXPECT_EQ(whole.GetDataSize(), 0u);
    EXPECT_EQ(whole.GetFreeSize(), capacity);
    EXPECT_EQ(whole.GetReadPosition(), 0u);
    EXPECT_EQ(whole.GetWritePosition(), 0u);
    EXPECT_TRUE(AllZero(whole));
}

TEST(RingBuffer, WrapsAroundTheEndOfTheStorage)
{
    CRingBuffer rb(10);
    auto eight = Sequence(8, 1);
    BYTE scratch[8];
    ASSERT_EQ(rb.Write(eight.data(), 8), 8u);
    ASSERT_EQ(rb.Read(scratch, 8), 8u);
    ASSERT_EQ(rb.GetReadPosition(), 8u);
    ASSERT_EQ(rb.GetWritePosition(), 8u);
    ASSERT_EQ(rb.GetDataSize(), 0u);

    const BYTE values[5] = {11, 12, 13, 14, 15};
    ASSERT_EQ(rb.Write(values, 5), 5u);
    const BYTE* s = rb.GetStorage();
    EXPECT_EQ(s[8], 11);
    EXPECT_EQ(s[9], 12);
    EXPECT_EQ(s[0], 13);
    EXPECT_EQ(s[1], 14);
    EXPECT_EQ(s[2], 15);
    EXPECT_EQ(rb.GetWritePosition(), 3u);
    EXPECT_EQ(rb.GetDataSize(), 5u);
    EXPECT_EQ(rb.GetFreeSize(), 5u);

    BYTE out[5] = {};
    ASSERT_EQ(rb.Read(out, 5), 5u);
    EXPECT_EQ(std::vector<BYTE>(out, out + 5), std::vector<BYTE>(values, values + 5));
    EXPECT_EQ(rb.GetReadPosition(), 3u);
    for (int i : {8, 9, 0, 1, 2})
        EXPECT_EQ(s[i], 0) << "index " << i;
    EXPECT_TRUE(AllZero(rb));
}

TEST(RingBuffer, ResetEmptiesAndZeroes)
{
    CRingBuffer rb(10);
    auto ten = Sequence(10, 1);
    BYTE three[3];
    ASSERT_EQ(rb.Write(ten.data(), 4), 4u);
    ASSERT_EQ(rb.Read(three, 3), 3u);
    ASSERT_EQ(rb.Write(ten.data(), 9), 9u);  // full, positions 3 and 3
    ASSERT_EQ(rb.GetFreeSize(), 0u);
    rb.Reset();
    EXPECT_EQ(rb.GetDataSize(), 0u);
    EXPECT_EQ(rb.GetFreeSize(), 10u);
    EXPECT_EQ(rb.GetReadPosition(), 0u);
    EXPECT_EQ(rb.GetWritePosition(), 0u);
    EXPECT_TRUE(AllZero(rb));
    ASSERT_EQ(rb.Write(ten.data(), 10), 10u);
    BYTE out[10];
    ASSERT_EQ(rb.Read(out, 10), 10u);
    EXPECT_EQ(std::vector<BYTE>(out, out + 10), ten);
}

namespace {

// The byte at a position of the stream: not periodic in any block size used.
BYTE StreamByte(ULONGLONG pos)
{
    ULONGLONG x = pos * 0x9E3779B97F4A7C15ull;
    return (BYTE)(x >> 56);
}

struct Transfer {
    CRingBuffer* rb;
    ULONGLONG total;
    DWORD block;
    DWORD deadline;  // GetTickCount at which a stuck side gives up
    ULONGLONG moved;
    ULONGLONG wrong;  // reader: bytes that were not what was written there
    ULONGLONG firstWrong;
};

DWORD WINAPI Writer(void* param)
{
    Transfer* t = static_cast<Transfer*>(param);
    std::vector<BYTE> block(t->block);
    while (t->moved < t->total) {
        DWORD n = (DWORD)std::min<ULONGLONG>(t->block, t->total - t->moved);
        for (DWORD i = 0; i < n; ++i)
            block[i] = StreamByte(t->moved + i);
        while (t->rb->Write(block.data(), n) == 0) {
            if ((int)(GetTickCount() - t->deadline) > 0)
                return 1;
            SwitchToThread();
        }
        t->moved += n;
    }
    return 0;
}

DWORD WINAPI Reader(void* param)
{
    Transfer* t = static_cast<Transfer*>(param);
    std::vector<BYTE> block(t->block);
    while (t->moved < t->total) {
        DWORD n = (DWORD)std::min<ULONGLONG>(t->block, t->total - t->moved);
        while (t->rb->Read(block.data(), n) == 0) {
            if ((int)(GetTickCount() - t->deadline) > 0)
                return 1;
            SwitchToThread();
        }
        for (DWORD i = 0; i < n; ++i) {
            if (block[i] != StreamByte(t->moved + i)) {
                if (t->wrong++ == 0)
                    t->firstWrong = t->moved + i;
            }
        }
        t->moved += n;
    }
    return 0;
}

} // namespace

// The reader thread stores one-second blocks, waveOutThread takes 20 ms at a
// time: every byte must arrive once and in order.
TEST(RingBuffer, TwoThreadsMoveEveryByteOnceInOrder)
{
    const ULONGLONG total = 8000000;  // 500 blocks of 16000, 25000 reads of 320
    CRingBuffer rb(65537);
    DWORD deadline = GetTickCount() + 120000;
    Transfer in = {&rb, total, 16000, deadline, 0, 0, 0};
    Transfer out = {&rb, total, 320, deadline, 0, 0, 0};
    HANDLE threads[2] = {CreateThread(nullptr, 0, Writer, &in, 0, nullptr),
                         CreateThread(nullptr, 0, Reader, &out, 0, nullptr)};
    ASSERT_NE(threads[0], nullptr);
    ASSERT_NE(threads[1], nullptr);
    ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, 180000), WAIT_OBJECT_0);
    DWORD writerCode = 1, readerCode = 1;
    GetExitCodeThread(threads[0], &writerCode);
    GetExitCodeThread(threads[1], &readerCode);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);

    EXPECT_EQ(writerCode, 0u);
    EXPECT_EQ(readerCode, 0u);
    EXPECT_EQ(in.moved, total);
    EXPECT_EQ(out.moved, total);
    EXPECT_EQ(out.wrong, 0u) << "first wrong byte at " << out.firstWrong;
    EXPECT_EQ(rb.GetDataSize(), 0u);
    EXPECT_EQ(rb.GetFreeSize(), 65537u);
    EXPECT_TRUE(AllZero(rb));
}
