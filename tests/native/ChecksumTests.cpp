#include "crypto/ChunkedChecksum.h"
#include "crypto/Kxa.h"
#include "reference/KxaReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using ih::crypto::kFileChecksumKey;

KxmaaContext Fed(std::string_view bytes, const std::uint8_t* key = kFileChecksumKey) {
    KxmaaContext context;
    kxmaa_init(&context, key);
    kxmaa_buffer(&context, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                 static_cast<std::uint32_t>(bytes.size()));
    return context;
}

std::uint32_t Checksum(std::string_view bytes) {
    KxmaaContext context = Fed(bytes);
    return kxmaa_finalise32(&context);
}

// Pinned once from this implementation, with the file checksum's key: the
// values script records on customer machines hold.
TEST(Checksum, KnownAnswers) {
    struct Vector {
        std::string_view text;
        std::uint32_t finalise64[2];
        std::uint32_t finalise32;
        std::uint32_t finalise2[2];
    } const vectors[] = {
        {"", {0, 0}, 0, {0xEC2E04C5, 0xCFC07AA3}},
        {"a", {0x00000061, 0}, 0x631D7BC8, {0xD44268B5, 0x5452DC3B}},
        {"abcdefgh", {0x2DE6BE2F, 0xC6D5BA0B}, 0xC6D5BA0B, {0x4353AA39, 0x8F816319}},
        {"abcdefghi", {0x2DE6BE46, 0xC6D5BA0B}, 0x51EC9AAD, {0x76EED031, 0xC287ABFA}},
        {"The quick brown fox jumps over the lazy dog", {0x59BB47AF, 0x37014CBD}, 0xE02A2972, {0x162D7AFE, 0xDFA83C5B}},
    };
    for (const auto& v : vectors) {
        SCOPED_TRACE(std::string(v.text));
        KxmaaContext context = Fed(v.text);
        KxmaaContext copy = context;
        std::uint32_t result[2] = {1, 1};
        EXPECT_EQ(kxmaa_finalise64(&context, result), 0);
        EXPECT_EQ(result[0], v.finalise64[0]);
        EXPECT_EQ(result[1], v.finalise64[1]);
        EXPECT_EQ(kxmaa_finalise32(&context), v.finalise32);
        EXPECT_EQ(kxmaa_finalise2(&copy, result), 0);
        EXPECT_EQ(result[0], v.finalise2[0]);
        EXPECT_EQ(result[1], v.finalise2[1]);
    }
}

TEST(Checksum, InitResetsRunningBlockAndPending) {
    KxmaaContext context;
    std::memset(&context, 0xEE, sizeof context);
    const std::uint8_t key[8] = {8, 7, 6, 5, 4, 3, 2, 1};
    kxmaa_init(&context, key);
    EXPECT_EQ(context.pending, 0);
    for (const std::uint8_t byte : context.cipher.block) EXPECT_EQ(byte, 0);
    KxaContext keyed;
    kxa_setk(&keyed, key);
    EXPECT_EQ(std::memcmp(context.cipher.roundKey0, keyed.roundKey0, 32), 0);
}

// Random messages cut at random places: the buffer form, the byte form and
// the plain byte-wise form keep the same running block and pending count.
TEST(Checksum, BufferEqualsByteAtATimeAndTheByteWiseForm) {
    std::mt19937 random(4739105);
    for (int n = 0; n < 300; ++n) {
        std::uint8_t key[8];
        for (auto& b : key) b = static_cast<std::uint8_t>(random());
        std::vector<std::uint8_t> message(random() % 200);
        for (auto& b : message) b = static_cast<std::uint8_t>(random());

        KxmaaContext buffered, bytewise;
        ih::reference::Checksum reference;
        std::memset(&buffered, 0, sizeof buffered); // the unused chain, so whole contexts compare
        std::memset(&bytewise, 0, sizeof bytewise);
        kxmaa_init(&buffered, key);
        kxmaa_init(&bytewise, key);
        ih::reference::Init(reference, key);
        std::size_t offset = 0;
        while (offset < message.size()) {
            const std::size_t piece = std::min<std::size_t>(random() % 40, message.size() - offset);
            EXPECT_EQ(kxmaa_buffer(&buffered, message.data() + offset, static_cast<std::uint32_t>(piece)), 0);
            offset += piece;
        }
        for (const std::uint8_t b : message) {
            EXPECT_EQ(kxmaa_byte(&bytewise, b), 0);
            ih::reference::AddByte(reference, b);
        }
        ASSERT_EQ(std::memcmp(&buffered, &bytewise, sizeof buffered), 0) << "case " << n;
        ASSERT_EQ(std::memcmp(buffered.cipher.block, reference.cipher.block, 8), 0) << "case " << n;
        ASSERT_EQ(buffered.pending, reference.pending);
        ASSERT_EQ(kxmaa_finalise32(&buffered), ih::reference::Finalise32(reference));
    }
}

// A long input keeps the running block in two words across many groups; it
// must give what the byte-wise form gives, from any pending count.
TEST(Checksum, LongBuffersAgreeWithTheByteWiseForm) {
    std::mt19937 random(8192);
    std::vector<std::uint8_t> message(200 * 1024 + 5);
    for (auto& b : message) b = static_cast<std::uint8_t>(random());
    for (const std::size_t head : {std::size_t{0}, std::size_t{3}}) {
        std::uint8_t key[8];
        for (auto& b : key) b = static_cast<std::uint8_t>(random());
        KxmaaContext context;
        ih::reference::Checksum reference;
        kxmaa_init(&context, key);
        ih::reference::Init(reference, key);
        kxmaa_buffer(&context, message.data(), static_cast<std::uint32_t>(head));
        kxmaa_buffer(&context, message.data() + head, static_cast<std::uint32_t>(message.size() - head));
        for (const std::uint8_t b : message) ih::reference::AddByte(reference, b);
        EXPECT_EQ(std::memcmp(context.cipher.block, reference.cipher.block, 8), 0) << head;
        EXPECT_EQ(context.pending, reference.pending);
    }
}

