#include "framework/error/error.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

TEST(Raise, OnlyTheFirstErrorIsRecordedAndReported) {
    RaisePolicy guard(1);
    EXPECT_THROW(Raise("? __FILE__", 12, "first"), NVireo::NError::CObject);
    // A second error while the first is handled returns at once and records nothing.
    EXPECT_EQ(Raise("? __FILE__", 13, "second"), 0u);
    EXPECT_EQ(NVireo::NError::ErrorText(), "? __FILE__: 12\nfirst\n");
}

TEST(Raise, NullMessageLeavesTheMessageEmptyAndHigherPoliciesReturn) {
    RaisePolicy guard(5);
    EXPECT_EQ(Raise("site", 7, nullptr), 4u);
    EXPECT_EQ(NVireo::NError::ErrorText(), "site: 7\n\n");
}

}  // namespace
