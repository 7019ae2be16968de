// The program's own texts are stored as code page 932 bytes.
#include <gtest/gtest.h>

#include <string>

TEST(Charset, NarrowLiteralsAreCodePage932) {
    // "初期化" is the initialise command's label; "表" ends in 0x5C, a backslash byte.
    EXPECT_EQ(std::string("初期化表"), std::string("\x8F\x89\x8A\xFA\x89\xBB\x95\x5C"));
}
