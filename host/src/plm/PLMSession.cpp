#include "ELMHostPLMSession.h"

#include "CATApplicationFrame.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"
#include "PLMObjects.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

namespace elmhost {

namespace {

using Json = nlohmann::ordered_json;

PLMSession* s_current = nullptr;

const std::set<std::string>& KnownServices() {
  static const std::set<std::string> names = {
      "CompleteAndOpen",      "ShowAttributeValue", "SetValueWithString", "GetAllVersions",
      "GetStateAndPossibleTransitions", "IsSaved", "GetSecurityParameters"};
  return names;
}

/// A problem in the session file, at a JSON path such as /objects/2/id.
struct SchemaError {
  std::string where;
  std::string what;
};

std::string Join(const std::string& base, const std::string& key) { return base + "/" + key; }
std::string Join(const std::string& base, std::size_t index) { return base + "/" + std::to_string(index); }

const char* KindName(const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::object: return "an object";
    case Json::value_t::array: return "an array";
    case Json::value_t::string: return "a text";
    case Json::value_t::boolean: return "true or false";
    case Json::value_t::discarded: return "nothing";
    default: return "a number";
  }
}

void Expect(const Json& v, Json::value_t type, const char* wanted, const std::string& where) {
  if (v.type() != type) throw SchemaError{where, std::string("expected ") + wanted + ", found " + KindName(v)};
}

const Json* Member(const Json& obj, const char* key) {
  auto it = obj.find(key);
  return it == obj.end() ? nullptr : &*it;
}

std::string RequiredText(const Json& obj, const char* key, const std::string& where) {
  const Json* v = Member(obj, key);
  if (!v) throw SchemaError{where, std::string("the required field \"") + key + "\" is missing"};
  Expect(*v, Json::value_t::string, "a text", Join(where, key));
  if (v->get_ref<const std::string&>().empty())
    throw SchemaError{Join(where, key), "must not be empty"};
  return v->get<std::string>();
}

std::string OptionalText(const Json& obj, const char* key, const std::string& where, const std::string& fallback) {
  const Json* v = Member(obj, key);
  if (!v) return fallback;
  Expect(*v, Json::value_t::string, "a text", Join(where, key));
  return v->get<std::string>();
}

bool OptionalFlag(const Json& obj, const char* key, const std::string& where, bool fallback) {
  const Json* v = Member(obj, key);
  if (!v) return fallback;
  Expect(*v, Json::value_t::boolean, "true or false", Join(where, key));
  return v->get<bool>();
}

void RejectUnknownKeys(const Json& obj, std::initializer_list<const char*> known, const std::string& where) {
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    bool ok = false;
    for (const char* k : known) ok = ok || it.key() == k;
    if (!ok) throw SchemaError{Join(where, it.key()), "unknown field"};
  }
}

}  // namespace

struct PLMSession::Impl {
  Json doc;
  PLMTypeDictionary* types = nullptr;
  CATVar<PLMTypeDictionary> typesHolder;
  std::vector<CATVar<PLMObject>> objects;       // file order
  std::map<std::string, std::size_t> objectIndex;
  std::vector<CATVar<PLMOccurrence>> nodes;
  std::map<std::string, PLMOccurrence*> nodeIndex;
  std::set<std::string> failingServices;
  bool saveFails = false;
  std::string saveError;

  CATApplicationFrame frame;
  CATFrmLayout layout;
  std::unique_ptr<CATFrmEditor> windowEditor;
  std::unique_ptr<CATFrmWindow> window;
  CATFrmEditor searchEditor;

  void ReadTypes(const Json& root);
  void ReadObjects(PLMSession* session, const Json& root);
  PLMOccurrence* ReadNode(const Json& node, const std::string& where, PLMOccurrence* father);
  CATPathElement_var PathTo(const std::string& id, const std::string& where) const;
  void ReadSelection(const Json& root, const char* key, CATFrmEditor& editor);
  void ReadOptions(const Json& root);
};

