#include "platform/lz.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

const fs::path kData = fs::path(LZ_DATA_DIR);

std::vector<BYTE> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string hostPathOf(const fs::path& native) {
    return nativeToHost(native);
}

// Everything LZRead gives for a file opened with LZOpenFileA, read in small pieces.
std::vector<BYTE> readThroughHandle(INT file) {
    std::vector<BYTE> bytes;
    char piece[37];
    for (INT got; (got = LZRead(file, piece, sizeof piece)) > 0;) {
        bytes.insert(bytes.end(), piece, piece + got);
    }
    return bytes;
}

class LzExpansion : public ::testing::TestWithParam<const char*> {};

TEST_P(LzExpansion, ExpandsWhatTheCompressorWrote) {
    const fs::path original = kData / GetParam();
    const auto compressed = readBytes(original.string() + "_");
    ASSERT_TRUE(isSzdd(compressed));
    const auto expansion = expandSzdd(compressed);
    EXPECT_EQ(expansion.error, 0);
    EXPECT_EQ(expansion.bytes, readBytes(original));
}

TEST_P(LzExpansion, ShortenedFilesFailOrGiveTheWholeText) {
    const fs::path original = kData / GetParam();
    const auto compressed = readBytes(original.string() + "_");
    const auto expected = readBytes(original);
    for (std::size_t size = 0; size < compressed.size(); ++size) {
        const auto expansion = expandSzdd(std::span(compressed).first(size));
        // A cut inside trailing padding still yields the whole text.
        if (expansion.error == 0) {
            EXPECT_EQ(expansion.bytes, expected) << "cut at " << size;
        } else {
            EXPECT_TRUE(expansion.bytes.empty());
        }
    }
    if (!expected.empty()) {
        EXPECT_LT(expandSzdd(std::span(compressed).first(compressed.size() / 2)).error, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LzExpansion,
                         ::testing::Values("short.txt", "empty.txt", "long.txt", "binary.bin"));

TEST(LzHeader, UnknownMethodAndImpossibleLengthsAreRefused) {
    auto file = readBytes(kData / "short.txt_");
    auto method = file;
    method[8] = 'B';
    EXPECT_EQ(expandSzdd(method).error, LZERROR_UNKNOWNALG);

    auto huge = file;
    huge[10] = huge[11] = huge[12] = huge[13] = 0xFF;
    EXPECT_EQ(expandSzdd(huge).error, LZERROR_BADVALUE);

    auto longer = file;
    longer[10] = static_cast<BYTE>(longer[10] + 40);  // more than the stream holds
    EXPECT_EQ(expandSzdd(longer).error, LZERROR_READ);

    // A back reference that would run past the stated length.
    const std::vector<BYTE> overrun = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A',
                                       0,   2,   0,   0,   0,    0x00, 0xF0, 0xF0};
    EXPECT_EQ(expandSzdd(overrun).error, LZERROR_READ);
    EXPECT_EQ(expandSzdd(std::vector<BYTE>{'S', 'Z'}).error, LZERROR_READ);
}

TEST(LzHeader, ReferencesReadTheSpaceFilledWindow) {
    // Position 0 of a fresh window holds spaces: a reference of length 5 gives five spaces.
    const std::vector<BYTE> spaces = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A',
                                      0,   5,   0,   0,   0,    0x00, 0x00, 0x02};
    const auto expansion = expandSzdd(spaces);
    EXPECT_EQ(expansion.error, 0);
    EXPECT_EQ(std::string(expansion.bytes.begin(), expansion.bytes.end()), "     ");
}

class LzFiles : public ::testing::Test {
  protected:
    testsupport::TempPrefix prefix;
};

TEST_F(LzFiles, OpenSeekReadAndClose) {
    OFSTRUCT of;
    const INT file = LZOpenFileA(hostPathOf(kData / "long.txt_").c_str(), &of, OF_READ);
    ASSERT_GE(file, 0);
    const auto expected = readBytes(kData / "long.txt");
    EXPECT_EQ(LZSeek(file, 0, 2), static_cast<LONG>(expected.size()));
    EXPECT_EQ(LZRead(file, nullptr, 0), 0);
    EXPECT_EQ(LZSeek(file, 0, 0), 0);
    EXPECT_EQ(readThroughHandle(file), expected);

    EXPECT_EQ(LZSeek(file, -10, 1), static_cast<LONG>(expected.size() - 10));
    char tail[20];
    EXPECT_EQ(LZRead(file, tail, sizeof tail), 10);
    EXPECT_EQ(LZSeek(file, 1, 2), LZERROR_BADVALUE);
    EXPECT_EQ(LZSeek(file, -1, 0), LZERROR_BADVALUE);
    EXPECT_EQ(LZSeek(file, 0, 3), LZERROR_BADVALUE);
    EXPECT_EQ(LZRead(file, tail, -1), LZERROR_BADVALUE);

    LZClose(file);
    EXPECT_EQ(LZRead(file, tail, 1), LZERROR_BADINHANDLE);
    EXPECT_EQ(LZSeek(file, 0, 0), LZERROR_BADINHANDLE);
}

TEST_F(LzFiles, PlainFilesReadAsTheyAre) {
    const INT file = LZOpenFileA(hostPathOf(kData / "short.txt").c_str(), nullptr, OF_READ);
    ASSERT_GE(file, 0);
    EXPECT_EQ(readThroughHandle(file), readBytes(kData / "short.txt"));
    LZClose(file);
}

TEST_F(LzFiles, OpenFailures) {
    OFSTRUCT of;
    EXPECT_EQ(LZOpenFileA("C:\\missing.tx_", &of, OF_READ), LZERROR_BADINHANDLE);
    EXPECT_EQ(of.nErrCode, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LZOpenFileA("C:\\", &of, OF_READ), LZERROR_BADINHANDLE);
    EXPECT_EQ(LZOpenFileA(hostPathOf(kData / "short.txt_").c_str(), &of, 1), LZERROR_BADVALUE);

    const fs::path broken = prefix.scratch() / "broken.tx_";
    auto bytes = readBytes(kData / "long.txt_");
    bytes.resize(bytes.size() / 2);
    std::ofstream(broken, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    EXPECT_LT(LZOpenFileA(hostPathOf(broken).c_str(), &of, OF_READ), 0);
}

}  // namespace
