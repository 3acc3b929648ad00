#include "CoexistenceBatch.h"

#include "CATAdpSaver.h"
#include "CATCkeObjectAttrWriteServices.h"
#include "CATError.h"
#include "CATICkeObject.h"
#include "CATListValCATBaseUnknown_var.h"
#include "ELMHostPLMSession.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace elmbatch {

namespace {

using Json = nlohmann::json;
using Result = ObjectOutcome::Result;

// An object's coexistence state: the context its mapping belongs to, the V5
// counterpart it is mapped to, which side is master, and whether
// representations follow the mastership.
const char* const kContext = "CoexContext";
const char* const kMapping = "CoexMapping";
const char* const kMaster = "CoexMaster";
const char* const kAllowRep = "CoexAllowRep";

/// The session's structure, which the platform's services do not list: the
/// objects in file order with their types, and the navigation tree.
struct Structure {
  std::vector<std::pair<std::string, std::string>> objects;  // id, type
  std::map<std::string, std::vector<std::string>> childrenOfReference;  // reference id -> child reference ids, tree order
};

Structure ReadStructure(const Json& doc) {
  Structure s;
  if (auto objs = doc.find("objects"); objs != doc.end() && objs->is_array())
    for (const Json& o : *objs)
      if (o.is_object()) s.objects.emplace_back(o.value("id", std::string()), o.value("type", std::string()));
  auto tree = doc.find("tree");
  if (tree == doc.end() || !tree->is_object()) return s;
  // Iteratively: a session's tree may be deeper than a stack is.
  std::vector<const Json*> pending{&*tree};
  while (!pending.empty()) {
    const Json* node = pending.back();
    pending.pop_back();
    std::string reference = node->value("reference", std::string());
    auto children = node->find("children");
    if (children == node->end() || !children->is_array()) continue;
    for (const Json& child : *children) {
      if (!child.is_object()) continue;
      s.childrenOfReference[reference].push_back(child.value("reference", std::string()));
      pending.push_back(&child);
    }
  }
  return s;
}

std::string Describe(const elmhost::PLMSession& session, const std::string& id, const std::string& context) {
  std::string mapping = session.AttributeValue(id, kMapping);
  if (mapping.empty() || session.AttributeValue(id, kContext) != context) return "not mapped in " + context;
  std::string master = session.AttributeValue(id, kMaster);
  return "mapped to " + mapping + (master.empty() ? std::string() : ", " + master + " master");
}

/// Sets the attributes of id; the first that cannot be set ends it with its name.
bool SetAttributes(const elmhost::PLMSession& session, const std::string& id,
                   const std::vector<std::pair<const char*, std::string>>& values, std::string& failed) {
  CATICkeObject_var object(session.Find(id));
  for (const auto& [name, value] : values) {
    if (!object || FAILED(CATCkeObjectAttrWriteServices::SetValueWithString(object, name, value.c_str()))) {
      failed = name;
      return false;
    }
  }
  return true;
}

class Runner {
public:
  Runner(const BatchInput& input, CoexistenceRun& run) : m_input(input), m_run(run) {}
  void Run();

private:
  bool ReadOptions();
  bool LoadSession();
  void CollectScope();
  void Add(const std::string& id, const std::string& why);
  void Apply(ObjectOutcome& o);
  void Save();

