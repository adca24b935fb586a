// The walk tests' fixture and failure record.
#include "tests/support/scan_test.h"

#include "core/tally.h"

std::vector<RecordedFailure> recorded_failures;

namespace {

void record_failure(ScanFailure kind, const char* path, size_t path_len, const char* name, int error)
{
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
