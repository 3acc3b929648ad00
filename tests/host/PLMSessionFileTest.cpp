#include "CATAdpSaver.h"
#include "CATCkeObjectAttrWriteServices.h"
#include "CATError.h"
#include "CATICkeObject.h"
#include "CATIPLMNavOccurrence.h"
#include "ELMHostPLMSession.h"

#include "LoopbackServer.h"
#include "SessionSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <string>

namespace {

using Json = nlohmann::ordered_json;
using elmtest::SessionFromFile;

struct Refusal {
  const char* what;
  std::string text;
  std::string error;  ///< what follows "<session>: "
};

std::string WithAttribute(const std::string& value) {
  return R"({ "objects": [ { "id": "a", "type": "VPMReference", "attributes": { "X": )" + value + " } } ] }";
}

/// A chain of levels nodes below a root, written without blanks: the
/// smallest text of that content.
std::string Deep(std::size_t levels, const std::string& leafReference) {
  std::string text = R"({"objects":[{"id":"r","type":"VPMReference"},{"id":"i","type":"VPMInstance"}],)"
                     R"("tree":{"id":"n0","reference":"r")";
  for (std::size_t i = 1; i <= levels; ++i)
    text += R"(,"children":[{"id":"n)" + std::to_string(i) + R"(","instance":"i","reference":")" +
            (i == levels ? leafReference : std::string("r")) + "\"";
  for (std::size_t i = 1; i <= levels; ++i) text += "}]";
  return text + "}}";
}

const std::string kDate = "expected YYYY-MM-DDThh:mm:ss followed by Z or +hh:mm";

/// Saves the session's objects of these ids; the save's result.
HRESULT Save(elmhost::PLMSession& session, const std::vector<std::string>& ids) {
  CATListValCATBaseUnknown_var objects;
  for (const std::string& id : ids) objects.Append(CATBaseUnknown_var(session.Find(id)));
  return CATAdpSaver().Save(objects);
}

}  // namespace

