// The walk tests' fixture and failure record.
#include "tests/support/scan_test.h"

#include <mutex>

#include "core/tally.h"

std::vector<RecordedFailure> recorded_failures;

namespace {

// Walkers report from their own threads.
std::mutex recording;

void record_failure(ScanFailure kind, const char* path, size_t path_len, const char* name, int error)
{
    const std::lock_guard<std::mutex> hold(recording);
    EXPECT_NE(error, 0) << "a failure reported without its error";
    recorded_failures.push_back({kind, std::string(path, path_len) + (name != nullptr ? name : ""), error});
}

}  // namespace

void ScanTest::SetUp()
{
    reset_tally();
    recorded_failures.clear();
    store_failure_report(record_failure);
}

void ScanTest::TearDown()
{
    store_failure_report(nullptr);
}

void ScanTestByWalkers::SetUp()
{
    ScanTest::SetUp();
    walkers_in_tests = GetParam();
}

void ScanTestByWalkers::TearDown()
{
    walkers_in_tests = 1;
    ScanTest::TearDown();
}

std::string walkers_name(const testing::TestParamInfo<unsigned>& info)
{
    return std::to_string(info.param) + (info.param == 1 ? "_walker" : "_walkers");
}
