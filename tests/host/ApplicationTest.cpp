#include "CATApplication.h"
#include "ELMHostDispatch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

/// Notes in data, a vector of times, when the time-out fired.
void recordTime(CATCommand*, int, void* data) {
  static_cast<std::vector<std::int64_t>*>(data)->push_back(elmhost::Dispatch::Current()->Now());
}

}  // namespace

TEST(CATApplication, TheFirstApplicationIsTheMainOneWhileItLivesAndKeepsItsArguments) {
  EXPECT_EQ(CATApplication::MainApplication(), nullptr);
  {
    const char* argv[] = {"3DEXPERIENCE", "-env", "Prod"};
    CATApplication app("elm", 3, argv);
    CATApplication second("other", CATListValCATString{"cnext"});
    EXPECT_EQ(CATApplication::MainApplication(), &app);
    CATListValCATString args{"stale"};
    app.GetArgs(args);
    EXPECT_EQ(args, (CATListValCATString{"3DEXPERIENCE", "-env", "Prod"}));
  }
  EXPECT_EQ(CATApplication::MainApplication(), nullptr);
}

TEST(CATApplication, TimeOutsRunFromTheDispatchAndCanBeRemoved) {
  elmhost::Dispatch dispatch;
  CATApplication app("elm", 0, nullptr);
  CATCommand client("client");
  std::vector<std::int64_t> kept, removed;
  app.AddTimeOut(1000, &client, &kept, recordTime);
  app.AddTimeOut(500, &client, &removed, recordTime);
  app.RemoveTimeOut(500, &client, recordTime);
  EXPECT_EQ(dispatch.PendingTimeOuts(), 1u);
  EXPECT_EQ(dispatch.RunUntilIdle(), 1);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_GE(kept[0], 1000);
  EXPECT_TRUE(removed.empty());
}

TEST(CATApplication, WithoutADispatchATimeOutIsDropped) {
  ASSERT_EQ(elmhost::Dispatch::Current(), nullptr);
  CATApplication app("elm", 0, nullptr);
  std::vector<std::int64_t> fired;
  app.AddTimeOut(10, &app, &fired, recordTime);
  elmhost::Dispatch dispatch;
  EXPECT_EQ(dispatch.RunUntilIdle(), 0);
  EXPECT_TRUE(fired.empty());
}
