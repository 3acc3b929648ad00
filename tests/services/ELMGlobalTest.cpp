#include "ELMGlobal.h"

#include "CATApplication.h"
#include "CATDlgDialog.h"
#include "ELMHostDispatch.h"

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "ScriptedUser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

// The module is settled once per process: every case that depends on it
// runs in a child of its own and prints what it saw.

namespace {

using elmtest::kUnset;
using elmtest::RunInChild;

void print(const char* what, const CATUnicodeString& value) { std::printf("%s=%s\n", what, value.ConvertToChar()); }

void printBoxes(const elmtest::ScriptedUser& user) {
  for (const auto& box : user.Boxes())
    std::printf("box %s %#lx [%s] [%s]\n", box.name.CastToCharPtr(), box.style, box.title.ConvertToChar(),
                box.text.ConvertToChar());
}

CATUnicodeString msg(const char* catalog, const char* key) {
  return ELMGlobal::BuildMessage(catalog, key, nullptr, 0, CATUnicodeString());
}

}  // namespace

// A known code gives its module and prefix; any other value, unset or empty
// among them, warns once and leaves names unprefixed.
TEST(ELMGlobalModule, KnownCodesGiveTheirModuleAndPrefixOthersWarnOnce) {
  elmtest::ScratchDir dir;
  dir.Write("ELMGlobal.nls", "MsgTitle = \"Integration\";\nModuleMissing = \"No module\";\n");
  const std::string unknown = "-1 [] [AboutDialog]\nbox ELMWarning 0x10100000 [Integration] [No module]\n";
  const std::pair<std::string, std::string> cases[] = {
      {"OAK", "1 [OAK] [OAKAboutDialog]\n"},
      {"ASH", "2 [ASH] [ASHAboutDialog]\n"},
      {"YEW", "3 [YEW] [YEWAboutDialog]\n"},
      {kUnset, unknown},
      {"oak", unknown},
      {"OAK ", unknown},
      {"", unknown},
  };
  for (const auto& [value, expected] : cases) {
    auto r = RunInChild({{"ELM_MODULE", value}, {"ELMHOST_CATALOG_PATH", dir.Path()}}, [] {
      elmhost::Dispatch dispatch;
      CATApplication app("elm", CATListValCATString{"cnext"});
      elmtest::ScriptedUser user;
      std::printf("%d [%s] [%s]\n", static_cast<int>(ELMGlobal::GetELMModule()), ELMGlobal::GetELMModulePrefix(),
                  ELMGlobal::AddPrefixToResorceName("AboutDialog").CastToCharPtr());
      ELMGlobal::GetELMModule();
      printBoxes(user);
      std::printf("pending %zu\n", dispatch.PendingTimeOuts());
      return 0;
    });
    EXPECT_EQ(r.out, expected + "pending 0\n") << "ELM_MODULE='" << value << "'";
  }
}

TEST(ELMGlobalModule, WithoutAMainApplicationNoBoxIsShown) {
  auto r = RunInChild({{"ELM_MODULE", kUnset}}, [] {
    elmtest::ScriptedUser user;
    std::printf("%d\n", static_cast<int>(ELMGlobal::GetELMModule()));
    printBoxes(user);
    return 0;
  });
  EXPECT_EQ(r.out, "-1\n");
}

TEST(ELMGlobalModuleMissing, RepeatsEverySecondUntilAcknowledged) {
  auto r = RunInChild({{"ELM_MODULE", kUnset}}, [] {
    elmhost::Dispatch dispatch;
    CATApplication app("elm", CATListValCATString{"cnext"});
    elmtest::ScriptedUser user;
    user.SetResponder([&](const elmhost::BoxDescription&) {
      std::printf("shown at %lld\n", static_cast<long long>(dispatch.Now() / 1000));
      return user.Boxes().size() < 3 ? 0 : elmhost::kBoxAcknowledged;
    });
    ELMGlobal::GetELMModule();
    std::printf("fired %d\n", dispatch.RunUntilIdle());
    std::printf("boxes %zu pending %zu alive %zu\n", user.Boxes().size(), dispatch.PendingTimeOuts(),
                dispatch.PendingDestructions());
    return 0;
  });
  EXPECT_EQ(r.out, "shown at 0\nshown at 1\nshown at 2\nfired 2\nboxes 3 pending 0 alive 0\n");
}

