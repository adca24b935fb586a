// What the walk tests share: a fresh Tally for each test, a tree to build, and
// the scan's failure reports recorded in order.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/failure_report.h"
#include "tests/support/temp_tree.h"

struct RecordedFailure {
    ScanFailure kind;
    std::string path;  // the item's or folder's path, then the entry's name if one was given
    int error;
};

extern std::vector<RecordedFailure> recorded_failures;

class ScanTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempTree tree;
};

// The same, run once with one walker and once with several.
class ScanTestByWalkers : public ScanTest, public testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override;
    void TearDown() override;
};

// For INSTANTIATE_TEST_SUITE_P: one walker, and four.
std::string walkers_name(const testing::TestParamInfo<unsigned>& info);
#define HEAPWISE_BY_WALKERS(suite) \
    INSTANTIATE_TEST_SUITE_P(Walkers, suite, testing::Values(1u, 4u), walkers_name)