TEST(PLMSessionRefusal, NamesThePlaceAndWhatIsWrong) {
  const std::string tooDeep = R"({ "objects": [], "x": )" + std::string(elmhost::PLMSession::kMaxNesting, '[');
  const Refusal cases[] = {
      {"no objects", R"({ "workbench": "CATImmNav" })", "at the top level: the required field \"objects\" is missing"},
      {"object without a type", R"({ "objects": [ { "id": "a" } ] })",
       "at /objects/0: the required field \"type\" is missing"},
      {"value of the wrong kind", R"({ "objects": [ { "id": "a", "type": "VPMReference", "saved": "no" } ] })",
       "at /objects/0/saved: expected true or false, found a text"},
      {"tree node of an unknown object",
       R"({ "objects": [ { "id": "a", "type": "VPMReference" } ],)"
       R"( "tree": { "id": "n", "reference": "a", "children": [ { "id": "m", "reference": "b" } ] } })",
       "at /tree/children/0/reference: unknown object \"b\""},
      {"unknown selection",
       R"({ "objects": [ { "id": "a", "type": "VPMReference" } ], "tree": { "id": "n", "reference": "a" }, "selection": [ "nope" ] })",
       "at /selection/0: unknown object or tree node \"nope\""},
      {"id used twice",
       R"({ "objects": [ { "id": "a", "type": "VPMReference" }, { "id": "a", "type": "VPMReference" } ] })",
       "at /objects/1/id: the id \"a\" is used twice"},
      {"unknown field", R"({ "objects": [], "selected": [] })", "at /selected: unknown field"},
      {"unknown attribute type", WithAttribute(R"({ "type": "Time", "value": "x" })"),
       "at /objects/0/attributes/X/type: unknown attribute type \"Time\"; the types are Boolean, Date, Integer, "
       "Real, String"},
      {"date in another form", WithAttribute(R"({ "type": "Date", "value": "05/12/2026 18:47" })"),
       "at /objects/0/attributes/X/value: \"05/12/2026 18:47\" is not a date: " + kDate},
      {"date without its offset", WithAttribute(R"({ "type": "Date", "value": "2026-12-05T18:47:53" })"),
       "at /objects/0/attributes/X/value: \"2026-12-05T18:47:53\" is not a date: " + kDate},
      {"day that does not exist", WithAttribute(R"({ "type": "Date", "value": "2026-02-29T00:00:00Z" })"),
       "at /objects/0/attributes/X/value: the day 29 does not exist in 2026-02"},
      {"month that does not exist", WithAttribute(R"({ "type": "Date", "value": "2026-13-01T00:00:00Z" })"),
       "at /objects/0/attributes/X/value: the month 13 does not exist"},
      {"time that does not exist", WithAttribute(R"({ "type": "Date", "value": "2026-12-05T24:00:00Z" })"),
       "at /objects/0/attributes/X/value: the time 24:00:00 does not exist"},
      {"offset beyond any zone", WithAttribute(R"({ "type": "Date", "value": "2026-12-05T10:00:00+19:00" })"),
       "at /objects/0/attributes/X/value: the offset +19:00 is beyond 18 hours"},
      {"zone of a text", WithAttribute(R"({ "type": "String", "value": "x", "zone": "CET" })"),
       "at /objects/0/attributes/X/zone: only a date has a zone"},
      {"empty zone", WithAttribute(R"({ "type": "Date", "value": "2026-12-05T10:00:00Z", "zone": "" })"),
       "at /objects/0/attributes/X/zone: must not be empty"},
      {"integer that is not one", WithAttribute(R"({ "type": "Integer", "value": "1.5" })"),
       "at /objects/0/attributes/X/value: \"1.5\" is not an integer"},
      {"value of no kind", WithAttribute("42"),
       "at /objects/0/attributes/X: expected a text or an object with \"type\" and \"value\", found a number"},
      {"typed value without its value", WithAttribute(R"({ "type": "Real" })"),
       "at /objects/0/attributes/X: the required field \"value\" is missing"},
      {"member named twice", R"({ "objects": [ { "id": "a", "type": "VPMReference", "id": "b" } ] })",
       "at /objects/0: the field \"id\" appears twice"},
      {"the former bookmark type", R"({ "objects": [ { "id": "a", "type": "Bookmark" } ] })",
       "at /objects/0/type: unknown type \"Bookmark\""},
      {"unknown window kind",
       R"({ "objects": [ { "id": "a", "type": "VPMReference" } ], "tree": { "id": "n", "reference": "a" }, "window": "3d" })",
       "at /window: expected \"authoring\" or \"explorer\", found \"3d\""},
      {"window without a tree", R"({ "objects": [], "window": "explorer" })",
       "at /window: a window needs a \"tree\" to show"},
      {"tree of the wrong kind", R"({ "objects": [], "tree": "n" })",
       "at /tree: expected an object or an array, found a text"},
      {"identifiers that are not texts",
       R"({ "objects": [ { "id": "a", "type": "VPMReference" } ], "tree": { "id": "n", "reference": "a", "identifiers": [ 1 ] } })",
       "at /tree/identifiers/0: expected a text, found a number"},
      {"second of several roots",
       R"({ "objects": [ { "id": "a", "type": "VPMReference" } ], "tree": [ { "id": "n", "reference": "a" }, { "id": "m" } ] })",
       "at /tree/1: the required field \"reference\" is missing"},
      {"fault deep in a tree", Deep(30, "nope"),
       "at /tree/children/0/children/0/children/0/children/0/…(22 levels)…/children/0/children/0/children/0/"
       "children/0/reference: unknown object \"nope\""},
      {"values nested too deep", tooDeep,
       "at line 1, column " + std::to_string(tooDeep.size()) + ": values nest more than 250000 levels deep"},
  };
  for (const Refusal& c : cases) {
    std::string error;
    EXPECT_FALSE(elmhost::PLMSession::FromText(c.text, "", error)) << c.what;
    EXPECT_EQ(error, "<session>: " + c.error) << c.what;
  }
  // A text that is no JSON: the place, then the parser's own words.
  for (auto [text, place] : {std::pair{R"({ "objects": [ })", "line 1, column 16: syntax error while parsing value"},
                             std::pair{"{\n  \"objects\": [],\n  oops\n}", "line 3, column 3"}}) {
    std::string error;
    EXPECT_FALSE(elmhost::PLMSession::FromText(text, "", error));
    EXPECT_EQ(error.rfind(std::string("<session>: not a JSON session file: parse error at ") + place, 0), 0u) << error;
  }
}