void PLMSession::Impl::ReadTypes(const Json& root) {
  const Json* types_ = Member(root, "types");
  if (!types_) return;
  Expect(*types_, Json::value_t::array, "an array", "/types");
  for (std::size_t i = 0; i < types_->size(); ++i) {
    const Json& t = (*types_)[i];
    std::string where = Join("/types", i);
    Expect(t, Json::value_t::object, "an object", where);
    RejectUnknownKeys(t, {"name", "supertype", "userName"}, where);
    std::string name = RequiredText(t, "name", where);
    std::string super = RequiredText(t, "supertype", where);
    if (types->Find(name)) throw SchemaError{Join(where, "name"), "the type \"" + name + "\" is defined already"};
    if (!types->Find(super)) throw SchemaError{Join(where, "supertype"), "unknown type \"" + super + "\""};
    types->Add(name, super, OptionalText(t, "userName", where, ""));
  }
}

void PLMSession::Impl::ReadObjects(PLMSession* session, const Json& root) {
  const Json* objs = Member(root, "objects");
  if (!objs) throw SchemaError{"", "the required field \"objects\" is missing"};
  Expect(*objs, Json::value_t::array, "an array", "/objects");
  for (std::size_t i = 0; i < objs->size(); ++i) {
    const Json& o = (*objs)[i];
    std::string where = Join("/objects", i);
    Expect(o, Json::value_t::object, "an object", where);
    RejectUnknownKeys(o, {"id", "type", "attributes", "saved", "identificator", "maturity", "versionFamily"}, where);
    PLMObject::Data d;
    d.id = RequiredText(o, "id", where);
    if (objectIndex.count(d.id)) throw SchemaError{Join(where, "id"), "the id \"" + d.id + "\" is used twice"};
    d.type = RequiredText(o, "type", where);
    if (!types->Find(d.type)) throw SchemaError{Join(where, "type"), "unknown type \"" + d.type + "\""};
    if (const Json* attrs = Member(o, "attributes")) {
      Expect(*attrs, Json::value_t::object, "an object", Join(where, "attributes"));
      for (auto it = attrs->begin(); it != attrs->end(); ++it) {
        Expect(it.value(), Json::value_t::string, "a text", Join(Join(where, "attributes"), it.key()));
        d.attributes.emplace_back(it.key(), it.value().get<std::string>());
      }
    }
    d.saved = OptionalFlag(o, "saved", where, true);
    d.hasIdentificator = OptionalFlag(o, "identificator", where, true);
    d.maturity = OptionalText(o, "maturity", where, "IN_WORK");
    d.versionFamily = OptionalText(o, "versionFamily", where, "");
    CATVar<PLMObject> obj;
    if (types->IsInstanceKind(d.type))
      obj.Attach(new PLMInstanceObject(session, std::move(d)));
    else
      obj.Attach(new PLMReferenceObject(session, std::move(d)));
    objectIndex.emplace(obj->data().id, objects.size());
    objects.push_back(obj);
  }
}

