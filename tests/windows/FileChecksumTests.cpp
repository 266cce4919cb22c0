// ComputeFileChecksum on real files, and the cipher and checksum families
// through the built DLL's export table.

#include "crypto/FileChecksum.h"
#include "crypto/Kxa.h"
#include "support/ProductDll.h"
#include "support/HandleCount.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using ih::crypto::ComputeFileChecksum;
using namespace ih::test;

constexpr std::uint32_t kUntouched = 0xDEADBEEF;

struct Outcome {
    bool ok;
    std::uint32_t checksum = kUntouched;
    std::uint32_t error = kUntouched;
};

Outcome Checksum(const std::wstring& path) {
    Outcome outcome{};
    const HandleCountCheck handles;
    outcome.ok = ComputeFileChecksum(path.c_str(), &outcome.checksum, &outcome.error);
    EXPECT_TRUE(handles.Unchanged()) << "the file is closed on every path";
    return outcome;
}

std::uint32_t ChecksumInMemory(const std::string& content) {
    KxmaaContext context;
    kxmaa_init(&context, ih::crypto::kFileChecksumKey);
    for (const char c : content) kxmaa_byte(&context, static_cast<std::uint8_t>(c));
    return kxmaa_finalise32(&context);
}

class FileChecksumTest : public testing::Test {
protected:
    TestFolder folder;
};

TEST_F(FileChecksumTest, CoversTheWholeContentAndNothingElse) {
    std::string large;
    for (int i = 0; i < 3 * 8192 + 5; ++i) large.push_back(static_cast<char>(i * 7 + (i >> 9)));
    struct Case {
        const wchar_t* name;
        std::string content;
        std::uint32_t expected;
    } const cases[] = {
        {L"empty.cmd", "", 0},
        // Pinned with the same value as the native known answers.
        {L"fox.txt", "The quick brown fox jumps over the lazy dog", 0xE02A2972},
        {L"same fox, other name.bin", "The quick brown fox jumps over the lazy dog", 0xE02A2972},
        {L"chunk.bin", large.substr(0, 8192), ChecksumInMemory(large.substr(0, 8192))},
        {L"several chunks.bin", large, ChecksumInMemory(large)},
    };
    for (const auto& c : cases) {
        folder.WriteFile(c.name, c.content);
        const Outcome outcome = Checksum(folder / c.name);
        EXPECT_TRUE(outcome.ok);
        EXPECT_EQ(outcome.checksum, c.expected) << c.content.size() << " bytes";
        EXPECT_EQ(outcome.error, kUntouched) << "the error code is left alone on success";
    }
    folder.WriteFile(L"one more zero.bin", large + '\0');
    EXPECT_EQ(Checksum(folder / L"one more zero.bin").checksum, Checksum(folder / L"several chunks.bin").checksum)
        << "13 bytes in the last group: a zero more completes it the same way";
    folder.WriteFile(L"eight.bin", "12345678");
    folder.WriteFile(L"nine.bin", std::string("12345678") + '\0');
    EXPECT_NE(Checksum(folder / L"eight.bin").checksum, Checksum(folder / L"nine.bin").checksum);
}

TEST_F(FileChecksumTest, OptionalOutValues) {
    folder.WriteFile(L"a.txt", "a");
    EXPECT_TRUE(ComputeFileChecksum((folder / L"a.txt").c_str(), nullptr, nullptr));
    EXPECT_FALSE(ComputeFileChecksum((folder / L"missing").c_str(), nullptr, nullptr));
    EXPECT_FALSE(ComputeFileChecksum(nullptr, nullptr, nullptr));
}

