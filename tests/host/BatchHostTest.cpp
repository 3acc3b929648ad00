#include "CATBatClientMonitorCAA.h"
#include "CATBatchEndNotifCAA.h"
#include "CATBatchPublisherCAA.h"
#include "CATFileServices.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATIPLMComponent.h"
#include "CATMetaClass.h"
#include "CATPLMBatch.h"
#include "ELMHostBatch.h"
#include "ELMHostDesktop.h"
#include "ELMHostDispatch.h"
#include "ELMHostPLMSession.h"
#include "LoopbackServer.h"
#include "WinShell.h"

#include <gmock/gmock.h>
#include <pugixml.hpp>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using testing::ElementsAre;

namespace {

namespace fs = std::filesystem;

/// A subscriber to the batch publisher: records the ends it is told of and
/// raises the flag it is given.
struct Listener : CATBaseUnknown {
  std::vector<std::string> ids;
  int* flag = nullptr;
  void Ended(CATCallbackEvent, void*, CATNotification* n, CATSubscriberData, CATCallback) {
    CATVar<CATBatchEndNotifCAA> end(n);
    ids.push_back(end ? end->GetBatchId() : "?");
    if (flag) *flag = 1;
  }
};

class BatchHost : public ::testing::Test {
protected:
  void SetUp() override {
    m_env.Set("TMPDIR", m_scratch.Path());
    m_env.Unset("ELMHOST_BATCH_TIMEOUT");
    m_previous = elmhost::SetBatchObserver([this](const elmhost::BatchEvent& e) { m_events.push_back(e); });
  }
  void TearDown() override { elmhost::SetBatchObserver(std::move(m_previous)); }

  /// An input file whose batch the shell script body runs.
  std::string Input(const std::string& body) {
    std::string program = m_scratch.Write("batch" + std::to_string(++m_programs) + ".sh", "#!/bin/sh\n" + body + "\n");
    fs::permissions(program, fs::perms::owner_all);
    m_env.Set("ELMHOST_BATCH_PROGRAM", program);
    CATPLMBatch batch("Test");
    std::string input = m_scratch.File("input" + std::to_string(m_programs) + ".xml");
    EXPECT_EQ(batch.FillXmlFile("", input.c_str()), S_OK);
    return input;
  }
  CATBatClientMonitorCAA& Monitor() { return *CATBatClientMonitorCAA::GetTheClientMonitorCAA(); }
  /// Submits and waits until the batch has ended (nothing raises the flag).
  std::string RunToEnd(const std::string& body) {
    char id[33] = {};
    EXPECT_EQ(Monitor().SubmitBatch(Input(body).c_str(), id, 0), S_OK);
    int flag = 0;
    EXPECT_EQ(Monitor().WaitForFlag(&flag, -1, 0), E_FAIL);
    return id;
  }

