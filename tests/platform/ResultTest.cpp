#include "Result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <type_traits>

namespace qx {
namespace {

// Tested only with an explicit bool: never turned into a bool, a number or its value by itself.
static_assert(!std::is_convertible_v<Result<>, bool>);
static_assert(!std::is_convertible_v<Result<int>, bool>);
static_assert(!std::is_convertible_v<Result<int>, int>);
static_assert(std::is_constructible_v<bool, Result<>>);

TEST(ResultTest, ValueOfAFailureThrowsWithTheReason) {
    Result<int> failed = Failure("no index");
    EXPECT_FALSE(failed);
    try {
        (void)failed.value();
        FAIL() << "value() of a failure returned";
    } catch (const std::logic_error& e) {
        EXPECT_EQ(std::string(e.what()), "value of a failed result: no index");
    }
    EXPECT_EQ(failed.valueOr(7), 7);
    Result<int> good = 3;
    EXPECT_EQ(good.value(), 3);
    EXPECT_EQ(good.reason(), "");
    EXPECT_EQ(good.number(), 0);
}

TEST(ResultTest, AFailureAlwaysSaysSomething) {
    Result<> failed = Failure("");
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.reason(), "failed");
}

TEST(ResultTest, JoinKeepsTheFirstFailure) {
    Result<> all;
    all.join({});
    EXPECT_TRUE(all);
    all.join(Failure("first", EACCES));
    all.join(Failure("second", ENOSPC));
    all.join({});
    EXPECT_EQ(all.reason(), "first");
    EXPECT_EQ(all.number(), EACCES);
}

// Like steps that each lose only themselves: the first reason (and its number) stands for all.
TEST(ResultTest, TallyKeepsTheFirstReasonAndCountsTheRest) {
    FailureTally calls("calls");
    calls.add({});
    EXPECT_TRUE(calls.outcome());
    calls.add(Failure("line 2", EACCES));
    EXPECT_EQ(calls.outcome().reason(), "line 2");
    calls.add({});
    calls.add(Failure("line 5"));
    EXPECT_EQ(calls.count(), 2);
    EXPECT_EQ(calls.outcome().reason(), "line 2 (2 calls failed)");
    EXPECT_EQ(calls.outcome().number(), EACCES);
}

struct FullCase {
    int number;
    bool full;
};

class ResultFullTest : public ::testing::TestWithParam<FullCase> {};

TEST_P(ResultFullTest, FullOnlyForNoRoomLeft) {
    const Result<> result = Failure("write", GetParam().number);
    EXPECT_EQ(result.full(), GetParam().full);
    EXPECT_EQ(Result<int>(Failure("write", GetParam().number)).full(), GetParam().full);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ResultFullTest,
                         ::testing::Values(FullCase{ENOSPC, true},
#ifdef EDQUOT
                                           FullCase{EDQUOT, true},
#endif
                                           FullCase{EACCES, false}, FullCase{0, false}));

}  // namespace
}  // namespace qx
