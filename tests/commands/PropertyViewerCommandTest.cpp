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

using Json = nlohmann::ordered_json;

const std::vector<std::string> kPumpValues = {
    "prd-pump", "Tab\there\nsecond line: 'single' \"double\" Größe ✓ 日本", "03/02/2026 09:15:00 CET",
    "12/31/2025 23:59:59 UTC-05:00", "2.5", "-42", "true"};

/// The listing of the selected pump of viewer.json with these values, in the order of its attributes.
std::string Pump(const std::vector<std::string>& values) {
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
  CATDlgEditor* Editor() const { return dynamic_cast<CATDlgEditor*>(elmhost::FindWidget(Viewer(), "properiesEditor")); }
};

TEST_F(PropertyViewer, AReadOnlyEditorFillingTheWindowUnderTheDocumentWindowShowsTheListing) {
  WriteCatalog("ELMPropertyViewerDialog.nls", "Title = \"Attributes\";\n");
  Run("ELMShowPropertyViewerWindowCmd");
  CATDlgDialog* dialog = Viewer();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->GetStyle(), 0x10020001ul);
  EXPECT_EQ(dialog->GetFather(), CATFrmLayout::GetCurrentLayout()->GetCurrentWindow());
  EXPECT_EQ(dialog->GetTitle().Utf8(), "Attributes");
  EXPECT_STREQ(dialog->GetResourceFilename(0), "ELMPropertyViewerDialog");
  EXPECT_STREQ(dialog->GetResourceFilename(1), "ELMPropertyViewerDialog");  // the base's own file
  EXPECT_EQ(dialog->GetResourceFilename(2), nullptr);
  EXPECT_EQ(dialog->GetResizableRows(), std::set<int>{0});
  EXPECT_EQ(dialog->GetResizableColumns(), std::set<int>{0});
  elmtest::ExpectWidgets(dialog, {{"properiesEditor", "CATDlgEditor", "property viewer", 0x4180000, 0, 0, 1, 1, 30}});
  CATDlgEditor* editor = Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->GetVisibleTextHeight(), 50);
  EXPECT_EQ(editor->GetVisibleTextWidth(), 30);
  EXPECT_EQ(editor->GetText().Utf8(), Pump(kPumpValues));
}

TEST_F(PropertyViewer, NothingIsShownWhenAStepFailsAndAFailedReadKeepsItsLine) {
  auto failing = [](const char* service) { return [=](Json& s) { s["options"]["failingServices"] = {service}; }; };
  std::vector<std::string> noTexts(kPumpValues.size()), noTimes = kPumpValues;
  noTexts[2] = kPumpValues[2], noTexts[3] = kPumpValues[3];
  noTimes[2] = noTimes[3] = "01/01/1970 00:00:00 UTC";
  struct Case {
    const char* what;
    std::function<void(Json&)> change;
    std::optional<std::string> shown;  // nothing when no window opens
  } cases[] = {
      {"no tree window", [](Json& s) { s.erase("tree"), s.erase("selection"); }, std::nullopt},
      {"nothing selected", [](Json& s) { s["selection"] = Json::array(); }, std::nullopt},
      {"two objects selected", [](Json& s) { s["selection"] = {"n-pump", "n-bare"}; }, std::nullopt},
      // The platform's success without an identificator stands: an empty window.
      {"an object without identity", [](Json& s) { s["selection"] = {"n-noid"}; }, ""},
      {"opening fails", failing("CompleteAndOpen"), std::nullopt},
      {"listing fails", failing("ListAttributesFromObject"), std::nullopt},
      {"no attributes", [](Json& s) { s["selection"] = {"n-bare"}; }, "\n"},
      {"text reads fail", failing("ShowAttributeValue"), Pump(noTexts)},
      {"time reads fail", failing("GetValueAsTime"), Pump(noTimes)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHost();
    UseSession("viewer.json");
    c.change(Session());
    Run("ELMShowPropertyViewerWindowCmd");
    EXPECT_THAT(BoxList(), IsEmpty());
    EXPECT_EQ(m_dispatch->PendingDestructions(), 0u);
    if (!c.shown) {
      EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
      continue;
    }
    EXPECT_THAT(OpenedDialogs(), ElementsAre("property viewer"));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->GetText().Utf8(), *c.shown);
  }
}

TEST_F(PropertyViewer, WindowCloseCancelCloseAndOkEndTheWindow) {
  for (const char* notification : {"WindClose", "DiaCANCEL", "DiaCLOSE", "DiaOK"}) {
    SCOPED_TRACE(notification);
    ResetHost();
    Run("ELMShowPropertyViewerWindowCmd");
    ASSERT_NE(Viewer(), nullptr);
    Viewer()->SendNotification(notification);
    m_dispatch->RunUntilIdle();
    EXPECT_THAT(elmhost::LiveDialogs(), IsEmpty());
  }
}

}  // namespace
