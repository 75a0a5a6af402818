#include "bridge/companion/TextInputArchive.hpp"

#include "bridge/companion/BinaryPlistShape.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../Hex.hpp"

namespace orvel {
namespace {

namespace Archive = TextInputArchive;

const crypto::Bytes kUuid = hex("101112131415161718191a1b1c1d1e1f");

// The TV's archives as Python's plistlib writes them: the session as data with the text under
// classed objects; an empty field's text left out; the session an NSUUID and the text an NSString
// (UTF-16 in the plist).
const char* const kFieldThebe =
    "62706c6973743030d40102030405061c215924617263686976657258246f626a656374735424746f70582476"
    "657273696f6e5f10105254494b657965644172636869766572a70708090e14181955246e756c6c4f10101011"
    "12131415161718191a1b1c1d1e1fd20a0b0c0d5624636c61737355646f63537480038004d20f101112582463"
    "6c61737365735a24636c6173736e616d65a212135f1010525449446f63756d656e745374617465584e534f62"
    "6a656374d20a1516175f1012636f6e746578744265666f7265496e7075748006800556746865206265d20f10"
    "1a1ba21b135f100f5449446f63756d656e745374617465d21d1e1f205d646f63756d656e7453746174655b73"
    "657373696f6e555549448002800112000186a000080011001b0024002900320045004d00530066006b007200"
    "78007a007c0081008a0095009800ab00b400b900ce00d000d200d900de00e100f300f8010601120114011600"
    "0000000000020100000000000000220000000000000000000000000000011b";
const char* const kFieldWithoutText =
    "62706c6973743030d40102030405060d125924617263686976657258246f626a656374735424746f70582476"
    "657273696f6e5f10105254494b657965644172636869766572a40708090c55246e756c6c4f10101011121314"
    "15161718191a1b1c1d1e1fd10a0b55646f6353748003d0d20e0f10115d646f63756d656e7453746174655b73"
    "657373696f6e555549448002800112000186a008111b242932454a5063666c6e6f74828e9092000000000000"
    "0101000000000000001300000000000000000000000000000097";
const char* const kFieldOfObjects =
    "62706c6973743030d401020304050614195924617263686976657258246f626a656374735424746f70582476"
    "657273696f6e5f10105254494b657965644172636869766572a507080b0e1155246e756c6cd1090a5c4e532e"
    "7575696462797465734f1010101112131415161718191a1b1c1d1e1fd10c0d55646f6353748003d10f105f10"
    "12636f6e746578744265666f7265496e7075748004d11213594e532e737472696e676500e95b57d83dde0000"
    "25d2151617185d646f63756d656e7453746174655b73657373696f6e555549448002800112000186a008111b"
    "242932454b51546174777d7f8297999ca6b1b6c4d0d2d40000000000000101000000000000001a0000000000"
    "00000000000000000000d9";

TEST(TextInputArchive, ReadsTheFieldsAnotherEncoderWrote) {
    EXPECT_EQ(Archive::readField(hex(kFieldThebe)), (Archive::Field{kUuid, "the be"}));
    EXPECT_EQ(Archive::readField(hex(kFieldWithoutText)), (Archive::Field{kUuid, ""}));
    EXPECT_EQ(Archive::readField(hex(kFieldOfObjects)), (Archive::Field{kUuid, "é字😀%"}));
}

TEST(TextInputArchive, WhatItWritesReadsBack) {
    for (const std::string text : {"", "é", "字", "😀", "%", "the bear", "é字😀%"}) {
        SCOPED_TRACE(text);
        const auto inserted = Archive::insert(kUuid, text);
        EXPECT_EQ(std::string(inserted.begin(), inserted.begin() + 8), "bplist00");
        EXPECT_EQ(Archive::readOperation(inserted), (Archive::Operation{kUuid, false, text}));
    }
    EXPECT_EQ(Archive::readOperation(Archive::clear(kUuid)),
              (Archive::Operation{kUuid, true, std::nullopt}));
}

// Also from plistlib, each an archive wrong in one way.
const char* const kNotAnArchive =
    "62706c6973743030d1010251611001080b0d0000000000000101000000000000000300000000000000000000"
    "00000000000f";
const char* const kNoSession =
    "62706c6973743030d20102030558246f626a656374735424746f70a10455246e756c6cd0080d161b1d230000"
    "000000000101000000000000000600000000000000000000000000000024";
const char* const kShortSession =
    "62706c6973743030d20102030658246f626a656374735424746f70a2040555246e756c6c4f100f7878787878"
    "78787878787878787878d107085b73657373696f6e555549448001080d161b1e243639450000000000000101"
    "000000000000000900000000000000000000000000000047";
const char* const kPastTheObjects =
    "62706c6973743030d20102030658246f626a656374735424746f70a2040555246e756c6c4f10101011121314"
    "15161718191a1b1c1d1e1fd20708090a5d646f63756d656e7453746174655b73657373696f6e555549448009"
    "8001080d161b1e24373c4a56580000000000000101000000000000000b000000000000000000000000000000"
    "5a";
const char* const kSelfReference =
    "62706c6973743030d20102030658246f626a656374735424746f70a2040555246e756c6c8001d107085b7365"
    "7373696f6e555549448001080d161b1e24262935000000000000010100000000000000090000000000000000"
    "0000000000000037";
const char* const kTextWithNul =
    "62706c6973743030d20102030c58246f626a656374735424746f70a40405060955246e756c6c4f1010101112"
    "131415161718191a1b1c1d1e1fd1070855646f6353748003d10a0b5f1012636f6e746578744265666f726549"
    "6e7075746300e900000062d20d0e0f105d646f63756d656e7453746174655b73657373696f6e555549448002"
    "8001080d161b2026393c4244475c636876828400000000000001010000000000000011000000000000000000"
    "00000000000086";
const char* const kTextNotUtf8 =
    "62706c6973743030d20102030c58246f626a656374735424746f70a40405060955246e756c6c4f1010101112"
    "131415161718191a1b1c1d1e1fd1070855646f6353748003d10a0b5f1012636f6e746578744265666f726549"
    "6e7075745361ff62d20d0e0f105d646f63756d656e7453746174655b73657373696f6e555549448002800108"
    "0d161b2026393c4244475c6065737f8100000000000001010000000000000011000000000000000000000000"
    "00000083";
const char* const kNumberForObject =
    "62706c6973743030d20102030958246f626a656374735424746f70a304050655246e756c6c4f101010111213"
    "1415161718191a1b1c1d1e1fd1070855646f6353741007d20a0b0c0d5d646f63756d656e7453746174655b73"
    "657373696f6e5555494480028001080d161b1f25383b4143485662640000000000000101000000000000000e"
    "00000000000000000000000000000066";
// Object 0 is "x"; object i an array holding object i-1 twice: 150 bytes that a parser copying
// shared objects expands to 2^(depth+1) nodes.
crypto::Bytes sharedTwice(int depth) {
    crypto::Bytes bytes = crypto::bytesOf("bplist00");
    std::vector<std::uint8_t> offsets;
    offsets.push_back(static_cast<std::uint8_t>(bytes.size()));
    bytes.insert(bytes.end(), {0x51, 'x'});
    for (int i = 1; i <= depth; ++i) {
        offsets.push_back(static_cast<std::uint8_t>(bytes.size()));
        bytes.insert(bytes.end(),
                     {0xA2, static_cast<std::uint8_t>(i - 1), static_cast<std::uint8_t>(i - 1)});
    }
    const auto table = static_cast<std::uint8_t>(bytes.size());
    bytes.insert(bytes.end(), offsets.begin(), offsets.end());
    const crypto::Bytes trailer = {0, 0, 0, 0, 0, 0, 1, 1,
                                   0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(depth + 1),
                                   0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(depth),
                                   0, 0, 0, 0, 0, 0, 0, table};
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

TEST(BinaryPlistShape, CountsASharedObjectOncePerReference) {
    EXPECT_TRUE(BinaryPlistShape::fitsIn(sharedTwice(10), 2047));
    EXPECT_FALSE(BinaryPlistShape::fitsIn(sharedTwice(10), 2046));
    EXPECT_FALSE(BinaryPlistShape::fitsIn(sharedTwice(BinaryPlistShape::kMaxDepth + 1), SIZE_MAX));
}

TEST(TextInputArchive, RefusesWhatIsNotAFieldOrAnOperation) {
    const std::vector<std::pair<const char*, crypto::Bytes>> refusals = {
        {"nothing", {}},
        {"not a plist", crypto::bytesOf("bplist00 and then nothing a plist holds")},
        {"a plist that is not an archive", hex(kNotAnArchive)},
        {"no session", hex(kNoSession)},
        {"a session of 15 bytes", hex(kShortSession)},
        {"a reference past the objects on the way to the text", hex(kPastTheObjects)},
        {"a reference to itself", hex(kSelfReference)},
        {"a text holding a NUL", hex(kTextWithNul)},
        {"a text that is not UTF-8", hex(kTextNotUtf8)},
        {"a number where the text's object belongs", hex(kNumberForObject)},
        {"over 64 KiB", Archive::field(kUuid, std::string(64 << 10, 'a'))},
        {"one object shared 2^30 times", sharedTwice(30)},
    };
    for (const auto& [name, bytes] : refusals) {
        EXPECT_FALSE(Archive::readField(bytes)) << name;
    }
    EXPECT_TRUE(Archive::readField(Archive::field(kUuid, std::string(60 << 10, 'a'))));
    EXPECT_FALSE(Archive::readField(Archive::insert(kUuid, "a")));
}

}  // namespace
}  // namespace orvel
