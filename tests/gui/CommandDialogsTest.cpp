#include "ServedSession.h"

#include "DialogPresenter.h"
#include "DialogWindow.h"
#include "ScriptedUser.h"
#include "Snapshot.h"

#include "ElmCommandLine.h"

#include "CATDlgDialog.h"
#include "CATDlgEditor.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostDriver.h"
#include "ELMHostScript.h"

#include <nlohmann/json.hpp>

#include <QDir>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

namespace {

using elmgui::DialogPresenter;
using elmgui::DialogWindow;

/// Scripts that take a command past its first dialog, for the dialogs that
/// open only then; a command without one is run as it starts.
std::string ScriptFor(const std::string& className) {
  return std::string(ELM_SOURCE_DIR) + "/tests/data/gui/" + className + ".json";
}

/// Runs a command as `elm snapshot` does, playing script (a file, or none),
/// and checks that every dialog and box it shows is drawn with its widgets.
class DialogRendering : public elmtest::ServedSession {
protected:
  /// The names of the dialogs that opened, in order.
  std::vector<std::string> RenderEverything(const std::string& className, const std::string& script) {
    std::vector<std::string> opened;
    std::vector<elmhost::ScriptStep> steps;
    std::string error;
    if (!script.empty()) {
      EXPECT_TRUE(elmhost::ReadScriptFile(script, steps, error)) << error;
    }
    elmhost::ScriptPlayer player(steps);
    const std::string folder = m_dir.File("pictures");
    EXPECT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    elmgui::Snapshot snapshot(folder);
    elmgui::SnapshotUser user(snapshot, player);
    DialogPresenter presenter;
    presenter.OnOpened([&](DialogWindow& window) {
      opened.push_back(window.Dialog()->GetName().Str());
      elmtest::ExpectShowsModel(window);
      EXPECT_TRUE(snapshot.Take(window, "dialog", window.Dialog()->GetName().Str())) << snapshot.Error();
    });

    m_host.LoadWorkbench();
    EXPECT_EQ(m_host.StartCommand(className, error), elmapp::kExitRan) << error;
    elmhost::ActionResult played = player.PlayAll([&] { presenter.Sync(); });
    EXPECT_TRUE(played) << played.error;

    // Every command shows its user something: a dialog, a window or a box.
    EXPECT_FALSE(snapshot.Pictures().empty());
    size_t dialogPictures = 0;
    for (const auto& picture : snapshot.Pictures()) {
      dialogPictures += picture.kind == "dialog";
      QImage image(QString::fromStdString(picture.path));
      if (image.isNull()) {
        ADD_FAILURE() << picture.path;
        continue;
      }
      EXPECT_GT(image.width(), 100) << picture.path;
      EXPECT_GT(image.height(), 50) << picture.path;
      // Something is drawn: a picture of one colour shows nothing.
      QSet<QRgb> colours;
      for (int y = 0; y < image.height() && colours.size() < 3; y += 3)
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
      EXPECT_GE(colours.size(), 3) << picture.path;
    }
    EXPECT_EQ(dialogPictures, opened.size());
    return opened;
  }
};

class CommandDialogs : public DialogRendering, public testing::WithParamInterface<std::string> {};

TEST_P(CommandDialogs, EveryDialogAndBoxTheCommandShowsIsRenderedWithItsWidgets) {
  ASSERT_NO_FATAL_FAILURE(Prepare(GetParam()));
  RenderEverything(GetParam(), std::filesystem::exists(ScriptFor(GetParam())) ? ScriptFor(GetParam()) : "");
}

INSTANTIATE_TEST_SUITE_P(Registered, CommandDialogs, testing::ValuesIn(elmhost::ClassDictionary::Names()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

/// The transfer command opens one of three dialogs, chosen by the selected
/// object and the server's bookmark switch; each is rendered up to its
/// outcome box (the product dialog by the run of every registered command).
struct TransferCase {
  const char* selected;
  bool useBookmark;
  const char* dialog;
};

void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.selected << " -> " << c.dialog; }

class TransferDialogs : public DialogRendering, public testing::WithParamInterface<TransferCase> {
protected:
  static void SetBookmarks(bool on) {
    elmtest::ProcessResult r = elmtest::RunProcess(
        ELM_SERVER_EXECUTABLE, {"set", "--db", s_serverDir->File("pdm.db"), "UseBookmark", on ? "true" : "false"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  void TearDown() override { SetBookmarks(false); }
};

TEST_P(TransferDialogs, TheDialogChosenForTheSelectedObjectIsRenderedWithItsWidgets) {
  const TransferCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(SetBookmarks(c.useBookmark));
  auto session = nlohmann::ordered_json::parse(elmtest::ReadFile(m_session));
  session["selection"] = {c.selected};
  m_dir.Write("session.json", session.dump());
  const std::string script =
      m_dir.Write("send.json", std::string(R"([{"dialog": ")") + c.dialog + R"(", "button": "OK"}, {"box": "OK"}])");
  ASSERT_NO_FATAL_FAILURE(Prepare("ELMTransferStructureCmd"));
  EXPECT_THAT(RenderEverything("ELMTransferStructureCmd", script), testing::ElementsAre(c.dialog));
}

INSTANTIATE_TEST_SUITE_P(Objects, TransferDialogs,
                         testing::Values(TransferCase{"folder-bikes", false, "oak_send_folder_to_pdm_dialog"},
                                         TransferCase{"bookmark-city", true, "oak_send_bookmark_to_pdm_dialog"}),
                         [](const testing::TestParamInfo<TransferCase>& info) {
                           return std::string(info.param.dialog);
                         });

class AboutInPresenter : public elmtest::ServedSession {};

TEST_F(AboutInPresenter, AClickRunsThePlugInsCallbackAsTheScriptStepDoesAndCloseEndsTheDialog) {
  ASSERT_NO_FATAL_FAILURE(Prepare("ELMAboutCmd"));
  elmtest::ScriptedUser user;
  DialogPresenter presenter;
  ASSERT_NO_FATAL_FAILURE(Start("ELMAboutCmd"));
  presenter.Sync();
  ASSERT_EQ(presenter.Windows().size(), 1u);
  DialogWindow* window = presenter.Windows()[0];
  EXPECT_EQ(window->Dialog()->GetName(), "oak_about");

  QTest::mouseClick(window->findChild<QPushButton*>("ELMCheckServerButton"), Qt::LeftButton);
  ASSERT_EQ(user.Boxes().size(), 1u);
  std::vector<elmhost::ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(
      elmhost::ParseScript(R"([{"dialog": "oak_about", "press": "ELMCheckServerButton"}])", "step", steps, error))
      << error;
  elmhost::ScriptPlayer player(steps);
  ASSERT_TRUE(player.PlayNext());
  ASSERT_EQ(user.Boxes().size(), 2u);
  const elmhost::BoxDescription &clicked = user.Boxes()[0], &scripted = user.Boxes()[1];
  EXPECT_EQ(clicked.name, "ELMWarning");
  EXPECT_EQ(clicked.style, CATDlgNfyInformation | CATDlgNfyOK | 0x200ul);
  EXPECT_EQ(clicked.name, scripted.name);
  EXPECT_EQ(clicked.style, scripted.style);
  EXPECT_EQ(clicked.title, scripted.title);
  EXPECT_EQ(clicked.text, scripted.text);

  QTest::mouseClick(window->StandardButton(CATDlgWndCLOSE), Qt::LeftButton);
  EXPECT_TRUE(presenter.Windows().empty());
  EXPECT_TRUE(elmhost::OpenDialogs().empty());
}

class PropertyViewerInPresenter : public elmtest::ServedSession {};

TEST_F(PropertyViewerInPresenter, TheWindowShowsTheListingAsStoredAndTakesNoTyping) {
  // The bicycle itself, with a description that Qt must carry over unchanged.
  nlohmann::ordered_json session = nlohmann::ordered_json::parse(std::ifstream(m_session));
  session["selection"] = {"node-bike"};
  session["objects"][0]["attributes"]["V_description"] = "Größe ✓ 日本\tcolumn\nnext 'line' \"quoted\"";
  std::ofstream(m_session) << session.dump(2);
  ASSERT_NO_FATAL_FAILURE(Prepare("ELMShowPropertyViewerWindowCmd"));
  DialogPresenter presenter;
  ASSERT_NO_FATAL_FAILURE(Start("ELMShowPropertyViewerWindowCmd"));
  presenter.Sync();
  ASSERT_EQ(presenter.Windows().size(), 1u);
  DialogWindow* window = presenter.Windows()[0];
  auto* model = dynamic_cast<CATDlgEditor*>(elmhost::FindWidget(window->Dialog(), "properiesEditor"));
  auto* area = window->findChild<QPlainTextEdit*>("properiesEditor");
  ASSERT_TRUE(model && area);
  // Line feeds, tabs, quotes and non-ASCII text reach the window unchanged, and no key changes them.
  const std::string listing = model->GetText().Utf8();
  ASSERT_NE(listing.find("'Größe ✓ 日本\tcolumn\nnext 'line' \"quoted\"'"), std::string::npos) << listing;
  EXPECT_EQ(area->toPlainText().toStdString(), listing);
  EXPECT_TRUE(area->isReadOnly());
  QTest::keyClicks(area, "typed");
  presenter.Sync();
  EXPECT_EQ(model->GetText().Utf8(), listing);
  EXPECT_EQ(area->toPlainText().toStdString(), listing);
}

}  // namespace
