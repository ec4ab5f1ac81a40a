#include "RunState.h"

#include <gtest/gtest.h>

#include "SetupProtocol.h"

namespace {

struct ReportCase {
  const char* name;
  int64_t code;
  int64_t lParam;
  int16_t status;  // GetStatus
  int16_t stored;  // WaitUpdate
};

const ReportCase kReports[] = {
    {"progress_0", SETUP_STATUS_PROGRESS, 0, 30, 30},
    {"progress_5", SETUP_STATUS_PROGRESS, 5, 30, 30},
    {"progress_19", SETUP_STATUS_PROGRESS, 19, 31, 30},
    {"progress_95", SETUP_STATUS_PROGRESS, 95, 39, 30},
    {"progress_100", SETUP_STATUS_PROGRESS, 100, 39, 30},
    {"progress_above_100", SETUP_STATUS_PROGRESS, 700, 39, 30},
    {"progress_negative", SETUP_STATUS_PROGRESS, -15, 30, 30},
    {"manifest", SETUP_STATUS_GET_MANIFEST, 12345, 21, 21},
    {"succeeded", SETUP_STATUS_SUCCEEDED, 0, 100, 100},
    {"unknown_code_kept", 777, 0, 777, 777},
    {"low_16_bits", 0x10065, 0, 0x65, 0x65},
};

TEST(RunState, ReportsTheStoredCode) {
  for (const ReportCase& row : kReports) {
    CRunState state;
    state.Started();
    state.ApplyStatus(row.code, row.lParam);
    EXPECT_EQ(state.StoredStatus(), row.stored) << row.name;
    EXPECT_EQ(state.Report(false), row.status) << row.name;
  }
}

TEST(RunState, ProcessEndedIsReportedOnceWhileRunning) {
  CRunState state;
  EXPECT_EQ(state.Report(true), SETUP_STATUS_NONE);  // nothing started
  state.Started();
  EXPECT_EQ(state.Report(false), SETUP_STATUS_STARTED);
  state.ApplyStatus(SETUP_STATUS_PROGRESS, 42);
  EXPECT_EQ(state.Report(true), SETUP_STATUS_PROCESS_ENDED);
  EXPECT_FALSE(state.IsRunning());
  EXPECT_EQ(state.Report(true), 34);

  state.Started();
  state.ApplyStatus(SETUP_STATUS_FAILED, 0);
  state.ApplyClosed();
  EXPECT_EQ(state.Report(true), SETUP_STATUS_FAILED);  // closed: the process no longer counts

  state.Reset();
  EXPECT_EQ(state.Report(true), SETUP_STATUS_NONE);
  EXPECT_EQ(state.StoredStatus(), SETUP_STATUS_NONE);
}

}  // namespace