TEST(PLMSessionRefusal, OversizedFileIsRefusedBeforeItIsRead) {
  elmtest::ScratchDir dir;
  std::string path = dir.Write("big.json", "{}");
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(elmhost::PLMSession::kMaxFileBytes + 1)), 0);  // sparse
  std::string error;
  EXPECT_FALSE(elmhost::PLMSession::Load(path, error));
  EXPECT_EQ(error, path + ": the file has 67108865 bytes; a session file may have at most 67108864 bytes (64 MiB)");
}

TEST(PLMSessionFiles, TodaysSessionFilesLoadAndSaveUnchangedInMeaning) {
  std::vector<std::filesystem::path> files{std::filesystem::path(ELM_SOURCE_DIR) / "examples/sessions/bicycle.json"};
  for (const auto& f : std::filesystem::directory_iterator(std::filesystem::path(ELM_TEST_DATA_DIR) / "sessions"))
    files.push_back(f.path());
  for (const auto& file : files) {
    elmtest::ScratchDir dir;
    std::string path = dir.Write("s.json", elmtest::ReadFile(file.string()));
    auto session = SessionFromFile(path);
    ASSERT_TRUE(session);
    Json expected = Json::parse(elmtest::ReadFile(path));
    std::vector<std::string> all;
    for (auto& o : expected["objects"]) {
      all.push_back(o["id"]);
      if (o.contains("saved")) o["saved"] = true;  // what saving means
    }
    ASSERT_EQ(Save(*session, all), S_OK) << file;
    EXPECT_EQ(Json::parse(elmtest::ReadFile(path)), expected) << file;
  }
}

TEST(PLMSessionFiles, SavedTextKeepsShortValuesOnALineAndDeepOnesOnTheirParentsLine) {
  // The file starts as the same content written without blanks.
  const std::string pretty = R"json({
  "objects": [
    {
      "id": "a",
      "type": "VPMReference",
      "attributes": {
        "PLM_ExternalID": "x",
        "When": { "type": "Date", "value": "2026-12-05T18:47:53+01:00", "zone": "CET" }
      }
    },
    { "id": "b", "type": "VPMReference" },
    { "id": "i", "type": "VPMInstance" }
  ],
  "tree": {
    "id": "n0",
    "reference": "a",
    "children": [
      {
        "id": "n1",
        "reference": "b",
        "instance": "i",
        "children": [
          {
            "id": "n2",
            "reference": "b",
            "instance": "i",
            "children": [
              {
                "id": "n3",
                "reference": "b",
                "instance": "i",
                "children": [
                  {
                    "id": "n4",
                    "reference": "b",
                    "instance": "i",
                    "children": [
                      {
                        "id": "n5",
                        "reference": "b",
                        "instance": "i",
                        "children": [ { "id": "n6", "reference": "b", "instance": "i", "children": [ { "id": "n7", "reference": "b", "instance": "i", "children": [ { "id": "n8", "reference": "b", "instance": "i" } ] } ] } ]
                      }
                    ]
                  }
                ]
              }
            ]
          }
        ]
      }
    ]
  },
  "searchSelection": [ "a", "b" ],
  "searchRoots": [],
  "user": {
    "login": "someone with a rather long name",
    "role": "a role with a long name too",
    "project": "P"
  }
}
)json";
  elmtest::ScratchDir dir;
  std::string path = dir.Write("s.json", Json::parse(pretty).dump());
  auto session = SessionFromFile(path);
  ASSERT_TRUE(session);
  ASSERT_EQ(Save(*session, {"a"}), S_OK);
  EXPECT_EQ(elmtest::ReadFile(path), pretty);
}

namespace {

class PLMSessionSave : public ::testing::Test {
protected:
  void SetUp() override { m_path = m_dir.Write("s.json", kText); }
  /// Sets the external id of object and saves it; the save's result.
  HRESULT SetAndSave(elmhost::PLMSession& session, const char* object, const char* value) {
    CATICkeObject_var o(session.Find(object));
    if (FAILED(CATCkeObjectAttrWriteServices::SetValueWithString(o, "PLM_ExternalID", value))) return E_FAIL;
    HRESULT rc = Save(session, {object});
    CATError::CATCleanLastError();
    return rc;
  }
  static mode_t Mode(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
  }

  static constexpr const char* kText = R"({ "objects": [
    { "id": "a", "type": "VPMReference", "attributes": { "PLM_ExternalID": "A" } },
    { "id": "b", "type": "VPMReference", "attributes": { "PLM_ExternalID": "B" } } ] })";
  elmtest::ScratchDir m_dir;
  std::string m_path;
};

}  // namespace

