#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/strings.h"

TEST(Strings, DuplicateStringMakesAnIndependentCopy) {
    char source[] = "MainCam";
    std::unique_ptr<char[]> copy(DuplicateString(source));
    source[0] = 'X';
    EXPECT_STREQ(copy.get(), "MainCam");
    EXPECT_EQ(DuplicateString(nullptr), nullptr);
    std::unique_ptr<char[]> empty(DuplicateString(""));
    EXPECT_STREQ(empty.get(), "");
}

TEST(Strings, FileExtensionIsTextAfterTheLastDot) {
    EXPECT_STREQ(FileExtension("data/cavern.lfd"), "lfd");
    EXPECT_STREQ(FileExtension("a.tar.gz"), "gz");
    EXPECT_STREQ(FileExtension("name."), "");
    EXPECT_EQ(FileExtension("noextension"), nullptr);
}

TEST(Strings, HasExtensionIgnoresCase) {
    EXPECT_TRUE(HasExtension("data/logodemo.dds", "DDS"));
    EXPECT_TRUE(HasExtension("PHOTO.JPG", "jpg"));
    EXPECT_FALSE(HasExtension("photo.jpeg", "jpg"));
    EXPECT_FALSE(HasExtension("photo.jp", "jpg"));
    EXPECT_FALSE(HasExtension("noextension", "jpg"));
    EXPECT_FALSE(HasExtension("name.", "jpg"));
    EXPECT_TRUE(HasExtension("name.", ""));
}

TEST(Strings, HasExtensionHandlesExtensionsOfAnyLength) {
    const std::string longExtension(300, 'x');
    const std::string name = "file." + longExtension;
    EXPECT_TRUE(HasExtension(name.c_str(), longExtension.c_str()));
    // Differences beyond the 19th character still count.
    std::string other = longExtension;
    other[250] = 'y';
    EXPECT_FALSE(HasExtension(name.c_str(), other.c_str()));
    EXPECT_FALSE(HasExtension(name.c_str(), longExtension.substr(0, 19).c_str()));
}

TEST(Strings, IsBlankAcceptsOnlyTabLineFeedReturnAndBlank) {
    EXPECT_TRUE(IsBlank(""));
    EXPECT_TRUE(IsBlank(" \t\r\n "));
    EXPECT_FALSE(IsBlank("\f"));
    EXPECT_FALSE(IsBlank("\v"));
    EXPECT_FALSE(IsBlank("  x "));
}

#include "platform/d3d7.h"

TEST(VertexFormats, StrideFollowsTheFormatBits) {
    EXPECT_EQ(FvfStride(D3DFVF_TLVERTEX), 32u);
    EXPECT_EQ(FvfStride(D3DFVF_LVERTEX), 32u);
    EXPECT_EQ(FvfStride(0x012), 24u);
    EXPECT_EQ(FvfStride(0x112), 32u);
    EXPECT_EQ(FvfStride(0x212), 40u);
    EXPECT_EQ(FvfStride(0x312), 48u);
    EXPECT_EQ(FvfStride(0x412), 56u);
    EXPECT_EQ(FvfStride(D3DFVF_XYZ | D3DFVF_TEX1 | (1u << 16)), 24u);  // one three-float set
    EXPECT_EQ(FvfStride(D3DFVF_XYZ + 4), 16u);                          // XYZB1
}
