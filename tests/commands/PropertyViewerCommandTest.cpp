#include "CommandFixture.h"

#include "CATDlgDialog.h"
#include "CATDlgEditor.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"

#include <gmock/gmock.h>

#include <optional>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// The selected pump of viewer.json, in the order of its attributes.
const std::string kPumpListing =
    "\n' PLM_ExternalID'\t<Character string> -> \t'prd-pump'"
    "\n' V_description'\t<Character string> -> \t'Tab\there\nsecond line: 'single' \"double\" Größe ✓ 日本'"
    "\n' originated'\t<Date and time> -> \t'03/02/2026 09:15:00 CET'"
    "\n' modified'\t<Date and time> -> \t'12/31/2025 23:59:59 UTC-05:00'"
    "\n' V_Weight'\t<Real number> -> \t'2.5'"
    "\n' V_Count'\t<Integer number> -> \t'-42'"
    "\n' V_Flag'\t<True or false> -> \t'true'"
    "\n";

/// The pump's listing with other values, as a failed read leaves them.
std::string PumpWith(const std::vector<std::string>& values) {
  const char* const lines[][2] = {{"PLM_ExternalID", "Character string"}, {"V_description", "Character string"},
                                  {"originated", "Date and time"},       {"modified", "Date and time"},
                                  {"V_Weight", "Real number"},          {"V_Count", "Integer number"},
                                  {"V_Flag", "True or false"}};
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i)
    out += std::string("\n' ") + lines[i][0] + "'\t<" + lines[i][1] + "> -> \t'" + values[i] + "'";
  return out + "\n";
}

class PropertyViewer : public elmtest::CommandFixture {
protected:
  void SetUp() override {
    CommandFixture::SetUp();
    UseSession("viewer.json");
  }
  CATDlgDialog* Viewer() const { return elmhost::FindDialog("property viewer"); }
  CATDlgEditor* Editor() const {
    return dynamic_cast<CATDlgEditor*>(elmhost::FindWidget(Viewer(), "properiesEditor"));
  }
};

TEST_F(PropertyViewer, ShowsEveryAttributeWithTypeAndValueInAReadOnlyWindow) {
  WriteCatalog("ELMPropertyViewerDialog.nls", "Title = \"Attributes\";\nShortHelp = \"Short\";\n");
  Run("ELMShowPropertyViewerWindowCmd");
  ASSERT_TRUE(m_played.ok) << m_played.error;
  EXPECT_THAT(OpenedDialogs(), ElementsAre("property viewer"));
  CATDlgDialog* dialog = Viewer();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->GetStyle(), 0x10020001ul);
  EXPECT_EQ(dialog->GetFather(), CATFrmLayout::GetCurrentLayout()->GetCurrentWindow());
  EXPECT_EQ(dialog->GetTitle().Utf8(), "Attributes");
  EXPECT_EQ(dialog->GetShortHelp().Utf8(), "Short");
  EXPECT_STREQ(dialog->GetResourceFilename(0), "ELMPropertyViewerDialog");
  EXPECT_STREQ(dialog->GetResourceFilename(1), "ELMPropertyViewerDialog");  // the base's own file
  EXPECT_EQ(dialog->GetResourceFilename(2), nullptr);
  EXPECT_EQ(dialog->GetResizableRows(), std::set<int>{0});
  EXPECT_EQ(dialog->GetResizableColumns(), std::set<int>{0});

  ASSERT_EQ(dialog->GetChildWidgets().size(), 1u);
  CATDlgEditor* editor = Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->GetStyle(), 0x4180000ul);
  EXPECT_TRUE(editor->IsReadOnly() && editor->IsMultiline());
  const CATDlgGridConstraints& g = editor->GetGridConstraints();
  EXPECT_EQ(std::vector<int>({g.Row, g.Column, g.W, g.H}), std::vector<int>({0, 0, 1, 1}));
  EXPECT_EQ(g.Justification, 30ul);
  EXPECT_EQ(editor->GetVisibleTextHeight(), 50);
  EXPECT_EQ(editor->GetVisibleTextWidth(), 30);
  EXPECT_EQ(editor->GetText().Utf8(), kPumpListing);

  EXPECT_THAT(BoxList(), IsEmpty());
  EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
}

TEST_F(PropertyViewer, ShowsNothingWhenAStepFailsAndALineForEveryAttributeItCouldList) {
  using Json = nlohmann::ordered_json;
  struct Case {
    const char* what;
    std::function<void(Json&)> change;
    std::optional<std::string> shown;  // nothing when no window opens
  } cases[] = {
      {"no tree window", [](Json& s) { s.erase("tree"), s.erase("selection"); }, std::nullopt},
      {"nothing selected", [](Json& s) { s["selection"] = Json::array(); }, std::nullopt},
      {"two objects selected", [](Json& s) { s["selection"] = {"n-pump", "n-bare"}; }, std::nullopt},
      {"an object without identity", [](Json& s) { s["selection"] = {"n-noid"}; }, std::nullopt},
      {"opening fails", [](Json& s) { s["options"]["failingServices"] = {"CompleteAndOpen"}; }, std::nullopt},
      {"listing fails", [](Json& s) { s["options"]["failingServices"] = {"ListAttributesFromObject"}; }, std::nullopt},
      {"no attributes", [](Json& s) { s["selection"] = {"n-bare"}; }, "\n"},
      {"text reads fail", [](Json& s) { s["options"]["failingServices"] = {"ShowAttributeValue"}; },
       PumpWith({"", "", "03/02/2026 09:15:00 CET", "12/31/2025 23:59:59 UTC-05:00", "", "", ""})},
      {"time reads fail", [](Json& s) { s["options"]["failingServices"] = {"GetValueAsTime"}; },
       PumpWith({"prd-pump", "Tab\there\nsecond line: 'single' \"double\" Größe ✓ 日本", "01/01/1970 00:00:00 UTC",
                 "01/01/1970 00:00:00 UTC", "2.5", "-42", "true"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    UseSession("viewer.json");
    c.change(Session());
    Run("ELMShowPropertyViewerWindowCmd");
    ASSERT_TRUE(m_played.ok) << m_played.error;
    EXPECT_THAT(BoxList(), IsEmpty());
    if (!c.shown) {
      EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
      continue;
    }
    EXPECT_THAT(OpenedDialogs(), ElementsAre("property viewer"));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->GetText().Utf8(), *c.shown);
  }
}

TEST_F(PropertyViewer, WindowCloseCancelCloseAndOkHideTheWindowAndEndIt) {
  for (const char* notification : {"WindClose", "DiaCANCEL", "DiaCLOSE", "DiaOK"}) {
    SCOPED_TRACE(notification);
    ResetHost();
    Run("ELMShowPropertyViewerWindowCmd");
    CATDlgDialog* dialog = Viewer();
    ASSERT_NE(dialog, nullptr);
    dialog->SendNotification(notification);
    m_dispatch->RunUntilIdle();
    EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
  }
}

}  // namespace
