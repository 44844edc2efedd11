// The program's own narrow strings are stored in code page 936.
#include "install/product_constants.h"

#include <gtest/gtest.h>

#include <string>

TEST(Charset, ProgramStringsAreCodePage936) {
    EXPECT_EQ(std::string(kFinishedCaption), "\xCD\xEA\xB3\xC9");
    EXPECT_EQ(std::string("完成"), "\xCD\xEA\xB3\xC9");
}
