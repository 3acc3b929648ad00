#include "CommandFixture.h"

#include "CATDlgCheckButton.h"
#include "CATDlgRadioButton.h"
#include "ELMHostClassDictionary.h"

#include <pugixml.hpp>

#include <dlfcn.h>
#include <cstdio>
#include <fstream>

namespace elmtest {

ReceivedRequest ParseRequest(const std::string& body) {
  ReceivedRequest out;
  pugi::xml_document doc;
  if (!doc.load_string(body.c_str())) return out;
  pugi::xml_node request = doc.child("ELM").child("Request");
  out.name = request.attribute("name").value();
  for (pugi::xml_node a : request.children("Attribute"))
    out.attributes.emplace_back(a.attribute("name").value(), a.attribute("value").value());
  return out;
}

void PrintTo(const ReceivedRequest& request, std::ostream* os) {
  *os << request.name << " " << testing::PrintToString(request.attributes);
}

std::string Describe(const elmhost::BoxDescription& box) {
  char style[32];
  std::snprintf(style, sizeof style, "0x%lx", box.style);
  return box.name.Str() + "|" + style + "|" + box.text.Utf8();
}

std::string ResponseAnswer(const std::string& function, const std::string& content) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ELM><Response name=\"" + function + "\">" + content +
         "</Response></ELM>";
}

std::string PartNumberAnswer(const std::string& number) {
  return ResponseAnswer("GetPartnumber", "<Attribute name=\"PartNumber\" value=\"" + number + "\"/>");
}

std::string Step(const std::string& dialog, const std::string& action, const std::string& target) {
  return "{\"dialog\": \"" + dialog + "\", \"" + action + "\": \"" + target + "\"}";
}

std::string Script(const std::vector<std::string>& steps) {
  std::string script;
  for (const std::string& step : steps) script += (script.empty() ? "" : ", ") + step;
  return "[" + script + "]";
}

std::string WarningBox(const std::string& text) { return "ELMWarning|0x8100000|" + text; }
std::string ErrorBox(const std::string& text) { return "ELMWarning|0x10100000|" + text; }
std::string PlainBox(const std::string& text) { return "ELMSuccess|0x100000|" + text; }

std::vector<std::string> ComboLines(CATDlgCombo& combo) {
  std::vector<std::string> lines;
  for (int i = 0; i < combo.GetLineCount(); ++i) {
    CATUnicodeString line;
    combo.GetLine(line, i);
    lines.push_back(line.Utf8());
  }
  return lines;
}

std::vector<CATDialog*> WidgetTree(CATDialog* dialog) {
  std::vector<CATDialog*> out;
  std::function<void(CATDialog*)> walk = [&](CATDialog* w) {
    for (CATDialog* child : w->GetChildWidgets()) {
      out.push_back(child);
      walk(child);
    }
  };
  walk(dialog);
  return out;
}

bool IsChecked(CATDialog* widget) {
  if (auto* c = dynamic_cast<CATDlgCheckButton*>(widget)) return c->GetState() == CATDlgCheck;
  if (auto* r = dynamic_cast<CATDlgRadioButton*>(widget)) return r->GetState() == CATDlgCheck;
  ADD_FAILURE() << (widget ? widget->GetName().Str() : std::string("null")) << " is no check or radio button";
  return false;
}

void ExpectWidgets(CATDialog* dialog, const std::vector<WidgetRow>& rows) {
  ASSERT_NE(dialog, nullptr);
  std::vector<std::string> created, expected;
  for (CATDialog* w : WidgetTree(dialog)) created.push_back(w->GetName().Str());
  for (const WidgetRow& r : rows) expected.push_back(r.name);
  EXPECT_EQ(created, expected) << "the widgets in their creation order";
  for (const WidgetRow& r : rows) {
    SCOPED_TRACE(r.name);
    CATDialog* w = elmhost::FindWidget(dialog, r.name);
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w->GetWidgetClass(), r.kind);
    EXPECT_EQ(std::string(w->GetParentDialog()->GetName().Str()), r.parent);
    EXPECT_EQ(w->GetStyle(), r.style);
    ASSERT_TRUE(w->HasGridConstraints());
    const CATDlgGridConstraints& g = w->GetGridConstraints();
    EXPECT_EQ(std::vector<long>({g.Row, g.Column, g.W, g.H, long(g.Justification)}),
              std::vector<long>({r.row, r.column, r.width, r.height, long(r.justification)}));
    if (r.title) {
      EXPECT_EQ(w->GetTitle().Utf8(), r.title);
    }
    if (r.checked) {
      EXPECT_EQ(IsChecked(w), *r.checked);
    }
    if (r.sensitive) {
      EXPECT_EQ(w->GetSensitivity() == CATDlgEnable, *r.sensitive);
    }
  }
}

