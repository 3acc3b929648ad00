#include "ElmFixture.h"

#include <sstream>

namespace elmtest {

void ElmFixture::SetUp() {
  std::filesystem::create_directories(m_dir / "catalogs");
  m_session = (m_dir / "session.json").string();
  std::filesystem::copy_file(std::string(ELM_TEST_DATA_DIR) + "/sessions/partnumber.json", m_session);
}

ProcessResult ElmFixture::Elm(const std::vector<std::string>& args, std::map<std::string, std::string> env) const {
  std::map<std::string, std::string> base = {
      {"ELM_PLUGIN", ELM_PLUGIN_PATH},
      {"ELMHOST_CATALOG_PATH", (m_dir / "catalogs").string()},
      {"ELMHOST_SETTINGS_PATH", m_dir.string()},
      {"ELM_SERVER_URL", ""},
      {"ELM_SERVERURL", ""},
      {"ELM_DEBUG", ""},
      {"ELM_SETPN_PNPREFIX", ""},
      {"ELM_SETPN_MATURITY", ""},
      // elm settles the module as the client does; a run without one would
      // open with the missing-module box.
      {"ELM_MODULE", "OAK"},
  };
  for (auto& [k, v] : env) base[k] = v;
  return RunProcess(ELM_EXE, args, base);
}

ProcessResult ElmFixture::RunCommand(const std::string& className, const std::vector<std::string>& extra,
                                     std::map<std::string, std::string> env) const {
  std::vector<std::string> args{"run", className, "--session", m_session};
  args.insert(args.end(), extra.begin(), extra.end());
  return Elm(args, std::move(env));
}

void ElmFixture::UseSession(const std::string& path) const {
  std::filesystem::copy_file(path, m_session, std::filesystem::copy_options::overwrite_existing);
}

std::string ElmFixture::Box(const std::string& name, const std::string& style, const std::string& title,
                            const std::string& text, const std::string& answer) {
  return "[box] " + name + " (" + style + ")\n  title:  " + title + "\n  text:   " + text + "\n  answer: " + answer +
         "\n";
}

std::string ElmFixture::StartServer(const std::vector<std::string>& seeds) {
  if (!seeds.empty()) {
    std::vector<std::string> args{"seed", "--db", (m_dir / "pdm.db").string()};
    args.insert(args.end(), seeds.begin(), seeds.end());
    ProcessResult seeded = RunProcess(ELM_SERVER_EXECUTABLE, args);
    EXPECT_EQ(seeded.exitCode, 0) << seeded.err;
  }
  m_server = std::make_unique<ServerProcess>(
      std::vector<std::string>{"--db", (m_dir / "pdm.db").string(), "--listen", "127.0.0.1:0", "--quiet"},
      (m_dir / "server.log").string());
  return m_server->WaitForUrl();
}

void ElmFixture::EditSession(const std::string& field, const nlohmann::ordered_json& value) const {
  auto doc = nlohmann::ordered_json::parse(ReadFile(m_session));
  doc[field] = value;
  WriteFile("session.json", doc.dump(2));
}

std::vector<nlohmann::json> ElmFixture::EventLines() const {
  std::vector<nlohmann::json> out;
  std::istringstream in(ReadFile(EventsFile()));
  for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
  return out;
}

std::string ElmFixture::SessionAttribute(const std::string& objectId, const std::string& attribute) const {
  auto doc = nlohmann::json::parse(ReadFile(m_session));
  for (const auto& o : doc["objects"])
    if (o["id"] == objectId) return o["attributes"].value(attribute, std::string());
  return std::string();
}

}  // namespace elmtest