PLMOccurrence* PLMSession::Impl::ReadNode(const Json& node, const std::string& where, PLMOccurrence* father) {
  Expect(node, Json::value_t::object, "an object", where);
  RejectUnknownKeys(node, {"id", "reference", "instance", "children"}, where);
  std::string id = RequiredText(node, "id", where);
  if (nodeIndex.count(id) || objectIndex.count(id))
    throw SchemaError{Join(where, "id"), "the id \"" + id + "\" is used twice"};
  std::string refId = RequiredText(node, "reference", where);
  auto ref = objectIndex.find(refId);
  if (ref == objectIndex.end()) throw SchemaError{Join(where, "reference"), "unknown object \"" + refId + "\""};
  auto* reference = dynamic_cast<PLMReferenceObject*>(objects[ref->second].get());
  if (!reference)
    throw SchemaError{Join(where, "reference"), "the object \"" + refId + "\" is an instance, not a reference"};
  PLMInstanceObject* instance = nullptr;
  if (Member(node, "instance")) {
    std::string instId = RequiredText(node, "instance", where);
    auto inst = objectIndex.find(instId);
    if (inst == objectIndex.end()) throw SchemaError{Join(where, "instance"), "unknown object \"" + instId + "\""};
    instance = dynamic_cast<PLMInstanceObject*>(objects[inst->second].get());
    if (!instance)
      throw SchemaError{Join(where, "instance"), "the object \"" + instId + "\" is not an instance"};
    if (!father) throw SchemaError{Join(where, "instance"), "the root of the tree has no instance"};
    instance->SetFather(father->reference());
  }
  CATVar<PLMOccurrence> occ;
  occ.Attach(new PLMOccurrence(id, reference, instance, father));
  nodes.push_back(occ);
  nodeIndex.emplace(id, occ.get());
  if (father) father->AddChild(occ.get());
  if (const Json* children = Member(node, "children")) {
    Expect(*children, Json::value_t::array, "an array", Join(where, "children"));
    for (std::size_t i = 0; i < children->size(); ++i)
      ReadNode((*children)[i], Join(Join(where, "children"), i), occ.get());
  }
  return occ.get();
}

CATPathElement_var PLMSession::Impl::PathTo(const std::string& id, const std::string& where) const {
  CATPathElement_var path = CATMakeVar<CATPathElement>();
  if (auto n = nodeIndex.find(id); n != nodeIndex.end()) {
    std::vector<PLMOccurrence*> chain;
    for (PLMOccurrence* o = n->second; o; o = o->father()) chain.insert(chain.begin(), o);
    for (PLMOccurrence* o : chain) path->AddChildElement(o);
  } else if (auto o = objectIndex.find(id); o != objectIndex.end()) {
    path->AddChildElement(objects[o->second].get());
  } else {
    throw SchemaError{where, "unknown object or tree node \"" + id + "\""};
  }
  return path;
}

void PLMSession::Impl::ReadSelection(const Json& root, const char* key, CATFrmEditor& editor) {
  const Json* sel = Member(root, key);
  if (!sel) return;
  std::string where = std::string("/") + key;
  Expect(*sel, Json::value_t::array, "an array", where);
  for (std::size_t i = 0; i < sel->size(); ++i) {
    Expect((*sel)[i], Json::value_t::string, "a text", Join(where, i));
    CATPathElement_var path = PathTo((*sel)[i].get<std::string>(), Join(where, i));
    editor.GetCSO()->AddElement(path.get());
  }
}

void PLMSession::Impl::ReadOptions(const Json& root) {
  const Json* opts = Member(root, "options");
  if (!opts) return;
  Expect(*opts, Json::value_t::object, "an object", "/options");
  RejectUnknownKeys(*opts, {"saveError", "failingServices"}, "/options");
  if (const Json* e = Member(*opts, "saveError")) {
    Expect(*e, Json::value_t::string, "a text", "/options/saveError");
    saveFails = true;
    saveError = e->get<std::string>();
  }
  if (const Json* f = Member(*opts, "failingServices")) {
    Expect(*f, Json::value_t::array, "an array", "/options/failingServices");
    for (std::size_t i = 0; i < f->size(); ++i) {
      std::string where = Join("/options/failingServices", i);
      Expect((*f)[i], Json::value_t::string, "a text", where);
      std::string name = (*f)[i].get<std::string>();
      if (!KnownServices().count(name)) throw SchemaError{where, "unknown service \"" + name + "\""};
      failingServices.insert(name);
    }
  }
}

PLMSession::PLMSession() : m_impl(std::make_unique<Impl>()), m_previous(s_current) {
  m_impl->typesHolder = CATMakeVar<PLMTypeDictionary>();
  m_impl->types = m_impl->typesHolder.get();
  s_current = this;
}