  const BatchInput& m_input;
  CoexistenceRun& m_run;
  std::unique_ptr<elmhost::PLMSession> m_session;
  Structure m_structure;
  std::set<std::string> m_seen;
  std::vector<std::string> m_changed;
};

bool Runner::ReadOptions() {
  auto single = [&](const char* name, std::string& out) {
    const std::vector<std::string>* v = m_input.Parameter(name);
    if (!v || v->size() != 1) {
      m_run.problem = std::string("the parameter ") + name + " must have exactly one value";
      return false;
    }
    out = v->front();
    return true;
  };
  if (!single("CoexAdmin_Context", m_run.context) || !single("CoexAdmin_Propagate", m_run.propagate) ||
      !single("CoexAdmin_ApplyTo", m_run.applyTo) || !single("CoexAdmin_Mode", m_run.mode))
    return false;
  if (m_run.context.empty()) {
    m_run.problem = "no coexistence context is given";
    return false;
  }
  const std::vector<std::string>* mapping = m_input.Parameter("CoexAdmin_Mapping");
  if (mapping) m_run.mapping = *mapping;
  const bool remove = m_run.mapping == std::vector<std::string>{"Delete"};
  const bool ownership = m_run.mapping.size() >= 2 && m_run.mapping[0] == "Ownership" &&
                         (m_run.mapping[1] == "V5V6Master" || m_run.mapping[1] == "V6V5Master");
  if (!remove && !ownership) {
    m_run.problem = "CoexAdmin_Mapping must be Delete, or Ownership followed by V5V6Master or V6V5Master";
    return false;
  }
  if (m_run.applyTo != "Selection" && m_run.applyTo != "All") {
    m_run.problem = "CoexAdmin_ApplyTo must be Selection or All, not \"" + m_run.applyTo + "\"";
    return false;
  }
  if (m_run.mode != "Preview" && m_run.mode != "Run") {
    m_run.problem = "CoexAdmin_Mode must be Preview or Run, not \"" + m_run.mode + "\"";
    return false;
  }
  return true;
}

bool Runner::LoadSession() {
  if (m_input.sessionFile.empty()) {
    m_run.problem = "the input file names no session";
    return false;
  }
  std::ifstream in(m_input.sessionFile, std::ios::binary);
  if (!in) {
    m_run.problem = "the session " + m_input.sessionFile + " cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  m_session = elmhost::PLMSession::FromText(text.str(), m_input.sessionFile, error);
  if (!m_session) {
    m_run.problem = error;
    return false;
  }
  m_structure = ReadStructure(Json::parse(text.str(), nullptr, false));
  return true;
}

void Runner::Add(const std::string& id, const std::string& why) {
  if (!m_seen.insert(id).second) return;
  ObjectOutcome o;
  o.id = id;
  o.why = why;
  for (const auto& [objectId, type] : m_structure.objects)
    if (objectId == id) o.type = type;
  if (!m_session->FindObject(id)) {
    o.result = Result::Failed;
    o.text = "The object is not in the session.";
  } else {
    o.externalId = m_session->AttributeValue(id, "PLM_ExternalID");
    o.name = m_session->AttributeValue(id, "V_Name");
    o.before = Describe(*m_session, id, m_run.context);
    Apply(o);
  }
  m_run.objects.push_back(std::move(o));
}

void Runner::CollectScope() {
  if (m_run.applyTo == "All") {
    for (const auto& [id, type] : m_structure.objects)
      if (m_session->AttributeValue(id, kContext) == m_run.context) Add(id, "in the context " + m_run.context);
    return;
  }
  for (const std::string& id : m_input.objects) {
    Add(id, "selected");
    if (m_run.propagate != "All") continue;
    // What the selected object holds, depth first in tree order.
    std::vector<std::string> pending;
    auto push = [&](const std::string& reference) {
      auto it = m_structure.childrenOfReference.find(reference);
      if (it == m_structure.childrenOfReference.end()) return;
      for (auto c = it->second.rbegin(); c != it->second.rend(); ++c) pending.push_back(*c);
    };
    push(id);
    std::set<std::string> walked{id};
    while (!pending.empty()) {
      std::string child = pending.back();
      pending.pop_back();
      if (!walked.insert(child).second) continue;
      Add(child, "below " + id);
      push(child);
    }
  }
}

void Runner::Apply(ObjectOutcome& o) {
  const bool preview = m_run.mode == "Preview";
  const std::string mapping = m_session->AttributeValue(o.id, kMapping);
  if (mapping.empty() || m_session->AttributeValue(o.id, kContext) != m_run.context) {
    o.result = Result::Skipped;
    o.text = "Not mapped in the context " + m_run.context + ": nothing to do.";
    return;
  }
  std::vector<std::pair<const char*, std::string>> values;
  if (m_run.mapping.front() == "Delete") {
    values = {{kMapping, ""}, {kContext, ""}};
    for (const char* optional : {kMaster, kAllowRep})
      if (!m_session->AttributeValue(o.id, optional).empty()) values.emplace_back(optional, "");
    o.text = "Mapping to " + mapping + (preview ? " would be deleted." : " deleted.");
  } else {
    // V5V6Master hands the mastership from V5 to V6; V6V5Master back to V5.
    const std::string target = m_run.mapping[1] == "V5V6Master" ? "V6" : "V5";
    const std::string master = m_session->AttributeValue(o.id, kMaster);
    if (master == target) {
      o.result = Result::Unchanged;
      o.text = "Already " + target + " master: nothing to do.";
      return;
    }
    values = {{kMaster, target}};
    const bool allowRep = m_run.mapping.size() > 2 && m_run.mapping[2] == "AllowRep";
    if (allowRep && !m_session->AttributeValue(o.id, kAllowRep).empty()) values.emplace_back(kAllowRep, "true");
    o.text = "Mastership " + std::string(preview ? "would move" : "moved") + " from " +
             (master.empty() ? std::string("nobody") : master) + " to " + target + ".";
  }
  if (preview) {
    o.result = Result::WouldChange;
    return;
  }
  std::string failed;
  if (!SetAttributes(*m_session, o.id, values, failed)) {
    o.result = Result::Failed;
    o.text = "The attribute " + failed + " cannot be changed.";
    return;
  }
  o.result = Result::Changed;
  m_changed.push_back(o.id);
}

void Runner::Save() {
  if (m_changed.empty()) return;
  CATListValCATBaseUnknown_var objects;
  for (const std::string& id : m_changed) objects.Append(CATBaseUnknown_var(m_session->Find(id)));
  HRESULT rc = CATAdpSaver().Save(objects);
  if (SUCCEEDED(rc)) {
    m_run.saved = true;
    return;
  }
  CATError_var error;
  error.Attach(CATError::CATGetLastError(rc));
  m_run.saveError = error ? error->GetNLSMessage().Utf8() : std::string();
  if (m_run.saveError.empty()) m_run.saveError = "the platform gave no reason";
  CATError::CATCleanLastError();
}

void Runner::Run() {
  if (!ReadOptions() || !LoadSession()) {
    m_run.returnCode = 3;
    return;
  }
  CollectScope();
  Save();
  bool failed = false;
  for (const ObjectOutcome& o : m_run.objects) failed = failed || o.result == Result::Failed;
  m_run.returnCode = !m_run.saveError.empty() ? 2 : failed ? 1 : 0;
}

}  // namespace

CoexistenceRun RunCoexistenceAdministration(const BatchInput& input) {
  CoexistenceRun run;
  Runner(input, run).Run();
  return run;
}

}  // namespace elmbatch
