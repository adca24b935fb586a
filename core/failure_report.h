// What a scan could not read, reported as it is met and counted. The terminal
// mode and the Linux window name it on standard error; the Windows dialog
// reports nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// What a scan skipped. `path` holds `path_len` bytes of the item or folder
// concerned; `name`, when not null, is an entry of that folder whose own
// path could not be formed or read. `error` is the platform's error number.
enum class ScanFailure { cannot_read, cannot_list };
using FailureReport = void (*)(ScanFailure failure, const char* path, size_t path_len,
                               const char* name, int error);

// Stores the report a listener wants called; null (the default) reports
// nothing. The terminal mode stores one before its request starts.
void store_failure_report(FailureReport report);
// Counts the failure, and passes it to the stored report. Any thread.
void report_failure(ScanFailure failure, const char* path, size_t path_len,
                    const char* name, int error);

// How many failures were reported since the last call. Any thread.
uint32_t take_failure_count();
