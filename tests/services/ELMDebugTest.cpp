#include "ELMDebug.h"
#include "ELMTrace.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// An operation as the library writes them: a scope, a failure point and a note.
int failingOperation() {
  ELMDebug elmScope("Sample::Fail", 100);
  ELM_NOTE("value is 42");
  ELM_FAIL_POINT();
  return __LINE__ - 1;
}

void succeedingOperation() { ELMDebug scope("Sample::Ok", 7); }

elmtest::ChildResult traceWith(const std::string& level) {
  return elmtest::RunInChild({{"ELM_DEBUG", level}}, [] {
    succeedingOperation();
    int line = failingOperation();
    std::printf("failure at %d\n", line);
    return 0;
  });
}

}  // namespace

TEST(ELMDebugTrace, OnWritesScopesFailuresAndNotesExactly) {
  auto r = traceWith("ON");
  ASSERT_EQ(r.exitCode, 0);
  int failLine = 0;
  std::sscanf(r.out.substr(r.out.rfind("failure at ")).c_str(), "failure at %d", &failLine);
  char expected[512];
  std::snprintf(expected, sizeof expected,
                " ELM: Sample::Ok(7) start\n"
                " ELM: Sample::Ok(7) end OK\n"
                " ELM: Sample::Fail(100) start\n"
                "  ELMDBX (%d): value is 42\n"
                "ELMDBX Function: Sample::Fail (%d)\n"
                " ELM: Sample::Fail(100) end  \n"
                "failure at %d\n",
                failLine - 1, failLine, failLine);
  EXPECT_EQ(r.out, expected);
}

// Near misses of "ON" stay off; the profiling level "ONT" writes no trace line either.
TEST(ELMDebugTrace, ComparisonIsExactSoNearMissesAndTheProfilingLevelWriteNoTrace) {
  for (const char* value : {"on", "On", "ON ", " ON", "ONX", "", "1", "ONT"}) {
    auto r = traceWith(value);
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.find("ELM"), std::string::npos) << "ELM_DEBUG='" << value << "'";
  }
  EXPECT_EQ(ELMDebug::s_iDebug, 0);  // the parent's level is untouched by the children
}

TEST(ELMDebugTrace, VariableIsReadOnceByTheFirstScope) {
  auto r = elmtest::RunInChild({{"ELM_DEBUG", elmtest::kUnset}}, [] {
    succeedingOperation();
    setenv("ELM_DEBUG", "ON", 1);
    succeedingOperation();
    std::printf("level %d\n", ELMDebug::s_iDebug);
    return 0;
  });
  EXPECT_EQ(r.out, "level 0\n");

  auto on = elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, [] {
    succeedingOperation();
    unsetenv("ELM_DEBUG");
    succeedingOperation();
    return ELMDebug::s_iDebug;
  });
  EXPECT_EQ(on.exitCode, 1);
  EXPECT_EQ(on.out,
            " ELM: Sample::Ok(7) start\n ELM: Sample::Ok(7) end OK\n"
            " ELM: Sample::Ok(7) start\n ELM: Sample::Ok(7) end OK\n");
}

TEST(ELMDebugTrace, ALevelSetByASiblingWritesScopesButNoInlineLines) {
  // The level is public: a sibling library may set one the variable never
  // gives. Scopes then trace; failure points and notes stay at level 1 only.
  auto r = elmtest::RunInChild({{"ELM_DEBUG", elmtest::kUnset}}, [] {
    succeedingOperation();  // settles the level from the (unset) variable
    ELMDebug::s_iDebug = 3;
    failingOperation();
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, " ELM: Sample::Fail(100) start\n ELM: Sample::Fail(100) end OK\n");
}
