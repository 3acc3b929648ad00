#include "ChildProcess.h"
#include "LoopbackServer.h"

#include <QImage>

#include <gmock/gmock.h>

#include <filesystem>

using testing::HasSubstr;

namespace {

/// elm itself, as a person runs it on a machine without a display.
class ElmPresenterCommands : public ::testing::Test {
protected:
  void SetUp() override {
    m_session = m_dir.File("session.json");
    std::filesystem::copy_file(std::string(ELM_SOURCE_DIR) + "/examples/sessions/bicycle.json", m_session);
  }
  elmtest::ProcessResult Elm(const std::vector<std::string>& args) const {
    return elmtest::RunProcess(ELM_EXE, args,
                               {{"ELM_PLUGIN", ELM_PLUGIN_PATH},
                                {"ELM_MODULE", "OAK"},
                                {"ELM_SERVER_URL", "http://127.0.0.1:9/"},
                                {"ELM_SERVERURL", ""},
                                {"ELM_DEBUG", ""},
                                {"DISPLAY", ""},
                                {"WAYLAND_DISPLAY", ""},
                                {"QT_QPA_PLATFORM", ""}});
  }

  elmtest::ScratchDir m_dir;
  std::string m_session;
};

TEST_F(ElmPresenterCommands, SnapshotWritesOnePicturePerDialogAndBoxInTheOrderTheyOpenWithoutADisplay) {
  const std::string out = m_dir.File("pictures");
  const std::string script = m_dir.Write("script.json", R"([{"dialog": "oak_about", "press": "ELMCheckServerButton"},
                                                            {"dialog": "oak_about", "button": "Close"}])");
  auto r = Elm({"snapshot", "ELMAboutCmd", "--session", m_session, "--script", script, "--out", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string dialog = out + "/01-oak_about.png", box = out + "/02-ELMWarning.png";
  EXPECT_THAT(r.out, HasSubstr("[picture] " + dialog + "\n"));
  EXPECT_THAT(r.out, HasSubstr("[picture] " + box + "\n[box] ELMWarning (error, OK, 0x200)"));
  EXPECT_THAT(r.out, HasSubstr("[dialog] oak_about closed"));
  QImage about(QString::fromStdString(dialog)), warning(QString::fromStdString(box));
  ASSERT_FALSE(about.isNull());
  ASSERT_FALSE(warning.isNull());
  EXPECT_GT(about.width(), warning.width() / 2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 2);
}

TEST_F(ElmPresenterCommands, BadUseIsRefusedBeforeAnythingIsDrawn) {
  const std::string out = m_dir.File("pictures");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {{"snapshot", "ELMAboutCmd", "--session", m_session}, 2, "snapshot needs --out DIR"},
      {{"snapshot", "--session", m_session, "--out", out}, 2, "snapshot needs the command class to run"},
      {{"snapshot", "ELMAboutCmd", "--session", m_session, "--out", out, "--events", "e"},
       2,
       "unknown option \"--events\" for snapshot"},
      {{"gui", "ELMAboutCmd", "--session", m_session}, 2, "gui takes no command class"},
      {{"snapshot", "NoSuchCmd", "--session", m_session, "--out", out}, 4, "unknown command class \"NoSuchCmd\""},
      {{"snapshot", "ELMAboutCmd", "--session", m_dir.Write("bad.json", "{}"), "--out", out},
       3,
       "the required field \"objects\" is missing"},
      {{"gui", "--session", m_session}, 8, "gui needs a display"},
  };
  for (const Case& c : cases) {
    auto r = Elm(c.args);
    EXPECT_EQ(r.exitCode, c.status) << c.says << "\n" << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.says));
  }
  EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out));
}

}  // namespace
