#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "Profile.h"
#include "ProfileFile.h"
#include "ProfileParser.h"
#include "Sandbox.h"

// Counts the heap in use by this test program, so that the memory a profile operation needs can be
// measured as the peak above what was in use before it.
namespace {
std::atomic<std::size_t> g_inUse{0};
std::atomic<std::size_t> g_peak{0};

void* allocate(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    std::size_t now = g_inUse.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void release(void* p) noexcept {
    if (!p)
        return;
    g_inUse.fetch_sub(malloc_usable_size(p));
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}

namespace {

// The heap that `body` needs at its peak beyond what was in use before it.
template <typename Body>
std::size_t peakHeapOf(Body body) {
    std::size_t before = g_inUse.load();
    g_peak.store(before);
    body();
    return g_peak.load() - before;
}

// About 2 MB of the shortest lines a profile holds, in one section, the case where per-line costs
// dominate.
std::string shortLines(std::size_t& keys) {
    std::string text = "[S]\r\n";
    for (keys = 0; text.size() < 2'000'000; ++keys)
        text += "k" + std::to_string(keys) + "=1\r\n";
    return text;
}

TEST(ProfileCostTest, MemoryIsASmallMultipleOfTheFileForReadsAndWrites) {
    qx::test::Sandbox sandbox;
    std::size_t keys = 0;
    const std::string text = shortLines(keys);
    sandbox.file("big.ini", text);
    qx::Profile profile(sandbox.root());
    const std::string last = "k" + std::to_string(keys - 1);

    // A single read scans the text: the text is all it holds.
    std::size_t firstRead = peakHeapOf([&] { EXPECT_EQ(profile.getInt("big.ini", "S", last, 0), 1); });
    EXPECT_LE(firstRead, 2 * text.size()) << "first read";

    // Reading the same version again builds the index of every key.
    std::size_t indexed = peakHeapOf([&] { EXPECT_EQ(profile.getInt("big.ini", "S", "k1", 0), 1); });
    EXPECT_LE(indexed, 6 * text.size()) << "index";

    std::size_t write = peakHeapOf([&] { EXPECT_TRUE(profile.writeString("big.ini", "S", last, "2")); });
    EXPECT_LE(write, 5 * text.size()) << "write";
    EXPECT_EQ(profile.getInt("big.ini", "S", last, 0), 2);
}

// Work is counted in bytes that the searches for line ends look at, not in time: each byte of a text
// is looked at a small number of times, whatever the length of its lines and whatever ends them.
template <typename Body>
std::uint64_t bytesScannedBy(Body body) {
    std::uint64_t before = qx::profileBytesScanned();
    body();
    return qx::profileBytesScanned() - before;
}

TEST(ProfileCostTest, ASingleReadOfOneLongLineLooksAtEachByteAFewTimes) {
    qx::test::Sandbox sandbox;
    for (std::size_t length : {std::size_t(1) << 18, std::size_t(1) << 20}) {
        const std::string text = "[S]\r\nlong=" + std::string(length, 'x') + "\r\nk=1\r\n";
        const std::filesystem::path file = sandbox.file("long.ini", text);
        std::optional<std::optional<std::string>> value;
        std::uint64_t scanned =
            bytesScannedBy([&] { value = qx::findProfileValueInFile(file, "S", "k", 4096); });
        ASSERT_TRUE(value && *value);
        EXPECT_EQ(**value, "1");
        EXPECT_LE(scanned, 6 * text.size()) << length;
    }
}

// Repeated headers in a file of CRs alone: the line of each header was once found by a search for the
// next LF, which lies at the end of such a file.
TEST(ProfileCostTest, AnIndexOfACrFileWithRepeatedSectionsLooksAtEachByteAFewTimes) {
    qx::test::Sandbox sandbox;
    for (std::size_t headers : {20'000, 80'000}) {
        std::string text = "[Dup]\rk=1\r";
        for (std::size_t i = 0; i < headers; ++i)
            text += "[Dup]\r";
        std::uint64_t scanned = bytesScannedBy([&] {
            qx::ProfileIndex index(text);
            EXPECT_EQ(index.find("dup", "K"), "1");
        });
        EXPECT_LE(scanned, 4 * text.size()) << headers;

        // The service reads a file again and again: its second read of a version builds the index.
        sandbox.file("dup.ini", text);
        qx::Profile profile(sandbox.root());
        profile.setSettleTime(std::chrono::nanoseconds(0));
        scanned = bytesScannedBy([&] {
            for (int read = 0; read < 3; ++read)
                EXPECT_EQ(profile.getInt("dup.ini", "Dup", "k", 0), 1);
        });
        EXPECT_LE(scanned, 8 * text.size()) << headers;
    }
}

}  // namespace
