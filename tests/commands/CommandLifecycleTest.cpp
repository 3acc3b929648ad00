#include "CommandFixture.h"

#include "ChildProcess.h"

#include "CATDlgDialog.h"
#include "ELMHostClassDictionary.h"

#include <gmock/gmock.h>

#include <dlfcn.h>

using testing::HasSubstr;
using testing::IsEmpty;

namespace {

// What holds for every command the plug-in registers, whatever it does: one
// test over every registered class, so a new command is covered as soon as
// it is registered.

std::vector<std::string> RegisteredCommands() {
  static void* plugin = dlopen(ELM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!plugin) return {};
  return elmhost::ClassDictionary::Names();
}

/// What a person sees of an action: requests sent, boxes, dialogs shown.
struct Effects {
  std::size_t requests = 0;
  std::size_t boxes = 0;
  std::size_t dialogs = 0;
  bool operator==(const Effects&) const = default;
};

class CommandLifecycle : public elmtest::CommandFixture, public testing::WithParamInterface<std::string> {
protected:
  Effects Seen() const {
    return {m_server ? m_server->Requests().size() : 0, m_user ? m_user->Boxes().size() : 0,
            elmhost::OpenDialogs().size()};
  }
  bool IsDialogCommand(CATCommand* command) const {
    CATVar<CATDlgDialog> dialog(command);
    return !!dialog;
  }
};

TEST(CommandRegistration, TheSevenCommandsAreRegisteredInTheirOrder) {
  std::vector<std::string> expected = {"SetPartNumberFromExtPdmCmd", "ELMAboutCmd",
                                       "ELMCoexistenceAdminCmd",     "ELMNamedStructureCmd",
                                       "ELMProcessStatusCmd",        "ELMShowPropertyViewerWindowCmd",
                                       "ELMTransferStructureCmd"};
  std::vector<std::string> registered = RegisteredCommands();
  // Commands still to come are absent; those present keep this order.
  std::vector<std::string> inOrder;
  for (const std::string& name : expected)
    if (std::find(registered.begin(), registered.end(), name) != registered.end()) inOrder.push_back(name);
  EXPECT_EQ(registered, inOrder);
  EXPECT_GE(registered.size(), 2u);
}

TEST_P(CommandLifecycle, FactoryIsExportedUndecoratedAndMakesOneCommandNamedAfterTheClass) {
  const std::string name = GetParam();
  void* plugin = dlopen(ELM_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(plugin, nullptr);
  void* factory = dlsym(plugin, ("fctCreate" + name).c_str());
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(elmhost::ClassDictionary::Find(name)), factory);
  // Nothing else of the command is visible from outside the plug-in.
  std::string activate = "_ZN" + std::to_string(name.size()) + name + "8ActivateEP10CATCommandP15CATNotification";
  EXPECT_EQ(dlsym(plugin, activate.c_str()), nullptr);
  dlclose(plugin);

  ASSERT_NO_FATAL_FAILURE(Prepare(name));
  CATCommand* second = CreateCommand(name);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, m_command);
  EXPECT_EQ(m_command->GetName(), name.c_str());
  if (!IsDialogCommand(m_command)) {
    EXPECT_EQ(m_command->GetMode(), CATCommandModeExclusive);
  }
  second->RequestDelayedDestruction();
  m_command->RequestDelayedDestruction();
  m_dispatch->RunUntilIdle();
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
}

TEST_P(CommandLifecycle, CancelBeforeActivationEndsTheCommandWithoutItsAction) {
  ASSERT_NO_FATAL_FAILURE(Prepare(GetParam()));
  EXPECT_EQ(m_command->Cancel(nullptr, nullptr), 0);
  // The host destroys it, not the command itself.
  EXPECT_TRUE(m_command->IsDestructionRequested());
  EXPECT_EQ(m_command->GetRefCount(), 1u);
  m_dispatch->RunUntilIdle();
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
  EXPECT_THAT(Requests(), IsEmpty());
  EXPECT_THAT(BoxList(), IsEmpty());
  EXPECT_THAT(elmhost::OpenDialogs(), IsEmpty());
}

TEST_P(CommandLifecycle, EveryEntryAnswersZeroAndDesactivateRepeatsTheAction) {
  ASSERT_NO_FATAL_FAILURE(Prepare(GetParam()));
  const bool dialogCommand = IsDialogCommand(m_command);
  EXPECT_EQ(m_command->Activate(nullptr, nullptr), 0);
  Effects once = Seen();
  EXPECT_EQ(m_command->Desactivate(nullptr, nullptr), 0);
  Effects twice = Seen();
  if (dialogCommand) {
    // The command is its dialog: deactivation only hides it.
    EXPECT_EQ(twice, (Effects{once.requests, once.boxes, 0}));
  } else {
    EXPECT_EQ(twice, (Effects{2 * once.requests, 2 * once.boxes, 2 * once.dialogs}));
  }
  EXPECT_EQ(m_command->Cancel(nullptr, nullptr), 0);
  m_dispatch->RunUntilIdle();
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
}

TEST_P(CommandLifecycle, ConstructionAndDestructionAreTracedUnderTheClassName) {
  const std::string name = GetParam();
  // The trace level is settled once per process: nothing here may open a
  // scope before the child does.
  auto r = elmtest::RunInChild({{"ELM_DEBUG", "ON"}}, [&] {
    CATCommand* command = CreateCommand(name);
    if (!command) return 1;
    CATVar<CATDlgDialog> dialog(command);
    std::printf(dialog ? "dialog command\n" : "command\n");
    dialog = nullptr;
    command->Release();
    return 0;
  });
  ASSERT_EQ(r.exitCode, 0) << r.out;
  if (r.out.find("dialog command\n") != std::string::npos) {
    // The command that is a dialog opens no trace scopes.
    EXPECT_THAT(r.out, testing::Not(HasSubstr(name + "::")));
  } else {
    for (const std::string& scope : {name + "::" + name, name + "::~" + name}) {
      EXPECT_THAT(r.out, testing::ContainsRegex(" ELM: " + scope + "\\([0-9]+\\) start")) << r.out;
      EXPECT_THAT(r.out, testing::ContainsRegex(" ELM: " + scope + "\\([0-9]+\\) end OK")) << r.out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Registered, CommandLifecycle, testing::ValuesIn(RegisteredCommands()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