TEST(ELMGlobalModuleMissing, AnAcknowledgedBoxRemovesAPendingRepeat) {
  auto r = RunInChild({}, [] {
    elmhost::Dispatch dispatch;
    CATApplication app("elm", CATListValCATString{"cnext"});
    elmtest::ScriptedUser user;
    user.QueueAnswer(0);
    int data = 0;
    ELMGlobal::ShowModuleMissing(&app, 0, &data);
    std::printf("pending %zu\n", dispatch.PendingTimeOuts());
    // Shown again by some other path and acknowledged there: the repeat is dropped.
    ELMGlobal::ShowModuleMissing(&app, 0, &data);
    std::printf("pending %zu fired %d boxes %zu\n", dispatch.PendingTimeOuts(), dispatch.RunUntilIdle(),
                user.Boxes().size());
    return 0;
  });
  EXPECT_EQ(r.out, "pending 1\npending 0 fired 0 boxes 2\n");
}

TEST(ELMGlobalMessages, WithoutCatalogsTheDefaultOrCatalogBlankKeyIsGiven) {
  elmtest::ScratchDir empty;
  auto r = RunInChild({{"ELMHOST_CATALOG_PATH", empty.Path()}, {"ELM_MODULE", "OAK"}}, [] {
    print("generated", msg("Global", "MsgTitle"));
    print("given", ELMGlobal::BuildMessage("Global", "MsgTitle", nullptr, 0, "ELMGlobal MsgTitle"));
    ELMGlobal::GetELMModule();
    print("settled", msg("Global", "MsgTitle"));
    return 0;
  });
  EXPECT_EQ(r.out, "generated=Global MsgTitle\ngiven=ELMGlobal MsgTitle\nsettled=Global MsgTitle\n");
}

TEST(ELMGlobalMessages, ModuleCatalogOverridesTheCommonOneKeyByKey) {
  elmtest::ScratchDir dir;
  dir.Write("ELMGlobal.nls", "Both = \"common both\";\nCommon = \"common /P1 of /P2\";\n");
  dir.Write("ASHGlobal.nls", "Both = \"ash /P2\";\n");
  dir.Write("Global.nls", "Both = \"bare both\";\n");
  auto r = RunInChild({{"ELMHOST_CATALOG_PATH", dir.Path()}, {"ELM_MODULE", "ASH"}}, [] {
    CATUnicodeString params[] = {"1", "2"};
    // Nothing has settled the module yet: the bare catalog stands in for the module's.
    print("before", ELMGlobal::BuildMessage("Global", "Both", params, 2, ""));
    std::printf("module %d\n", static_cast<int>(ELMGlobal::GetELMModule()));
    print("both", ELMGlobal::BuildMessage("Global", "Both", params, 2, ""));
    print("common", ELMGlobal::BuildMessage("Global", "Common", params, 2, ""));
    print("neither", ELMGlobal::BuildMessage("Global", "Neither", params, 2, "default /P1"));
    return 0;
  });
  EXPECT_EQ(r.out, "before=bare both\nmodule 2\nboth=ash 2\ncommon=common 1 of 2\nneither=default /P1\n");
}

TEST(ELMGlobalResources, ModuleCatalogFirstThenTheUnprefixedOneWhenMissingOrEmpty) {
  elmtest::ScratchDir dir;
  dir.Write("YEWAboutDialog.rsc", "Icon = \"\";\nTitle = \"yew /P1\";\n");
  dir.Write("AboutDialog.rsc", "Icon = \"I_About\";\nTitle = \"plain\";\nOnlyPlain = \"plain only\";\n");
  dir.Write("ELMAboutDialog.rsc", "Common = \"never used\";\n");
  for (const char* module : {"YEW", "none"}) {
    auto r = RunInChild({{"ELMHOST_CATALOG_PATH", dir.Path()}, {"ELM_MODULE", module}}, [] {
      ELMGlobal::GetELMModule();
      CATString params[] = {"x"};
      for (const char* key : {"Icon", "Title", "OnlyPlain", "Common"})
        std::printf("%s=%s\n", key, ELMGlobal::BuildResource("AboutDialog", key, params, 1, "dflt").CastToCharPtr());
      return 0;
    });
    std::string title = std::string(module) == "YEW" ? "yew x" : "plain";
    EXPECT_EQ(r.out, "Icon=I_About\nTitle=" + title + "\nOnlyPlain=plain only\nCommon=dflt\n") << module;
  }
}

