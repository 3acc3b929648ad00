#include "ELMPerformance.h"

#include "ELMDebug.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kHeader =
    "\n   Calls  |   Time   | No Child | Method  \n"
    " ---------+----------+----------+----------------------------------------\n";

struct Row {
  int calls, time, self;
  std::string name;
};

// The method rows of a report (caller lines skipped).
std::vector<Row> rows(const std::string& out) {
  std::vector<Row> r;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    Row row{};
    char name[256] = {};
    if (line.find(" (") == std::string::npos &&
        std::sscanf(line.c_str(), "%d | %d | %d | %255s", &row.calls, &row.time, &row.self, name) == 4)
      r.push_back({row.calls, row.time, row.self, name});
  }
  return r;
}

// The method names of a report's rows, in order, each followed by a space.
std::string names(const std::string& out) {
  std::string s;
  for (const Row& row : rows(out)) s += row.name + " ";
  return s;
}

elmtest::ChildResult profile(const std::string& sort, const std::function<void()>& calls) {
  return elmtest::RunInChild({{"ELM_PERFORMANCE_SORT", sort}}, [calls] {
    calls();
    return 0;
  });
}

// Times are whole milliseconds and a fast call can still straddle a tick (or
// many, on a loaded machine), so reports are compared with any time, right
// aligned in its column, in place of the zeros.
::testing::AssertionResult matchesReport(const std::string& out, const std::string& pattern) {
  std::string re;
  for (char c : pattern) {
    if (c == '#') {
      while (!re.empty() && re.back() == ' ') re.pop_back();
      re += " *[0-9]+";
    } else if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
      re += std::string("\\") + c;
    else
      re += c;
  }
  if (std::regex_match(out, std::regex(re))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "report:\n" << out << "\npattern:\n" << pattern;
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

TEST(ELMPerformanceReport, CallsFromTheSameCallerMergeIntoOneCallerLine) {
  auto r = profile("m", [] {
    ELMPerformance::EnterMethod("Outer::Run10");
    for (int i = 0; i < 2; ++i) {
      ELMPerformance::EnterMethod("Inner::Step20");
      ELMPerformance::LeaveMethod("Inner::Step20");
    }
    ELMPerformance::LeaveMethod("Outer::Run10");
  });
  EXPECT_TRUE(matchesReport(r.out, kHeader + "        2 |        # |        # | Inner::Step20\n"
                                             "          |          |          |  (     2) Outer::Run10\n"
                                             "        1 |        # |        # | Outer::Run10\n"));
}

TEST(ELMPerformanceReport, DirectRecursionCountsOnlyTheOuterCallInTime) {
  auto r = profile("tnr", [] {
    ELMPerformance::EnterMethod("R::f1");
    pause(20);
    ELMPerformance::EnterMethod("R::f1");
    pause(20);
    ELMPerformance::LeaveMethod("R::f1");
    ELMPerformance::LeaveMethod("R::f1");
  });
  auto found = rows(r.out);
  ASSERT_EQ(found.size(), 1u) << r.out;
  EXPECT_EQ(found[0].calls, 2);
  EXPECT_GE(found[0].time, 40);
  // Without the recursion rule the time column would also hold the inner call.
  EXPECT_LE(std::abs(found[0].time - found[0].self), 1) << r.out;
}

TEST(ELMPerformanceReport, UnknownKeyLeavesStackAndEmptyTableIsPrinted) {
  auto idle = profile("", [] { ELMPerformance::LeaveMethod("Never::Entered1"); });
  EXPECT_EQ(idle.out, kHeader);

  auto busy = profile("", [] {
    ELMPerformance::EnterMethod("A::a1");
    ELMPerformance::LeaveMethod("Never::Entered1");  // nothing printed: A::a1 is open
    ELMPerformance::LeaveMethod("A::a1");
  });
  EXPECT_TRUE(matchesReport(busy.out, kHeader + "        1 |        # |        # | A::a1\n"));
}

TEST(ELMPerformanceReport, LeavingAnOuterCallDropsInnerOpenCalls) {
  auto r = profile("m", [] {
    ELMPerformance::EnterMethod("O::o1");
    ELMPerformance::EnterMethod("I::i2");
    ELMPerformance::EnterMethod("J::j3");
    ELMPerformance::LeaveMethod("O::o1");
  });
  EXPECT_EQ(names(r.out), "O::o1 ");
}

TEST(ELMPerformanceReport, SortModesOrderTheRows) {
  auto calls = [] {
    ELMPerformance::EnterMethod("Top::t1");
    ELMPerformance::EnterMethod("B::b1");
    ELMPerformance::LeaveMethod("B::b1");
    for (int i = 0; i < 3; ++i) {
      ELMPerformance::EnterMethod("A::a1");
      ELMPerformance::LeaveMethod("A::a1");
    }
    ELMPerformance::EnterMethod("C::c1");
    // Long enough that no scheduling delay of the other calls can match it.
    pause(150);
    ELMPerformance::LeaveMethod("C::c1");
    ELMPerformance::LeaveMethod("Top::t1");
  };
  EXPECT_EQ(names(profile("m", calls).out), "A::a1 B::b1 C::c1 Top::t1 ");
  EXPECT_EQ(names(profile("mr", calls).out), "Top::t1 C::c1 B::b1 A::a1 ");
  EXPECT_EQ(names(profile("cr", calls).out).substr(0, 6), "A::a1 ");
  // Unknown values sort as "tnr": the longest self time first.
  EXPECT_EQ(names(profile("x", calls).out).substr(0, 6), "C::c1 ");
  std::string ascendingSelf = names(profile("tn", calls).out);
  EXPECT_EQ(ascendingSelf.substr(ascendingSelf.size() - 6), "C::c1 ");
}

TEST(ELMPerformanceHook, ScopesAtProfilingLevelFeedTheProfilerByNameAndLine) {
  auto r = elmtest::RunInChild({{"ELM_DEBUG", "ONT"}, {"ELM_PERFORMANCE_SORT", "m"}}, [] {
    ELMDebug outer("Cmd::Activate", 12);
    { ELMDebug inner("Cmd::Step", 30); }
    { ELMDebug inner("Cmd::Step", 31); }
    return 0;
  });
  EXPECT_TRUE(matchesReport(r.out, kHeader + "        1 |        # |        # | Cmd::Activate12\n"
                                             "        1 |        # |        # | Cmd::Step30\n"
                                             "          |          |          |  (     1) Cmd::Activate12\n"
                                             "        1 |        # |        # | Cmd::Step31\n"
                                             "          |          |          |  (     1) Cmd::Activate12\n"));
}

TEST(ELMPerformanceHash, FollowsTheMultiplicativeFormulaOnSignedBytes) {
  EXPECT_EQ(ELMPerformance::Hash(""), 0u);
  EXPECT_EQ(ELMPerformance::Hash("A"), 65u);
  EXPECT_EQ(ELMPerformance::Hash("AB"), 65u * 65599u + 66u);
  // A byte above 127 counts as negative.
  EXPECT_EQ(ELMPerformance::Hash("\xFF"), 0xFFFFFFFFu);
}

TEST(ELMPerformanceCompare, NullRecordsCompareAsZeroAndEqualKeysAsOne) {
  ELMPerformance::Method a("X1", 0), b("X1", 0);
  EXPECT_EQ(ELMPerformance::CmpCalls(&a, nullptr), 0);
  EXPECT_EQ(ELMPerformance::CmpTimeNcR(nullptr, &b), 0);
  EXPECT_EQ(ELMPerformance::CmpCalls(&a, &b), 1);
  EXPECT_EQ(ELMPerformance::CmpTimeR(&a, &b), 1);
  b.m_iCalls = 5;
  EXPECT_EQ(ELMPerformance::CmpCalls(&a, &b), -1);
  EXPECT_EQ(ELMPerformance::CmpCallsR(&a, &b), 1);
}