void CommandFixture::SetUp() {
  // Loading fills the host's class dictionary; the plug-in stays loaded for
  // the process, as in the client.
  static void* plugin = dlopen(ELM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(plugin, nullptr) << dlerror();
  std::filesystem::create_directories(m_dir / "catalogs");
  m_env.Set("ELMHOST_CATALOG_PATH", (m_dir / "catalogs").string());
  // No settings repository may lend a server URL to the tests.
  m_env.Set("ELMHOST_SETTINGS_PATH", m_dir.string());
  // The host's module, as a configured client has it; without one the first
  // look-up of a module name shows the missing-module box.
  m_env.Set("ELM_MODULE", "OAK");
  for (const char* name : {"ELM_SERVERURL", "ELM_SETPN_PNPREFIX", "ELM_SETPN_MATURITY", "ELM_PRINT_CLASSHIRARCHY"})
    m_env.Unset(name);
  m_sessionPath = m_dir / "session.json";
  UseSession("partnumber.json");
  m_answer = PartNumberAnswer("ELM-000042");
}

void CommandFixture::UseSession(const std::string& file) {
  std::ifstream in(std::string(ELM_TEST_DATA_DIR) + "/sessions/" + file);
  ASSERT_TRUE(in) << "the test session " << file << " is missing";
  m_json = nlohmann::ordered_json::parse(in);
}

void CommandFixture::WriteCatalog(const std::string& file, const std::string& text) {
  std::ofstream(m_dir / "catalogs" / file) << text;
}

void CommandFixture::SetScript(const std::string& json) {
  std::string error;
  ASSERT_TRUE(elmhost::ParseScript(json, "<test script>", m_steps, error)) << error;
}

void CommandFixture::ResetHost() {
  m_plm.reset();
  m_server.reset();
  m_user.reset();
  m_player.reset();
  m_application.reset();
  m_dispatch.reset();
  m_opened.clear();
  m_played = {};
}

void CommandFixture::Prepare(const std::string& className) {
  std::ofstream(m_sessionPath) << (m_sessionText.empty() ? m_json.dump(2) : m_sessionText);
  m_dispatch = std::make_unique<elmhost::Dispatch>();
  const char* argv[] = {"3DEXPERIENCE"};
  m_application = std::make_unique<CATApplication>("elm-tests", 1, argv);
  m_player = std::make_unique<elmhost::ScriptPlayer>(m_steps);
  m_user = std::make_unique<ScriptedUser>();
  m_user->SetResponder([this](const elmhost::BoxDescription&) { return m_player->AnswerBox(); });
  m_server = std::make_unique<LoopbackServer>(
      [answer = m_answer, answerer = m_answerer](const httplib::Request& req, httplib::Response& res) {
        res.set_content(answerer ? answerer(req.body) : answer, "application/xml");
      });
  m_env.Set("ELM_SERVER_URL", m_server->Url("/"));
  std::string error;
  m_plm = elmhost::PLMSession::Load(m_sessionPath.string(), error);
  ASSERT_TRUE(m_plm) << error;
  m_command = CreateCommand(className);
  ASSERT_NE(m_command, nullptr) << className;
}

void CommandFixture::Restart(const std::function<void(nlohmann::ordered_json&)>& change) {
  ResetHost();
  if (!m_original) m_original = m_json;
  m_json = *m_original;
  change(m_json);
}

void CommandFixture::ExpectEveryWayOutEnds(const std::string& className, const std::vector<std::string>& steps) {
  for (const std::string& step : steps) {
    SCOPED_TRACE(step);
    ResetHost();
    SetScript("[" + step + "]");
    Run(className);
    ExpectEnded();
  }
}

void CommandFixture::StartCommand() {
  m_dispatch->StartCommand(m_command);
  m_dispatch->RunUntilIdle();
}

void CommandFixture::ExpectEnded() const {
  EXPECT_TRUE(elmhost::LiveDialogs().empty());
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
}

CATCommand* CommandFixture::CreateCommand(const std::string& className) {
  void* made = elmhost::ClassDictionary::Create(className);
  if (!made) return nullptr;
  auto* object = static_cast<CATBaseUnknown*>(made);
  CATCommand* command = nullptr;
  object->QueryInterface(CATCommand::ClassId(), reinterpret_cast<void**>(&command));
  // The host keeps the factory's reference; the query's is not needed.
  if (command) command->Release();
  return command;
}

void CommandFixture::Run(const std::string& className, bool scriptMayFail) {
  ASSERT_NO_FATAL_FAILURE(Prepare(className));
  m_dispatch->StartCommand(m_command);
  elmhost::DialogWatcher watcher;
  m_played = m_player->PlayAll([&] {
    for (const auto& change : watcher.Poll())
      if (change.opened) m_opened.push_back(change.name);
  });
  if (!scriptMayFail) {
    EXPECT_TRUE(m_played.ok) << m_played.error;
  }
}

std::vector<std::string> CommandFixture::BoxList() const {
  std::vector<std::string> out;
  if (m_user)
    for (const auto& b : m_user->Boxes()) out.push_back(Describe(b));
  return out;
}

std::vector<std::string> CommandFixture::BoxTitles() const {
  std::vector<std::string> out;
  if (m_user)
    for (const auto& b : m_user->Boxes()) out.push_back(b.title.Utf8());
  return out;
}

ReceivedRequests CommandFixture::Requests() const {
  ReceivedRequests out;
  if (m_server)
    for (const SeenRequest& seen : m_server->Requests()) {
      EXPECT_EQ(seen.target, "/ELMRequest");
      out.push_back(ParseRequest(seen.body));
    }
  return out;
}

std::string CommandFixture::SavedAttribute(const std::string& objectId, const std::string& attribute) const {
  std::ifstream in(m_sessionPath);
  auto doc = nlohmann::ordered_json::parse(in);
  for (const auto& o : doc["objects"])
    if (o["id"] == objectId) return o["attributes"].value(attribute, std::string());
  return std::string();
}

}  // namespace elmtest