  elmhost::Dispatch m_dispatch;
  elmtest::ScratchDir m_scratch;
  elmtest::EnvChanges m_env;
  std::vector<elmhost::BatchEvent> m_events;
  elmhost::BatchObserver m_previous;
  int m_programs = 0;
};

TEST_F(BatchHost, TheInputFileHoldsTheBatchAsTheBatchProgramReadsIt) {
  std::string error;
  auto session = elmhost::PLMSession::FromText(
      R"({"objects": [{"id": "a", "type": "VPMReference"}, {"id": "b", "type": "VPMReference"}]})",
      m_scratch.File("session.json"), error);
  ASSERT_TRUE(session) << error;
  CATListPtrCATIAdpPLMIdentificator objects;
  for (const char* id : {"b", "a"}) {
    CATIPLMComponent_var component(session->Find(id));
    CATIAdpPLMIdentificator* identificator = nullptr;
    ASSERT_EQ(component->GetAdpID(identificator), S_OK);
    objects.Append(identificator);
  }
  CATPLMBatch batch("CoexistenceAdministration");
  EXPECT_EQ(batch.SetApplicativeParameters("First", CATListValCATUnicodeString{"stale"}), S_OK);
  EXPECT_EQ(batch.SetApplicativeParameters("Second", CATListValCATUnicodeString{"x", "<&\">", "日本"}), S_OK);
  EXPECT_EQ(batch.SetApplicativeParameters("None", CATListValCATUnicodeString{}), S_OK);
  EXPECT_EQ(batch.SetApplicativeParameters("First", CATListValCATUnicodeString{"fresh"}), S_OK);
  EXPECT_EQ(batch.SetSelectedObjects(objects), S_OK);
  for (CATIAdpPLMIdentificator* i : objects) i->Release();
  fs::create_directories(m_scratch.File("reports"));
  EXPECT_EQ(batch.SetReportParameters("PLMBATCH_Report_Directory", m_scratch.File("reports").c_str()), S_OK);
  const std::string path = m_scratch.File("in.xml");
  ASSERT_EQ(batch.FillXmlFile("nightly run", path.c_str()), S_OK);

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(path.c_str()));
  pugi::xml_node root = doc.child("PLMBatch");
  EXPECT_STREQ(root.attribute("name").value(), "CoexistenceAdministration");
  EXPECT_STREQ(root.child("Description").text().get(), "nightly run");
  EXPECT_EQ(root.child("Session").attribute("file").value(), fs::absolute(m_scratch.File("session.json")).string());
  std::vector<std::string> parameters;
  for (pugi::xml_node p : root.child("ApplicativeParameters").children("Parameter")) {
    std::string line = p.attribute("name").value();
    for (pugi::xml_node v : p.children("Value")) line += std::string("|") + v.text().get();
    parameters.push_back(line);
  }
  EXPECT_THAT(parameters, ElementsAre("First|fresh", "Second|x|<&\">|日本", "None"));
  std::vector<std::string> ids;
  for (pugi::xml_node o : root.child("SelectedObjects").children("Object")) ids.emplace_back(o.attribute("id").value());
  EXPECT_THAT(ids, ElementsAre("b", "a"));
  EXPECT_STREQ(root.child("ReportParameters").child("Parameter").attribute("value").value(),
               m_scratch.File("reports").c_str());
  const std::string report = batch.GetReportName().Utf8();
  EXPECT_EQ(root.child("Report").attribute("name").value(), report);
  EXPECT_EQ(report.rfind(m_scratch.File("reports") + "/CoexistenceAdministration_", 0), 0u) << report;
  // Two batches never share a report, and others may read the input.
  EXPECT_NE(CATPLMBatch("CoexistenceAdministration").GetReportName(), batch.GetReportName());
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(BatchHost, ABatchRefusesWhatItCannotRecord) {
  CATPLMBatch batch("B");
  EXPECT_EQ(batch.SetApplicativeParameters("", CATListValCATUnicodeString{"x"}), E_FAIL);
  EXPECT_EQ(batch.SetReportParameters("", "x"), E_FAIL);
  CATListPtrCATIAdpPLMIdentificator withNull;
  withNull.Append(nullptr);
  EXPECT_EQ(batch.SetSelectedObjects(withNull), E_INVALIDARG);
  EXPECT_EQ(batch.FillXmlFile("", ""), E_FAIL);
  std::ofstream(m_scratch.File("file")) << "x";
  EXPECT_EQ(batch.FillXmlFile("", m_scratch.File("file/in.xml").c_str()), E_FAIL);
  // Without a report directory the report goes to the temporary directory.
  EXPECT_EQ(batch.GetReportName().Utf8().rfind(m_scratch.Path() + "/B_", 0), 0u);
}

TEST_F(BatchHost, TheProgramIsToldItsBatchAndItsOutputGoesBesideTheReport) {
  std::string id = RunToEnd("echo \"$1 $2 $3\"; exit 4");
  std::string input = m_scratch.File("input" + std::to_string(m_programs) + ".xml");
  ASSERT_EQ(m_events.size(), 2u);
  EXPECT_EQ(m_events[1].kind, elmhost::BatchEvent::Kind::Ended);
  EXPECT_EQ(m_events[1].returnCode, 4);
  EXPECT_EQ(m_events[1].logFile.substr(m_events[1].logFile.size() - 4), ".log");
  EXPECT_EQ(elmtest::ReadFile(m_events[1].logFile), "--id " + id + " " + input + "\n");
  int state = 0, code = -1;
  EXPECT_EQ(Monitor().GetBatchState(id.c_str(), state), S_OK);
  EXPECT_EQ(state, CATBatStateEnded);
  EXPECT_EQ(Monitor().GetBatchReturnCode(id.c_str(), &code), S_OK);
  EXPECT_EQ(code, 4);
}

TEST_F(BatchHost, ARunningBatchHasNoReturnCodeUntilItIsStopped) {
  char id[33] = {};
  ASSERT_EQ(Monitor().SubmitBatch(Input("sleep 30").c_str(), id, 0), S_OK);
  int state = 0, code = -1;
  EXPECT_EQ(Monitor().GetBatchState(id, state), S_OK);
  EXPECT_EQ(state, CATBatStateRunning);
  EXPECT_EQ(Monitor().GetBatchReturnCode(id, &code), E_FAIL);
  EXPECT_EQ(Monitor().StopBatch(id), S_OK);
  EXPECT_EQ(Monitor().GetBatchState(id, state), S_OK);
  EXPECT_EQ(state, CATBatStateStopped);
  EXPECT_EQ(Monitor().GetBatchReturnCode(id, &code), S_OK);
  EXPECT_EQ(code, 128 + 15);
  EXPECT_EQ(Monitor().StopBatch(id), E_FAIL);
  ASSERT_FALSE(m_events.empty());
  EXPECT_EQ(m_events.back().kind, elmhost::BatchEvent::Kind::Stopped);
  EXPECT_EQ(m_events.back().timeLimit, 0);
}

TEST_F(BatchHost, TheWaitStopsWhatRunsPastTheTimeLimit) {
  m_env.Set("ELMHOST_BATCH_TIMEOUT", "0.2");
  char id[33] = {};
  // The shell's child too: the whole group of the batch goes.
  const std::string child = m_scratch.File("child.pid");
  ASSERT_EQ(Monitor().SubmitBatch(Input("sleep 30 & echo $! > '" + child + "'; wait").c_str(), id, 0), S_OK);
  int flag = 0;
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Monitor().WaitForFlag(&flag, -1, 0), E_FAIL);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  int state = 0;
  EXPECT_EQ(Monitor().GetBatchState(id, state), S_OK);
  EXPECT_EQ(state, CATBatStateStopped);
  ASSERT_FALSE(m_events.empty());
  EXPECT_EQ(m_events.back().kind, elmhost::BatchEvent::Kind::Stopped);
  EXPECT_EQ(m_events.back().timeLimit, 0.2);
  int pid = 0;
  std::ifstream(child) >> pid;
  ASSERT_GT(pid, 0);
  // Gone, or at most a zombie waiting for init, once it has taken the signal.
  auto ended = [&] {
    std::string status = elmtest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    return status.empty() || status.find(") Z ") != std::string::npos;
  };
  for (int i = 0; i < 200 && !ended(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(ended()) << elmtest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
}

TEST_F(BatchHost, EndsArePublishedThroughTheDispatchOnlyWhenTheClientAsked) {
  Listener listener;
  int flag = 0;
  listener.flag = &flag;
  AddCallback(&listener, GetBatchPublisherCAA(), CATBatchEndNotifCAA::ClassName(),
              static_cast<CATSubscriberMethod>(&Listener::Ended), nullptr);
  ASSERT_EQ(Monitor().SetEndNotification(0, 0), S_OK);
  RunToEnd("exit 0");
  EXPECT_TRUE(listener.ids.empty());

  ASSERT_EQ(Monitor().SetEndNotification(1, 0), S_OK);
  char id[33] = {};
  ASSERT_EQ(Monitor().SubmitBatch(Input("exit 0").c_str(), id, 0), S_OK);
  EXPECT_EQ(Monitor().WaitForFlag(&flag, -1, 0), S_OK);
  EXPECT_THAT(listener.ids, ElementsAre(std::string(id)));
  RemoveSubscriberCallbacks(&listener, GetBatchPublisherCAA());
  EXPECT_EQ(Monitor().SetEndNotification(2, 0), E_INVALIDARG);
}

TEST_F(BatchHost, TheMonitorRefusesWhatItCannotRun) {
  char id[33] = "stale";
  std::string notXml = m_scratch.Write("bad.xml", "no batch here");
  EXPECT_EQ(Monitor().SubmitBatch(notXml.c_str(), id, 0), E_FAIL);
  EXPECT_STREQ(id, "");
  std::string input = Input("exit 0");
  EXPECT_EQ(Monitor().SubmitBatch(input.c_str(), id, 1), E_INVALIDARG);
  EXPECT_EQ(Monitor().SubmitBatch(input.c_str(), nullptr, 0), E_INVALIDARG);
  m_env.Set("ELMHOST_BATCH_PROGRAM", m_scratch.File("missing"));
  EXPECT_EQ(Monitor().Connect(), E_FAIL);
  EXPECT_EQ(Monitor().SubmitBatch(input.c_str(), id, 0), E_FAIL);
  std::string tried;
  EXPECT_EQ(elmhost::FindBatchProgram(&tried), "");
  EXPECT_EQ(tried, m_scratch.File("missing"));
  int state = 0, code = 0, flag = 0;
  EXPECT_EQ(Monitor().GetBatchState("no such batch", state), E_FAIL);
  EXPECT_EQ(Monitor().GetBatchReturnCode("no such batch", &code), E_FAIL);
  EXPECT_EQ(Monitor().StopBatch("no such batch"), E_FAIL);
  // Nothing runs: nothing could raise the flag, so the wait does not start.
  EXPECT_EQ(Monitor().WaitForFlag(&flag, -1, 0), E_FAIL);
  EXPECT_TRUE(m_events.empty());
}

TEST(BatchTimeLimit, IsAPositiveNumberOfSecondsOrFiveMinutes) {
  const std::pair<const char*, double> cases[] = {
      {nullptr, 300}, {"", 300},    {"2.5", 2.5}, {"600", 600}, {"0", 300},
      {"-1", 300},    {"abc", 300}, {"1x", 300},  {"inf", 300},
  };
  for (auto [text, seconds] : cases) {
    elmtest::EnvChanges env;
    env.Unset("ELMHOST_BATCH_TIMEOUT");
    if (text) env.Set("ELMHOST_BATCH_TIMEOUT", text);
    EXPECT_EQ(elmhost::BatchTimeLimit(), seconds) << (text ? text : "unset");
  }
}

TEST(CATCallbackManager, DeliversFromTheDispatchToTheSubscribersOfTheClass) {
  elmhost::Dispatch dispatch;
  CATCallbackManager publisher;
  struct Subscriber : CATBaseUnknown {
    std::vector<std::string> seen;
    CATCallbackManager* publisher = nullptr;
    CATBaseUnknown* withdraw = nullptr;
    void Told(CATCallbackEvent event, void* from, CATNotification* n, CATSubscriberData data, CATCallback) {
      seen.push_back(std::string(event) + "/" + n->GetName().Str() + "/" + static_cast<const char*>(data) +
                     (from == publisher ? "" : "/elsewhere"));
      if (withdraw) publisher->RemoveSubscriberCallbacks(withdraw);
    }
  } first, second;
  first.publisher = second.publisher = &publisher;
  first.withdraw = &second;
  auto told = static_cast<CATSubscriberMethod>(&Subscriber::Told);
  AddCallback(&first, &publisher, "Ping", told, const_cast<char*>("one"));
  AddCallback(&second, &publisher, "Ping", told, const_cast<char*>("two"));
  AddCallback(&second, &publisher, "Pong", told, const_cast<char*>("three"));
  EXPECT_EQ(AddCallback(&first, &publisher, "", told, nullptr), 0);
  EXPECT_EQ(publisher.GetCallbackCount(), 3);

  CATNotification_var ping = CATMakeVar<CATNotification>("Ping");
  publisher.DispatchCallbacks(ping.get());
  EXPECT_TRUE(first.seen.empty());  // not inside the publisher's call
  dispatch.RunEvents();
  // The first withdrew the second before its turn.
  EXPECT_THAT(first.seen, ElementsAre("Ping/Ping/one"));
  EXPECT_TRUE(second.seen.empty());
  EXPECT_EQ(publisher.GetCallbackCount(), 1);
  CATNotification_var pong = CATMakeVar<CATNotification>("Pong");
  publisher.DispatchCallbacks(pong.get());
  dispatch.RunEvents();
  EXPECT_TRUE(second.seen.empty());
}

TEST(CATMetaClass, KnowsClassesByNameAndTheirBases) {
  const CATMetaClass* base = CATMetaClass::Register("TestBase", 1, "CATBaseUnknown", "CATnull", "External");
  const CATMetaClass* derived = CATMetaClass::Register("TestDerived", 2, "TestBase", "", "");
  const CATMetaClass* orphan = CATMetaClass::Register("TestOrphan", 1, "NeverRegistered", "", "");
  ASSERT_TRUE(base && derived && orphan);
  EXPECT_EQ(CATMetaClass::Register("TestBase", 2, "Other", "", ""), base);
  EXPECT_EQ(CATMetaClass::Find("TestDerived"), derived);
  EXPECT_EQ(derived->GetBase(), base);
  EXPECT_EQ(derived->GetClassType(), 2);
  for (const char* kind : {"TestDerived", "TestBase", "CATBaseUnknown"}) EXPECT_EQ(derived->IsAKindOf(kind), 1) << kind;
  EXPECT_EQ(base->IsAKindOf("TestDerived"), 0);
  EXPECT_EQ(orphan->IsAKindOf("NeverRegistered"), 1);
  EXPECT_EQ(orphan->IsAKindOf("CATBaseUnknown"), 0);
  EXPECT_EQ(CATMetaClass::Register("", 1, "", "", ""), nullptr);
  EXPECT_EQ(CATMetaClass::Find("Unknown"), nullptr);
}

TEST(FileServices, JoinCheckAndResolvePaths) {
  elmtest::ScratchDir dir;
  char path[16];
  EXPECT_EQ(CATMakePath("/tmp", "a.xml", path, sizeof path), CATLibSuccess);
  EXPECT_STREQ(path, "/tmp/a.xml");
  EXPECT_EQ(CATMakePath("/tmp/", "a.xml", path, sizeof path), CATLibSuccess);
  EXPECT_STREQ(path, "/tmp/a.xml");
  EXPECT_EQ(CATMakePath("/tmp/longer", "a.xml", path, sizeof path), CATLibError);
  EXPECT_STREQ(path, "");
  EXPECT_EQ(CATMakePath(nullptr, "a", path, sizeof path), CATLibError);

  std::string file = dir.Write("f", "x");
  EXPECT_EQ(CATFileAccess(file.c_str(), 4), 0);
  EXPECT_EQ(CATFileAccess(file.c_str(), 0), 0);
  EXPECT_EQ(CATFileAccess(dir.File("missing").c_str(), 4), -1);
  EXPECT_EQ(CATFileAccess(file.c_str(), 8), -1);
  EXPECT_EQ(CATFileAccess("", 0), -1);

  {
    elmtest::EnvChanges env("TMPDIR", dir.Path());
    EXPECT_EQ(std::string(CATGetTempDirectory()), dir.Path());
    env.Set("TMPDIR", "");
    EXPECT_STREQ(CATGetTempDirectory(), "/tmp");
  }

  fs::create_directories(dir.File("real"));
  fs::create_directory_symlink(dir.File("real"), dir.File("link"));
  const std::string real = fs::canonical(dir.File("real")).string();
  char longPath[1024] = "untouched";
  EXPECT_EQ(GetLongPathNameA(dir.File("link/../link").c_str(), longPath, sizeof longPath), real.size());
  EXPECT_EQ(std::string(longPath), real);
  char small[4] = "abc";
  EXPECT_EQ(GetLongPathNameA(dir.File("link").c_str(), small, sizeof small), real.size() + 1);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(GetLongPathNameA(dir.File("missing").c_str(), longPath, sizeof longPath), 0u);
}

TEST(ShellExecuteA, OpensWithTheDesktopWhenThereIsOneAndTellsThePathOtherwise) {
  elmtest::ScratchDir dir;
  std::vector<elmhost::DesktopOpen> told;
  auto previous = elmhost::SetDesktopObserver([&](const elmhost::DesktopOpen& o) { told.push_back(o); });
  elmtest::EnvChanges env;
  env.Unset("DISPLAY");
  env.Unset("WAYLAND_DISPLAY");
  std::string report = dir.Write("report.htm", "<html></html>");
  auto code = [](HINSTANCE h) { return reinterpret_cast<std::intptr_t>(h); };

  EXPECT_EQ(code(ShellExecuteA(nullptr, "open", report.c_str(), nullptr, nullptr, SW_SHOWNORMAL)), SE_ERR_NOASSOC);
  EXPECT_EQ(code(ShellExecuteA(nullptr, "open", dir.File("missing.htm").c_str(), nullptr, nullptr, 1)), SE_ERR_FNF);
  EXPECT_EQ(code(ShellExecuteA(nullptr, "print", report.c_str(), nullptr, nullptr, 1)), SE_ERR_NOASSOC);
  ASSERT_EQ(told.size(), 3u);
  EXPECT_EQ(told[0].path, report);
  EXPECT_FALSE(told[0].opened);
  EXPECT_EQ(told[0].reason, "no display");
  EXPECT_EQ(told[1].reason, "the file does not exist");
  EXPECT_EQ(told[2].verb, "print");

  // With a display the file goes to xdg-open, found on PATH.
  const std::string opened = dir.File("opened.txt");
  fs::create_directories(dir.File("bin"));
  std::string opener = dir.Write(
      "bin/xdg-open", "#!/bin/sh\necho \"$1\" > '" + opened + ".part'\nmv '" + opened + ".part' '" + opened + "'\n");
  fs::permissions(opener, fs::perms::owner_all);
  env.Set("DISPLAY", ":99");
  env.Set("PATH", dir.File("bin") + ":/usr/bin:/bin");
  EXPECT_GT(code(ShellExecuteA(nullptr, nullptr, report.c_str(), nullptr, nullptr, 1)), 32);
  ASSERT_EQ(told.size(), 4u);
  EXPECT_TRUE(told[3].opened);
  EXPECT_EQ(told[3].opener, "xdg-open");
  EXPECT_EQ(told[3].verb, "open");
  // The opener runs on its own; give it a few seconds.
  for (int i = 0; i < 500 && !fs::exists(opened); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(elmtest::ReadFile(opened), report + "\n");
  elmhost::SetDesktopObserver(std::move(previous));
}

}  // namespace