PLMSession::~PLMSession() {
  // Handles that the plug-in or a test still holds stay valid; they simply
  // stop reaching the session.
  for (auto& o : m_impl->objects) o->Detach();
  for (auto& n : m_impl->nodes) n->Detach();
  if (s_current == this) s_current = m_previous;
}

PLMSession* PLMSession::Current() { return s_current; }

std::unique_ptr<PLMSession> PLMSession::Load(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read: " + std::strerror(errno);
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return FromText(text.str(), path, error);
}

std::unique_ptr<PLMSession> PLMSession::FromText(const std::string& text, const std::string& path,
                                                 std::string& error) {
  const std::string name = path.empty() ? "<session>" : path;
  std::unique_ptr<PLMSession> s(new PLMSession());
  s->m_path = path;
  Impl& d = *s->m_impl;
  try {
    d.doc = Json::parse(text);
  } catch (const Json::parse_error& e) {
    // The library's message starts with its own tag; the user wants the place and the reason.
    std::string what = e.what();
    if (auto p = what.find("] "); p != std::string::npos) what = what.substr(p + 2);
    error = name + ": not a JSON session file: " + what;
    return nullptr;
  }
  try {
    const Json& root = d.doc;
    Expect(root, Json::value_t::object, "an object", "");
    RejectUnknownKeys(root, {"workbench", "workshop", "user", "types", "objects", "tree", "selection",
                             "searchSelection", "searchRoots", "options"},
                      "");
    d.frame.SetCurrentWorkbench(OptionalText(root, "workbench", "", "CATImmNav").c_str());
    d.frame.SetCurrentWorkshop(OptionalText(root, "workshop", "", "ImmNavWorkshop").c_str());
    if (const Json* u = Member(root, "user")) {
      Expect(*u, Json::value_t::object, "an object", "/user");
      RejectUnknownKeys(*u, {"login", "role", "organization", "project"}, "/user");
      s->m_user.login = RequiredText(*u, "login", "/user");
      s->m_user.role = OptionalText(*u, "role", "/user", "");
      s->m_user.organization = OptionalText(*u, "organization", "/user", "");
      s->m_user.project = OptionalText(*u, "project", "/user", "");
    }
    d.ReadTypes(root);
    d.ReadObjects(s.get(), root);
    if (const Json* tree = Member(root, "tree")) {
      PLMOccurrence* top = d.ReadNode(*tree, "/tree", nullptr);
      d.windowEditor = std::make_unique<CATFrmEditor>();
      d.windowEditor->AddRoot(top->reference());
      d.window = std::make_unique<CATFrmWindow>("Tree", d.windowEditor.get());
      d.layout.SetCurrentWindow(d.window.get());
      d.ReadSelection(root, "selection", *d.windowEditor);
    } else if (Member(root, "selection")) {
      throw SchemaError{"/selection", "a selection needs a \"tree\" to select in"};
    }
    d.ReadSelection(root, "searchSelection", d.searchEditor);
    if (const Json* roots = Member(root, "searchRoots")) {
      Expect(*roots, Json::value_t::array, "an array", "/searchRoots");
      for (std::size_t i = 0; i < roots->size(); ++i) {
        std::string where = Join("/searchRoots", i);
        Expect((*roots)[i], Json::value_t::string, "a text", where);
        PLMObject* o = s->FindObject((*roots)[i].get<std::string>());
        if (!o) throw SchemaError{where, "unknown object \"" + (*roots)[i].get<std::string>() + "\""};
        d.searchEditor.AddRoot(static_cast<CATIPLMComponent*>(o));
      }
    }
    d.ReadOptions(root);
  } catch (const SchemaError& e) {
    error = name + ": at " + (e.where.empty() ? std::string("the top level") : e.where) + ": " + e.what;
    return nullptr;
  } catch (const Json::exception& e) {
    error = name + ": " + e.what();
    return nullptr;
  }
  return s;
}