TEST_F(FileChecksumTest, FailuresGiveTheSystemsCodeAndLeaveTheChecksumAlone) {
    folder.WriteFile(L"present.txt", "x");
    struct Case {
        const char* what;
        std::wstring path;
        std::uint32_t error;
    } const cases[] = {
        {"missing file", folder / L"missing.cmd", ERROR_FILE_NOT_FOUND},
        {"missing folder", folder / L"no folder\\x.cmd", ERROR_PATH_NOT_FOUND},
        {"a folder, not a file", folder.Path(), ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = Checksum(c.path);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(outcome.checksum, kUntouched);
    }
    Outcome unnamed{};
    unnamed.ok = ComputeFileChecksum(nullptr, &unnamed.checksum, &unnamed.error);
    EXPECT_FALSE(unnamed.ok);
    EXPECT_EQ(unnamed.error, 13u);
    EXPECT_EQ(unnamed.checksum, kUntouched);
}

TEST_F(FileChecksumTest, SharesTheFileWithReadersOnly) {
    const std::wstring path = folder / L"held.cmd";
    folder.WriteFile(L"held.cmd", "The quick brown fox jumps over the lazy dog");
    {
        const HANDLE reader =
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        const Outcome outcome = Checksum(path);
        EXPECT_TRUE(outcome.ok) << "another reader is welcome";
        EXPECT_EQ(outcome.checksum, 0xE02A2972u);
        ::CloseHandle(reader);
    }
    {
        const HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        const Outcome outcome = Checksum(path);
        EXPECT_FALSE(outcome.ok) << "a writer may change the script under the checksum";
        EXPECT_EQ(outcome.error, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(outcome.checksum, kUntouched);
        ::CloseHandle(writer);
    }
    EXPECT_TRUE(Checksum(path).ok) << "readable again once the writer is gone";
}

// The 13 functions through the DLL's export table, with the C calling
// convention the header declares.
TEST(CipherExports, AreCallableByTheirUndecoratedNames) {
    ih::test::LoadedProductDll library;
    const char* names[] = {"kxa_setk",         "kxa_init",         "kxa_crypt",      "kxa_cbcenc", "kxa_cbcdec",
                           "kxa_isweak",       "kxa_sanitise",     "kxmaa_init",     "kxmaa_byte", "kxmaa_buffer",
                           "kxmaa_finalise32", "kxmaa_finalise64", "kxmaa_finalise2"};
    for (const char* name : names) EXPECT_NE(library.Entry(name), nullptr) << name;

    const auto find = [&library](const char* name) { return library.Entry(name); };
    const auto init = reinterpret_cast<decltype(&kxmaa_init)>(find("kxmaa_init"));
    const auto buffer = reinterpret_cast<decltype(&kxmaa_buffer)>(find("kxmaa_buffer"));
    const auto byte = reinterpret_cast<decltype(&kxmaa_byte)>(find("kxmaa_byte"));
    const auto finalise32 = reinterpret_cast<decltype(&kxmaa_finalise32)>(find("kxmaa_finalise32"));
    const auto cbcenc = reinterpret_cast<decltype(&kxa_cbcenc)>(find("kxa_cbcenc"));
    const auto kxaInit = reinterpret_cast<decltype(&kxa_init)>(find("kxa_init"));
    ASSERT_TRUE(init && buffer && byte && finalise32 && cbcenc && kxaInit);

    KxmaaContext context;
    init(&context, ih::crypto::kFileChecksumKey);
    const std::string fox = "The quick brown fox jumps over the lazy do";
    buffer(&context, reinterpret_cast<const std::uint8_t*>(fox.data()), static_cast<std::uint32_t>(fox.size()));
    byte(&context, 'g');
    EXPECT_EQ(finalise32(&context), 0xE02A2972u);

    // A long buffer against byte by byte.
    std::string large;
    for (int i = 0; i < 100 * 1024 + 3; ++i) large.push_back(static_cast<char>(i * 13 + (i >> 8)));
    KxmaaContext whole, bytewise;
    init(&whole, ih::crypto::kFileChecksumKey);
    init(&bytewise, ih::crypto::kFileChecksumKey);
    buffer(&whole, reinterpret_cast<const std::uint8_t*>(large.data()), static_cast<std::uint32_t>(large.size()));
    for (const char c : large) byte(&bytewise, static_cast<std::uint8_t>(c));
    EXPECT_EQ(std::memcmp(whole.cipher.block, bytewise.cipher.block, 8), 0);
    EXPECT_EQ(finalise32(&whole), finalise32(&bytewise));

    KxaContext cipher;
    const std::uint8_t key[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    std::uint8_t block[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    EXPECT_EQ(kxaInit(&cipher, key), 0);
    cbcenc(&cipher, block);
    const std::uint8_t expected[8] = {0x18, 0x19, 0x7E, 0xB5, 0x1A, 0x34, 0xD4, 0xF0};
    EXPECT_EQ(std::memcmp(block, expected, 8), 0);
    EXPECT_TRUE(library.Free());
}

} // namespace