TEST_F(PLMSessionSave, KeepsThePermissionBitsTheUserSet) {
  for (mode_t mode : {0600, 0640, 0664, 0604}) {
    ASSERT_EQ(chmod(m_path.c_str(), mode), 0);
    auto session = SessionFromFile(m_path);
    ASSERT_EQ(SetAndSave(*session, "a", "A2"), S_OK) << std::oct << mode;
    EXPECT_EQ(Mode(m_path), mode) << std::oct << mode;
  }
}

TEST_F(PLMSessionSave, ReadOnlyFileIsNotReplacedAndTheFailedObjectStaysUnsaved) {
  ASSERT_EQ(chmod(m_path.c_str(), 0444), 0);
  auto session = SessionFromFile(m_path);
  EXPECT_EQ(SetAndSave(*session, "a", "A2"), E_FAIL);
  ASSERT_EQ(session->Saves().size(), 1u);
  EXPECT_EQ(session->Saves()[0].error, "cannot replace " + m_path + ": the file is read-only");
  EXPECT_EQ(elmtest::ReadFile(m_path), kText);
  EXPECT_EQ(Mode(m_path), 0444u);

  // Once writable again, saving another object must not carry the failed
  // object's change along.
  ASSERT_EQ(chmod(m_path.c_str(), 0644), 0);
  EXPECT_EQ(SetAndSave(*session, "b", "B2"), S_OK);
  auto again = SessionFromFile(m_path);
  EXPECT_EQ(again->AttributeValue("a", "PLM_ExternalID"), "A");
  EXPECT_EQ(again->AttributeValue("b", "PLM_ExternalID"), "B2");
}

TEST_F(PLMSessionSave, ValuesWithControlCharactersQuotesAndNonAsciiTextSurviveExactly) {
  const char* tricky = "tab\there \"quoted\" \\ back\x01slash line1\nline2\r\n\xC3\xA9t\xC3\xA9 \xF0\x9F\x9A\xB2";
  auto session = SessionFromFile(m_path);
  ASSERT_EQ(SetAndSave(*session, "a", tricky), S_OK);
  EXPECT_EQ(SessionFromFile(m_path)->AttributeValue("a", "PLM_ExternalID"), tricky);
  EXPECT_NE(elmtest::ReadFile(m_path).find(R"("tab\there \"quoted\" \\ back\u0001slash line1\nline2\r\n)"),
            std::string::npos);
}

TEST_F(PLMSessionSave, SessionReachedThroughLinksIsSavedToTheTargetAndTheLinksStay) {
  std::filesystem::create_directory(m_dir.File("links"));
  std::string first = m_dir.File("links/first.json"), second = m_dir.File("second.json");
  std::filesystem::create_symlink("../s.json", first);  // relative to the link's own folder
  std::filesystem::create_symlink(first, second);
  auto session = SessionFromFile(second);
  ASSERT_EQ(SetAndSave(*session, "a", "A2"), S_OK);
  EXPECT_TRUE(std::filesystem::is_symlink(first));
  EXPECT_TRUE(std::filesystem::is_symlink(second));
  EXPECT_EQ(std::filesystem::read_symlink(first), "../s.json");
  EXPECT_EQ(SessionFromFile(m_path)->AttributeValue("a", "PLM_ExternalID"), "A2");
  // Nothing is left beside the link or the target.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.File("links")), {}), 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 3);
}

TEST_F(PLMSessionSave, DeepTreeLoadsAndSavesWithoutGrowingTheFile) {
  const std::size_t levels = 20000;
  std::string text = Deep(levels, "r");
  std::string path = m_dir.Write("deep.json", text);
  auto session = SessionFromFile(path);
  ASSERT_TRUE(session);
  ASSERT_EQ(Save(*session, {"r"}), S_OK);
  std::string saved = elmtest::ReadFile(path);
  EXPECT_LE(saved.size(), 2 * text.size());

  auto again = SessionFromFile(path);
  ASSERT_TRUE(again);
  std::size_t depth = 0;
  CATIPLMNavOccurrence_var node(again->Find("n" + std::to_string(levels)));
  ASSERT_TRUE(node);
  for (;;) {
    CATIPLMNavOccurrence* father = nullptr;
    if (FAILED(node->GetFather(father))) break;
    node.Attach(father);
    ++depth;
  }
  EXPECT_EQ(depth, levels);
}