CATApplicationFrame& PLMSession::Frame() { return m_impl->frame; }
CATFrmLayout& PLMSession::Layout() { return m_impl->layout; }
CATFrmEditor* PLMSession::WindowEditor() { return m_impl->windowEditor.get(); }
CATIPLMNavOccurrence* PLMSession::TreeRoot() const {
  return m_impl->nodes.empty() ? nullptr : m_impl->nodes.front().get();
}
CATFrmEditor* PLMSession::SearchEditor() { return &m_impl->searchEditor; }
CATITypeDictionary* PLMSession::TypeDictionary() { return m_impl->types; }

CATBaseUnknown* PLMSession::Find(const std::string& id) const {
  if (auto n = m_impl->nodeIndex.find(id); n != m_impl->nodeIndex.end()) return n->second;
  if (PLMObject* o = FindObject(id)) return static_cast<CATIPLMComponent*>(o);
  return nullptr;
}

PLMObject* PLMSession::FindObject(const std::string& id) const {
  auto it = m_impl->objectIndex.find(id);
  return it == m_impl->objectIndex.end() ? nullptr : m_impl->objects[it->second].get();
}

std::string PLMSession::AttributeValue(const std::string& objectId, const std::string& attribute) const {
  PLMObject* o = FindObject(objectId);
  const std::string* v = o ? o->Attribute(attribute) : nullptr;
  return v ? *v : std::string();
}

bool PLMSession::ServiceFails(const std::string& service) const { return m_impl->failingServices.count(service) > 0; }

std::vector<PLMObject*> PLMSession::VersionsOf(const PLMObject& object) const {
  std::vector<PLMObject*> out;
  const std::string& family = object.data().versionFamily;
  for (const auto& o : m_impl->objects) {
    bool same = family.empty() ? o.get() == &object : o->data().versionFamily == family;
    if (same) out.push_back(o.get());
  }
  return out;
}

namespace {

/// Writes text to path through a temporary file in the same directory, so
/// that readers see either the old file or the new one, never a part.
bool WriteAtomically(const std::string& path, const std::string& text, std::string& error) {
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = "cannot write " + tmp + ": " + std::strerror(errno);
      close(fd);
      unlink(tmp.c_str());
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  // The data must be on disk before the rename makes it the session.
  if (fsync(fd) != 0 || close(fd) != 0) {
    error = "cannot write " + tmp + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  // mkstemp creates the file readable by its owner only; a session file is
  // an ordinary document.
  chmod(tmp.c_str(), 0644);
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    error = "cannot replace " + path + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool PLMSession::SaveObjects(const std::vector<PLMObject*>& objects, std::string& error) {
  SaveRecord record;
  for (PLMObject* o : objects) record.objectIds.push_back(o->data().id);
  error.clear();
  if (m_impl->saveFails) {
    error = m_impl->saveError;
  } else if (m_path.empty()) {
    error = "The session has no file to save to.";
  } else {
    // Only the saved objects' state goes to the file: other changes made in
    // memory stay unsaved, as in the client.
    Json doc = m_impl->doc;
    for (PLMObject* o : objects) {
      Json& entry = doc["objects"][m_impl->objectIndex.at(o->data().id)];
      Json attrs = Json::object();
      for (const auto& [n, v] : o->data().attributes) attrs[n] = v;
      entry["attributes"] = attrs;
      if (entry.contains("saved")) entry["saved"] = true;
    }
    if (WriteAtomically(m_path, doc.dump(2) + "\n", error)) {
      m_impl->doc = std::move(doc);
      for (PLMObject* o : objects) o->MarkSaved();
      record.ok = true;
    }
  }
  record.error = error;
  m_saves.push_back(record);
  if (m_saveObserver) m_saveObserver(m_saves.back());
  return record.ok;
}

}  // namespace elmhost
