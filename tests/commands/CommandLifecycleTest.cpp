#include "PartNumberFixture.h"

#include "ELMHostClassDictionary.h"

#include <gmock/gmock.h>

#include <dlfcn.h>

using testing::Contains;
using testing::IsEmpty;

namespace {

class PartNumberLifecycle : public elmtest::PartNumberFixture {};

}  // namespace

TEST_F(PartNumberLifecycle, PluginRegistersTheCommandWithAnUndecoratedExportedFactory) {
  EXPECT_THAT(elmhost::ClassDictionary::Names(), Contains("SetPartNumberFromExtPdmCmd"));
  void* plugin = dlopen(ELM_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(plugin, nullptr);
  void* factory = dlsym(plugin, "fctCreateSetPartNumberFromExtPdmCmd");
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(elmhost::ClassDictionary::Find("SetPartNumberFromExtPdmCmd")), factory);
  // Nothing else of the command is visible from outside the plug-in.
  EXPECT_EQ(dlsym(plugin, "_ZN26SetPartNumberFromExtPdmCmd8ActivateEP10CATCommandP15CATNotification"), nullptr);
  dlclose(plugin);
}

TEST_F(PartNumberLifecycle, TwoStartsMakeTwoIndependentCommandsNamedAfterTheClass) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  CATCommand* first = m_command;
  CATCommand* second = CreateCommand();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->GetName(), "SetPartNumberFromExtPdmCmd");
  EXPECT_EQ(first->GetMode(), CATCommandModeExclusive);
  // Each activation does the whole work alone.
  EXPECT_EQ(first->Activate(nullptr, nullptr), 0);
  EXPECT_FALSE(second->IsDestructionRequested());
  EXPECT_EQ(second->Activate(nullptr, nullptr), 0);
  m_dispatch->RunUntilIdle();
  EXPECT_EQ(Requests().size(), 2u);
  EXPECT_EQ(m_plm->Saves().size(), 2u);
}

TEST_F(PartNumberLifecycle, CancelBeforeActivationEndsTheCommandWithoutItsAction) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  EXPECT_EQ(m_command->Cancel(nullptr, nullptr), 0);
  // The host destroys it, not the command itself.
  EXPECT_TRUE(m_command->IsDestructionRequested());
  EXPECT_EQ(m_dispatch->PendingDestructions(), 1u);
  EXPECT_EQ(m_command->GetRefCount(), 1u);
  m_dispatch->RunUntilIdle();
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
  EXPECT_THAT(Requests(), IsEmpty());
  EXPECT_THAT(BoxList(), IsEmpty());
}

TEST_F(PartNumberLifecycle, ActivationRequestsDestructionOnlyAfterItsWork) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  EXPECT_EQ(m_command->Activate(nullptr, nullptr), 0);
  EXPECT_TRUE(m_command->IsDestructionRequested());
  // The success box and the command wait for the dispatch.
  EXPECT_EQ(m_dispatch->PendingDestructions(), 2u);
  m_dispatch->RunUntilIdle();
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
}

TEST_F(PartNumberLifecycle, DesactivatePerformsTheActionAgain) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  EXPECT_EQ(m_command->Activate(nullptr, nullptr), 0);
  EXPECT_EQ(m_command->Desactivate(nullptr, nullptr), 0);
  m_dispatch->RunUntilIdle();
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  // The second pass starts from what the first one saved.
  EXPECT_EQ(requests[1].attributes.at(0).second, "ELM-000042");
  EXPECT_EQ(BoxList().size(), 2u);
}

TEST_F(PartNumberLifecycle, EveryEntryAnswersZeroAlsoWhenTheActionFails) {
  Select({"n-part", "n-other"});
  ASSERT_NO_FATAL_FAILURE(Prepare());
  EXPECT_EQ(m_command->Activate(nullptr, nullptr), 0);
  EXPECT_EQ(m_command->Desactivate(nullptr, nullptr), 0);
  EXPECT_EQ(m_command->Cancel(nullptr, nullptr), 0);
  m_dispatch->RunUntilIdle();
  EXPECT_EQ(BoxList().size(), 4u);
}