TEST(Checksum, ZeroLengthChangesNothing) {
    KxmaaContext context = Fed("abc");
    const KxmaaContext before = context;
    kxmaa_buffer(&context, nullptr, 0);
    EXPECT_EQ(std::memcmp(&context, &before, sizeof context), 0);
}

TEST(Checksum, NinthByteLandsInByteZeroAndIsEncipheredAtTheEnd) {
    const std::string eight = "12345678";
    KxmaaContext context = Fed(eight + "\x5A");
    EXPECT_EQ(context.pending, 1);
    const KxmaaContext ofEight = Fed(eight);
    EXPECT_EQ(context.cipher.block[0], ofEight.cipher.block[0] ^ 0x5A);
    EXPECT_EQ(std::memcmp(context.cipher.block + 1, ofEight.cipher.block + 1, 7), 0);

    KxaContext expected = context.cipher;
    kxa_crypt(&expected, 0);
    EXPECT_EQ(kxmaa_finalise32(&context), expected.block[4] | expected.block[5] << 8 | expected.block[6] << 16 |
                                              std::uint32_t{expected.block[7]} << 24);
    EXPECT_EQ(context.pending, 1) << "finalising leaves pending as it was";
    const std::uint32_t second = kxmaa_finalise32(&context);
    EXPECT_NE(second, Checksum(eight + "\x5A")) << "a second finalisation enciphers again";
}

TEST(Checksum, TrailingZerosCountOnlyAcrossAGroupBoundary) {
    const std::string base = "script!!"
                             "abc"; // 11 bytes: a partial second group
    EXPECT_EQ(Checksum(base), Checksum(base + std::string(3, '\0')));
    EXPECT_EQ(Checksum(base), Checksum(base + std::string(5, '\0'))) << "16 bytes: completes the group with zeros";
    EXPECT_NE(Checksum(base), Checksum(base + std::string(6, '\0'))) << "17 bytes: a third group";
    EXPECT_NE(Checksum("script!!"), Checksum(std::string("script!!") + '\0'));
}

TEST(Checksum, FinaliseTwoEnciphersThreeTimesWhateverIsPending) {
    for (const std::string_view text : {"", "abc", "abcdefgh"}) {
        KxmaaContext context = Fed(text);
        KxaContext expected = context.cipher;
        for (int i = 0; i < 3; ++i) kxa_crypt(&expected, 0);
        std::uint32_t result[2];
        kxmaa_finalise2(&context, result);
        EXPECT_EQ(std::memcmp(context.cipher.block, expected.block, 8), 0) << text;
    }
}

// The file checksum's loop: whatever sizes the reads come in, the value is the
// content's; a failed read gives none, however much was read before it.
class ScriptedSource final : public ih::crypto::ChecksumSource {
public:
    ScriptedSource(std::string_view content, std::vector<std::uint32_t> sizes, bool failAtEnd)
        : content_(content), sizes_(std::move(sizes)), failAtEnd_(failAtEnd) {}

    bool Read(std::uint8_t* chunk, std::uint32_t capacity, std::uint32_t& read) override {
        EXPECT_EQ(capacity, ih::crypto::kFileChecksumChunk);
        ++calls;
        if (content_.empty() && failAtEnd_) return false;
        const std::uint32_t wanted = next_ < sizes_.size() ? sizes_[next_++] : capacity;
        read = static_cast<std::uint32_t>(std::min<std::size_t>({wanted, capacity, content_.size()}));
        std::memcpy(chunk, content_.data(), read);
        content_.remove_prefix(read);
        return true;
    }
    int calls = 0;

private:
    std::string_view content_;
    std::vector<std::uint32_t> sizes_;
    std::size_t next_ = 0;
    bool failAtEnd_;
};

TEST(ChunkedChecksum, ValueOfTheWholeStreamWhateverTheReadSizes) {
    std::string content;
    for (int i = 0; i < 3 * 8192 + 5; ++i) content.push_back(static_cast<char>(i * 7 + (i >> 9)));
    for (const std::vector<std::uint32_t>& sizes : {std::vector<std::uint32_t>{}, {1, 7, 9, 8191, 3}, {5, 5, 5}}) {
        ScriptedSource source(content, sizes, false);
        EXPECT_EQ(ih::crypto::ChecksumChunks(source), Checksum(content));
    }
    ScriptedSource fox("The quick brown fox jumps over the lazy dog", {}, false);
    EXPECT_EQ(ih::crypto::ChecksumChunks(fox), 0xE02A2972u);
    EXPECT_EQ(fox.calls, 2) << "one read with the bytes, one that gives none";
    ScriptedSource empty("", {}, false);
    EXPECT_EQ(ih::crypto::ChecksumChunks(empty), 0u);
}

TEST(ChunkedChecksum, AFailedReadGivesNoValue) {
    ScriptedSource source("abcdefghi", {4}, true);
    EXPECT_EQ(ih::crypto::ChecksumChunks(source), std::nullopt);
    EXPECT_EQ(source.calls, 3) << "reads until the failure, then stops";
}

} // namespace