TEST(ELMGlobalDialogs, StandardMessagesSetTitleAndHelpsWithGeneratedDefaults) {
  elmtest::ScratchDir dir;
  dir.Write("ELMSampleDialog.nls", "Title = \"Sample\";\nHelp = \"common help\";\nOKBtnTitle = \"Send\";\n");
  dir.Write("OAKSampleDialog.nls", "Help = \"oak help\";\n");
  auto r = RunInChild({{"ELMHOST_CATALOG_PATH", dir.Path()}, {"ELM_MODULE", "OAK"}}, [] {
    ELMGlobal::GetELMModule();
    CATDlgDialog dialog(nullptr, "Sample");
    dialog.SetOKTitle("OK");
    ELMGlobal::SetDialogStandardMessages(&dialog, "SampleDialog");
    print("title", dialog.GetTitle());
    print("help", dialog.GetHelp());
    print("short", dialog.GetShortHelp());
    print("long", dialog.GetLongHelp());
    print("ok", dialog.GetOKTitle());
    CATDlgDialog untouched(nullptr, "Untouched");
    untouched.SetTitle("as built");
    ELMGlobal::SetDialogStandardMessages(&untouched, "");
    ELMGlobal::SetDialogStandardMessages(nullptr, "SampleDialog");
    print("untouched", untouched.GetTitle() + untouched.GetHelp());
    return 0;
  });
  EXPECT_EQ(r.out,
            "title=Sample\n"
            "help=oak help\n"
            "short=SampleDialog ShortHelp\n"
            "long=SampleDialog LongHelp\n"
            "ok=OK\n"
            "untouched=as built\n");
}

TEST(ELMGlobalToolbar, ShownOnlyInAcceptedApplicationsWithAModule) {
  struct Case {
    bool application;
    const char* first;  // null: no argument at all
    const char* module;
    const char* additional;
    int expected;
  };
  const Case cases[] = {
      {true, "3DEXPERIENCE", "OAK", nullptr, 1},
      {true, "cnext", "YEW", nullptr, 1},
      {true, "CNEXT", "OAK", nullptr, 0},
      {true, "CNEXT", "OAK", "CNEXT", 1},
      {true, "CNEXT", "OAK", "cnext", 0},
      {true, "3DEXPERIENCE", nullptr, nullptr, 0},
      {true, nullptr, "OAK", nullptr, 0},
      // Without an application only the module counts.
      {false, nullptr, "ASH", nullptr, 1},
      {false, nullptr, nullptr, nullptr, 0},
  };
  for (const Case& c : cases) {
    auto r = RunInChild({{"ELM_MODULE", c.module ? c.module : kUnset},
                         {"ELM_ADDITIONAL_APPLICATION", c.additional ? c.additional : kUnset}},
                        [&c] {
                          CATListValCATString args;
                          if (c.first) args = CATListValCATString{c.first, "-env"};
                          std::optional<CATApplication> app;
                          if (c.application) app.emplace("elm", args);
                          return static_cast<int>(ELMGlobal::ShowToolbar());
                        });
    EXPECT_EQ(r.exitCode, c.expected) << (c.application ? "" : "no application, ") << (c.first ? c.first : "(none)")
                                      << " module " << (c.module ? c.module : "-") << " additional "
                                      << (c.additional ? c.additional : "-");
  }
}

TEST(ELMGlobalTrace, RefusedApplicationNoteAndScopesAreWrittenExactly) {
  auto r = RunInChild({{"ELM_DEBUG", "ON"}, {"ELM_MODULE", "OAK"}}, [] {
    CATApplication app("elm", CATListValCATString{"Cnext"});
    ELMGlobal::GetELMModule();
    // Settled: later calls go straight to the value, with no scope of their own.
    ELMGlobal::GetELMModule();
    return static_cast<int>(ELMGlobal::ShowToolbar());
  });
  EXPECT_EQ(r.exitCode, 0);
  const std::string& out = r.out;
  EXPECT_NE(out.find("): No ELM in Appication:  Cnext\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" ELM: ELMGlobal::ShowToolbar("), std::string::npos) << out;
  // Exactly one scope start and one end for the module: the second call has none.
  std::size_t starts = 0;
  for (std::size_t p = out.find("GetELMModule("); p != std::string::npos; p = out.find("GetELMModule(", p + 1))
    ++starts;
  EXPECT_EQ(starts, 2u) << out;
}
