// The batch watcher on its own, compiled into the test, against the host's
// real client batch monitor and batch publisher.

#include "ELMBatchEventWatcher.h"

#include "LoopbackServer.h"

#include "CATBatClientMonitorCAA.h"
#include "CATBatchEndNotifCAA.h"
#include "CATBatchPublisherCAA.h"
#include "CATPLMBatch.h"
#include "ELMHostDispatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class BatchEventWatcher : public ::testing::Test {
protected:
  void SetUp() override {
    m_env.Set("TMPDIR", m_scratch.Path());
    m_env.Unset("ELMHOST_BATCH_TIMEOUT");
  }
  /// Writes the input file of a batch that the shell script body runs.
  std::string Batch(const std::string& name, const std::string& body) {
    fs::path program = fs::path(m_scratch.Path()) / (name + ".sh");
    std::ofstream(program) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(program, fs::perms::owner_all);
    m_env.Set("ELMHOST_BATCH_PROGRAM", program.string());
    CATPLMBatch batch(name.c_str());
    std::string input = m_scratch.File(name + ".xml");
    EXPECT_EQ(batch.FillXmlFile("", input.c_str()), S_OK);
    return input;
  }
  CATBatClientMonitorCAA* Monitor() const { return CATBatClientMonitorCAA::GetTheClientMonitorCAA(); }
  void Publish(const char* id) {
    CATNotification_var end = CATMakeVar<CATBatchEndNotifCAA>(id, CATUnicodeString("Other"));
    GetBatchPublisherCAA()->DispatchCallbacks(end.get());
    m_dispatch.RunEvents();
  }

  elmhost::Dispatch m_dispatch;
  elmtest::ScratchDir m_scratch;
  elmtest::EnvChanges m_env;
};

TEST_F(BatchEventWatcher, IsKnownToTheClassDictionaryAsABaseUnknown) {
  int flag = 0;
  ELMBatchEventWatcher watcher(&flag);
  EXPECT_STREQ(ELMBatchEventWatcher::ClassName(), "ELMBatchEventWatcher");
  EXPECT_STREQ(watcher.IsA(), "ELMBatchEventWatcher");
  EXPECT_TRUE(watcher.IsAKindOf("CATBaseUnknown"));
  EXPECT_FALSE(watcher.IsAKindOf("CATCommand"));
  const CATMetaClass* meta = CATMetaClass::Find("ELMBatchEventWatcher");
  ASSERT_EQ(meta, ELMBatchEventWatcher::MetaObject());
  EXPECT_EQ(meta->GetClassType(), 1);
  EXPECT_STREQ(meta->GetBaseName(), "CATBaseUnknown");
  EXPECT_STREQ(meta->GetLateType(), "CATnull");
  EXPECT_STREQ(meta->GetLinkage(), "External");
  EXPECT_EQ(watcher.GetReturnCode(), 99);
}

TEST_F(BatchEventWatcher, AnotherBatchesEndIsNamedAndChangesNothing) {
  int flag = 0;
  {
    ELMBatchEventWatcher watcher(&flag);
    watcher.SetBatchId("0123456789abcdef0123456789abcdef");
    EXPECT_EQ(GetBatchPublisherCAA()->GetCallbackCount(), 1);
    testing::internal::CaptureStdout();
    Publish("fedcba9876543210fedcba9876543210");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "pNotifName CATBatchEndNotifCAA\n");
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(watcher.GetReturnCode(), 99);
    // Its own identifier, but a batch the monitor does not know: nothing to read, the flag stays down.
    testing::internal::CaptureStdout();
    Publish("0123456789abcdef0123456789abcdef");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "pNotifName CATBatchEndNotifCAA\n");
    EXPECT_EQ(flag, 0);
  }
  // Gone, and no longer subscribed: a late end reaches nobody.
  EXPECT_EQ(GetBatchPublisherCAA()->GetCallbackCount(), 0);
  testing::internal::CaptureStdout();
  Publish("0123456789abcdef0123456789abcdef");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(BatchEventWatcher, AnotherBatchEndingFirstDoesNotDecideTheRun) {
  // The other batch fails first; ours succeeds once it is gone.
  const std::string gone = m_scratch.File("other-gone");
  char other[33] = {};
  ASSERT_EQ(Monitor()->SubmitBatch(Batch("other", "touch '" + gone + "'; exit 5").c_str(), other, 0), S_OK);
  testing::internal::CaptureStdout();
  const std::string own = "while [ ! -e '" + gone + "' ]; do sleep 0.02; done; sleep 0.2; exit 0";
  EXPECT_EQ(ELMSubmitBatchAndWait(Batch("own", own).c_str()), S_OK);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "pNotifName CATBatchEndNotifCAA\npNotifName CATBatchEndNotifCAA\n");
  int code = 0;
  ASSERT_EQ(Monitor()->GetBatchReturnCode(other, &code), S_OK);
  EXPECT_EQ(code, 5);
}

}  // namespace
