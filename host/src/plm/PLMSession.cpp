#include "ELMHostPLMSession.h"

#include "CATApplicationFrame.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"
#include "PLMObjects.h"
#include "PLMValues.h"
#include "SessionJson.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <unistd.h>

namespace elmhost {

namespace {

using Json = SessionDocument;

PLMSession* s_current = nullptr;

const std::set<std::string>& KnownServices() {
  static const std::set<std::string> names = {"CompleteAndOpen",
                                              "ShowAttributeValue",
                                              "SetValueWithString",
                                              "GetAllVersions",
                                              "GetStateAndPossibleTransitions",
                                              "IsSaved",
                                              "GetSecurityParameters",
                                              "GetUniqueKey",
                                              "MoreInformation",
                                              "ListAttributesFromObject",
                                              "GetValueAsTime",
                                              "GetEditedRootPLMComponents"};
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
  std::vector<PLMOccurrence*> treeRoots;
  bool explorer = false;
  std::set<std::string> failingServices;
  bool saveFails = false;
  std::string saveError;

  CATApplicationFrame frame;
  CATFrmLayout layout;
  std::unique_ptr<CATFrmEditor> windowEditor;
  std::unique_ptr<CATFrmWindow> window;
  CATFrmEditor searchEditor;
  // Each node's path from the top of its tree continues its father's, so
  // the paths of a whole tree cost one small object per node. Valid until
  // the tree changes.
  std::unordered_map<PLMOccurrence*, CATPathElement_var> rootPaths;

  /// The node's path from the top of its tree; null for a node that is no
  /// longer in the tree.
  CATPathElement* RootPath(PLMOccurrence* node);
  void SetActiveObject();

  void ReadTypes(const Json& root);
  void ReadObjects(PLMSession* session, const Json& root);
  void ReadAttributes(const Json& attrs, const std::string& where, std::vector<PLMAttribute>& out) const;
  void ReadTree(const Json& tree);
  PLMOccurrence* ReadNode(const Json& node, PLMOccurrence* father);
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

void PLMSession::Impl::ReadAttributes(const Json& attrs, const std::string& where,
                                      std::vector<PLMAttribute>& out) const {
  Expect(attrs, Json::value_t::object, "an object", where);
  for (auto it = attrs.begin(); it != attrs.end(); ++it) {
    const std::string at = Join(where, it.key());
    const Json& v = it.value();
    PLMAttribute a;
    a.name = it.key();
    if (v.is_string()) {
      a.value = v.get<std::string>();
      a.type = types->FindValueType("String");
      out.push_back(std::move(a));
      continue;
    }
    if (!v.is_object())
      throw SchemaError{at, std::string("expected a text or an object with \"type\" and \"value\", found ") +
                                KindName(v)};
    RejectUnknownKeys(v, {"type", "value", "zone"}, at);
    std::string type = RequiredText(v, "type", at);
    a.type = types->FindValueType(type);
    if (!a.type)
      throw SchemaError{Join(at, "type"),
                        "unknown attribute type \"" + type + "\"; the types are " + types->ValueTypeNames()};
    const Json* value = Member(v, "value");
    if (!value) throw SchemaError{at, "the required field \"value\" is missing"};
    Expect(*value, Json::value_t::string, "a text", Join(at, "value"));
    a.value = value->get<std::string>();
    if (Member(v, "zone")) {
      if (type != "Date") throw SchemaError{Join(at, "zone"), "only a date has a zone"};
      a.zone = RequiredText(v, "zone", at);
    }
    std::string why;
    if (!CheckValue(type, a.value, why)) throw SchemaError{Join(at, "value"), why};
    a.typed = true;
    out.push_back(std::move(a));
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
    RejectUnknownKeys(
        o, {"id", "type", "attributes", "saved", "identificator", "maturity", "versionFamily", "alias", "representation"}, where);
    PLMObject::Data d;
    d.id = RequiredText(o, "id", where);
    if (objectIndex.count(d.id)) throw SchemaError{Join(where, "id"), "the id \"" + d.id + "\" is used twice"};
    d.type = RequiredText(o, "type", where);
    PLMType* type = types->Find(d.type);
    if (!type) throw SchemaError{Join(where, "type"), "unknown type \"" + d.type + "\""};
    if (const Json* attrs = Member(o, "attributes")) ReadAttributes(*attrs, Join(where, "attributes"), d.attributes);
    d.saved = OptionalFlag(o, "saved", where, true);
    d.hasIdentificator = OptionalFlag(o, "identificator", where, true);
    d.maturity = OptionalText(o, "maturity", where, "IN_WORK");
    d.versionFamily = OptionalText(o, "versionFamily", where, "");
    d.hasAlias = Member(o, "alias") != nullptr;
    d.alias = OptionalText(o, "alias", where, "");
    d.representation = OptionalFlag(o, "representation", where, type->IsRepReference());
    CATVar<PLMObject> obj;
    if (types->IsInstanceKind(d.type))
      obj.Attach(new PLMInstanceObject(session, type, std::move(d)));
    else
      obj.Attach(new PLMReferenceObject(session, type, std::move(d)));
    objectIndex.emplace(obj->data().id, objects.size());
    objects.push_back(obj);
  }
}

namespace {

/// The place of a tree node in the file, for messages only. Deep places
/// keep their first and last levels, so that a message stays a line.
struct TreeFrame {
  const Json* children;
  PLMOccurrence* node;
  std::size_t next;
};

std::string TreePath(bool several, std::size_t root, const std::vector<TreeFrame>& stack) {
  std::string out = several ? Join("/tree", root) : std::string("/tree");
  const std::size_t keep = 4;
  for (std::size_t i = 0; i < stack.size(); ++i) {
    if (stack.size() > 2 * keep + 1 && i == keep) {
      out += "/…(" + std::to_string(stack.size() - 2 * keep) + " levels)…";
      i = stack.size() - keep - 1;
      continue;
    }
    out += "/children/" + std::to_string(stack[i].next - 1);
  }
  return out;
}

}  // namespace

PLMOccurrence* PLMSession::Impl::ReadNode(const Json& node, PLMOccurrence* father) {
  // Places are relative to the node; the caller puts the node's place in front.
  Expect(node, Json::value_t::object, "an object", "");
  RejectUnknownKeys(node, {"id", "reference", "instance", "identifiers", "children"}, "");
  std::string id = RequiredText(node, "id", "");
  if (nodeIndex.count(id) || objectIndex.count(id))
    throw SchemaError{"/id", "the id \"" + id + "\" is used twice"};
  std::string refId = RequiredText(node, "reference", "");
  auto ref = objectIndex.find(refId);
  if (ref == objectIndex.end()) throw SchemaError{"/reference", "unknown object \"" + refId + "\""};
  auto* reference = dynamic_cast<PLMReferenceObject*>(objects[ref->second].get());
  if (!reference)
    throw SchemaError{"/reference", "the object \"" + refId + "\" is an instance, not a reference"};
  PLMInstanceObject* instance = nullptr;
  if (Member(node, "instance")) {
    std::string instId = RequiredText(node, "instance", "");
    auto inst = objectIndex.find(instId);
    if (inst == objectIndex.end()) throw SchemaError{"/instance", "unknown object \"" + instId + "\""};
    instance = dynamic_cast<PLMInstanceObject*>(objects[inst->second].get());
    if (!instance) throw SchemaError{"/instance", "the object \"" + instId + "\" is not an instance"};
    if (!father) throw SchemaError{"/instance", "the root of the tree has no instance"};
    instance->SetFather(father->reference());
  }
  if (const Json* children = Member(node, "children")) Expect(*children, Json::value_t::array, "an array", "/children");
  CATVar<PLMOccurrence> occ;
  occ.Attach(new PLMOccurrence(id, reference, instance, father));
  if (const Json* ids = Member(node, "identifiers")) {
    Expect(*ids, Json::value_t::array, "an array", "/identifiers");
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < ids->size(); ++i) {
      Expect((*ids)[i], Json::value_t::string, "a text", Join("/identifiers", i));
      texts.push_back((*ids)[i].get<std::string>());
    }
    occ->SetIdentifiers(std::move(texts));
  }
  nodes.push_back(occ);
  nodeIndex.emplace(id, occ.get());
  if (father) father->AddChild(occ.get());
  return occ.get();
}

void PLMSession::Impl::ReadTree(const Json& tree) {
  if (!tree.is_object() && !tree.is_array())
    throw SchemaError{"/tree", std::string("expected an object or an array, found ") + KindName(tree)};
  const bool several = tree.is_array();
  const std::size_t count = several ? tree.size() : 1;
  // Depth-first without recursion: trees may be far deeper than the stack.
  std::vector<TreeFrame> stack;
  for (std::size_t r = 0; r < count; ++r) {
    auto read = [&](const Json& n, PLMOccurrence* father) {
      try {
        return ReadNode(n, father);
      } catch (SchemaError& e) {
        e.where = TreePath(several, r, stack) + e.where;
        throw;
      }
    };
    const Json& top = several ? tree[r] : tree;
    PLMOccurrence* root = read(top, nullptr);
    treeRoots.push_back(root);
    stack.push_back({Member(top, "children"), root, 0});
    while (!stack.empty()) {
      TreeFrame& f = stack.back();
      if (!f.children || f.next >= f.children->size()) {
        stack.pop_back();
        continue;
      }
      const Json& child = (*f.children)[f.next++];
      PLMOccurrence* father = f.node;
      PLMOccurrence* node = read(child, father);
      stack.push_back({Member(child, "children"), node, 0});
    }
  }
}

CATPathElement_var PLMSession::Impl::PathTo(const std::string& id, const std::string& where) const {
  CATPathElement_var path = CATMakeVar<CATPathElement>();
  if (auto n = nodeIndex.find(id); n != nodeIndex.end()) {
    std::vector<PLMOccurrence*> chain;
    for (PLMOccurrence* o = n->second; o; o = o->father()) chain.push_back(o);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) path->AddChildElement(static_cast<CATIPLMNavOccurrence*>(*it));
  } else if (auto o = objectIndex.find(id); o != objectIndex.end()) {
    path->AddChildElement(static_cast<CATIPLMComponent*>(objects[o->second].get()));
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
  // The paths hold the nodes; they go first.
  m_impl->rootPaths.clear();
  // Handles that the plug-in or a test still holds stay valid; they simply
  // stop reaching the session.
  for (auto& o : m_impl->objects) o->Detach();
  for (auto& n : m_impl->nodes) n->Detach();
  if (s_current == this) s_current = m_previous;
}

PLMSession* PLMSession::Current() { return s_current; }

namespace {

/// Reads at most limit + 1 bytes of the file, so that an oversized one is
/// recognised without holding it; its size is checked before any reading.
bool ReadSessionFile(const std::string& path, std::string& text, std::string& error) {
  const std::size_t limit = PLMSession::kMaxFileBytes;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": cannot be read: " + std::strerror(errno);
    return false;
  }
  auto tooLarge = [&](const std::string& size) {
    error = path + ": the file has " + size + " bytes; a session file may have at most " + std::to_string(limit) +
            " bytes (64 MiB)";
    close(fd);
    return false;
  };
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) > limit)
    return tooLarge(std::to_string(st.st_size));
  text.clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = path + ": cannot be read: " + std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > limit) return tooLarge("more than " + std::to_string(limit));
  }
  close(fd);
  return true;
}

}  // namespace

std::unique_ptr<PLMSession> PLMSession::Load(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadSessionFile(path, text, error)) return nullptr;
  return FromText(text, path, error);
}

std::unique_ptr<PLMSession> PLMSession::FromText(const std::string& text, const std::string& path,
                                                 std::string& error) {
  const std::string name = path.empty() ? "<session>" : path;
  std::size_t line = 0, column = 0;
  if (!CheckNesting(text, kMaxNesting, line, column)) {
    error = name + ": at line " + std::to_string(line) + ", column " + std::to_string(column) +
            ": values nest more than " + std::to_string(kMaxNesting) + " levels deep";
    return nullptr;
  }
  std::unique_ptr<PLMSession> s(new PLMSession());
  s->m_path = path;
  Impl& d = *s->m_impl;
  std::string where, what;
  if (!ParseSessionText(text, d.doc, where, what)) {
    error = name + (where.empty() ? ": not a JSON session file: " + what : ": at " + where + ": " + what);
    return nullptr;
  }
  try {
    const Json& root = d.doc;
    Expect(root, Json::value_t::object, "an object", "");
    RejectUnknownKeys(root, {"workbench", "workshop", "user", "types", "objects", "tree", "window", "selection",
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
      std::string kind = OptionalText(root, "window", "", "authoring");
      if (kind != "authoring" && kind != "explorer")
        throw SchemaError{"/window", "expected \"authoring\" or \"explorer\", found \"" + kind + "\""};
      d.explorer = kind == "explorer";
      d.ReadTree(*tree);
      d.windowEditor = std::make_unique<CATFrmEditor>();
      for (PLMOccurrence* root : d.treeRoots) d.windowEditor->AddRoot(static_cast<CATIPLMComponent*>(root->reference()));
      d.SetActiveObject();
      d.window = std::make_unique<CATFrmWindow>(d.explorer ? "Explorer" : "Tree", d.windowEditor.get());
      d.layout.SetCurrentWindow(d.window.get());
      d.ReadSelection(root, "selection", *d.windowEditor);
    } else if (Member(root, "selection")) {
      throw SchemaError{"/selection", "a selection needs a \"tree\" to select in"};
    } else if (Member(root, "window")) {
      throw SchemaError{"/window", "a window needs a \"tree\" to show"};
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
  return m_impl->treeRoots.empty() ? nullptr : m_impl->treeRoots.front();
}
std::vector<CATIPLMNavOccurrence*> PLMSession::TreeRoots() const {
  return std::vector<CATIPLMNavOccurrence*>(m_impl->treeRoots.begin(), m_impl->treeRoots.end());
}

void PLMSession::Impl::SetActiveObject() {
  if (!windowEditor) return;
  CATPathElement_var path;
  if (!treeRoots.empty()) {
    path = CATMakeVar<CATPathElement>();
    path->AddChildElement(static_cast<CATIPLMNavOccurrence*>(treeRoots.front()));
  }
  windowEditor->SetUIActiveObject(path.get());
}

CATPathElement* PLMSession::Impl::RootPath(PLMOccurrence* node) {
  // Up to the nearest node whose path is known (or the top), then down
  // again, each path continuing its father's: no walk repeats, however deep
  // the tree and however many of its nodes ask.
  std::vector<PLMOccurrence*> chain;
  CATPathElement* known = nullptr;
  for (PLMOccurrence* n = node; n; n = n->father()) {
    if (n->IsRemoved()) return nullptr;
    if (auto it = rootPaths.find(n); it != rootPaths.end()) {
      known = it->second.get();
      break;
    }
    chain.push_back(n);
  }
  if (!known && std::find(treeRoots.begin(), treeRoots.end(), chain.back()) == treeRoots.end()) return nullptr;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    CATPathElement_var path;
    path.Attach(new CATPathElement(known));
    path->AddChildElement(static_cast<CATIPLMNavOccurrence*>(*it));
    known = path.get();
    rootPaths.emplace(*it, std::move(path));
  }
  return known;
}

HRESULT PLMSession::PathOf(PLMOccurrence* node, CATPathElement* context, CATPathElement*& path) {
  path = nullptr;
  if (!node) return E_FAIL;
  CATPathElement* full = m_impl->RootPath(node);
  if (!full) return E_FAIL;
  auto* top = context ? dynamic_cast<PLMOccurrence*>(context->FindLastElement()) : nullptr;
  if (context && context->GetSize() > 0 && !top) return E_FAIL;
  // The usual context is the top node itself: the path from the top is the answer.
  if (!top || (context->GetSize() == 1 && top->depth() == 0 && node->top() == top)) {
    path = full;
    path->AddRef();
    return S_OK;
  }
  std::vector<PLMOccurrence*> below;
  PLMOccurrence* n = node;
  for (; n && n != top; n = n->father()) below.push_back(n);
  if (!n) return E_FAIL;
  // A copy: the caller's context may live on its stack.
  auto* out = new CATPathElement(*context);
  for (auto it = below.rbegin(); it != below.rend(); ++it) out->AddChildElement(static_cast<CATIPLMNavOccurrence*>(*it));
  path = out;
  return S_OK;
}

void PLMSession::VisitTree(const std::function<void(const TreeLine&)>& visitor) const {
  std::vector<PLMOccurrence*> stack(m_impl->treeRoots.rbegin(), m_impl->treeRoots.rend());
  while (!stack.empty()) {
    PLMOccurrence* n = stack.back();
    stack.pop_back();
    CATListValCATUnicodeString identifiers;
    n->GetIdentificators(identifiers);
    std::string label;
    for (const CATUnicodeString& i : identifiers) label += (label.empty() ? "" : " ") + i.Utf8();
    std::string instance;
    if (PLMInstanceObject* i = n->instance())
      if (const PLMAttribute* a = i->Attribute("PLM_ExternalID")) instance = a->value;
    visitor(TreeLine{n->depth(), n->id(), std::move(label), std::move(instance)});
    stack.insert(stack.end(), n->children().rbegin(), n->children().rend());
  }
}

TreeChange PLMSession::RemoveBranches(const std::vector<CATBaseUnknown*>& nodes) {
  Impl& d = *m_impl;
  std::unordered_set<PLMOccurrence*> wanted;
  for (CATBaseUnknown* o : nodes)
    if (auto* n = dynamic_cast<PLMOccurrence*>(o); n && d.nodeIndex.count(n->id()) && d.nodeIndex.at(n->id()) == n)
      wanted.insert(n);
  TreeChange change;
  if (wanted.empty()) return change;
  // One walk over the tree finds the heads of the branches in tree order,
  // and never looks inside a branch that goes anyway.
  std::vector<PLMOccurrence*> heads;
  std::vector<PLMOccurrence*> stack(d.treeRoots.rbegin(), d.treeRoots.rend());
  while (!stack.empty()) {
    PLMOccurrence* n = stack.back();
    stack.pop_back();
    if (wanted.count(n)) {
      heads.push_back(n);
      continue;
    }
    stack.insert(stack.end(), n->children().rbegin(), n->children().rend());
  }
  if (heads.empty()) return change;
  std::unordered_set<PLMOccurrence*> fathers;
  for (PLMOccurrence* head : heads) {
    head->MarkRemoved();
    change.removedBranches.push_back(head->id());
    std::vector<PLMOccurrence*> branch{head};
    while (!branch.empty()) {
      PLMOccurrence* n = branch.back();
      branch.pop_back();
      ++change.removedNodes;
      branch.insert(branch.end(), n->children().begin(), n->children().end());
    }
    if (PLMOccurrence* father = head->father()) {
      fathers.insert(father);
    } else if (d.windowEditor) {
      d.windowEditor->RemoveRoot(static_cast<CATIPLMComponent*>(head->reference()));
    }
  }
  // Each father's children are filtered once, however many of them go.
  for (PLMOccurrence* father : fathers) father->DropRemovedChildren();
  const bool activeGone = !d.treeRoots.empty() && d.treeRoots.front()->IsRemoved();
  std::erase_if(d.treeRoots, [](const PLMOccurrence* r) { return r->IsRemoved(); });
  if (activeGone) d.SetActiveObject();
  d.rootPaths.clear();
  m_treeChanged = true;
  if (m_treeObserver) m_treeObserver(change);
  return change;
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
  const PLMAttribute* a = o ? o->Attribute(attribute) : nullptr;
  return a ? a->value : std::string();
}

PLMOccurrence* PLMSession::ExplorerNodeOf(const PLMObject* object) const {
  return m_impl->explorer ? RootNodeOf(object) : nullptr;
}

PLMOccurrence* PLMSession::RootNodeOf(const PLMObject* object) const {
  for (PLMOccurrence* root : m_impl->treeRoots)
    if (root->reference() == object) return root;
  return nullptr;
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

/// The file a path names once symbolic links are followed, so that saving
/// replaces the file and leaves the links as they are. A dangling link
/// gives the path it points to.
bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    ssize_t n = readlink(target.c_str(), link.data(), link.size());
    if (n < 0) {
      error = "cannot follow the link " + target + ": " + std::strerror(errno);
      return false;
    }
    if (static_cast<std::size_t>(n) >= link.size()) continue;  // it changed under us: read it again
    link.resize(static_cast<std::size_t>(n));
    auto slash = target.rfind('/');
    target = link.front() == '/' || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
  }
  error = "cannot follow the link " + path + ": " + std::strerror(ELOOP);
  return false;
}

/// Writes text to path through a temporary file in the same directory, so
/// that readers see either the old file or the new one, never a part. The
/// new file keeps the old one's permissions and group; a file that its
/// owner made read-only is left alone.
bool WriteAtomically(const std::string& path, const std::string& text, std::string& error) {
  std::string target;
  if (!FollowLinks(path, target, error)) return false;
  struct stat old {};
  const bool exists = stat(target.c_str(), &old) == 0;
  if (exists && (!(old.st_mode & S_IWUSR) || access(target.c_str(), W_OK) != 0)) {
    error = "cannot replace " + target + ": the file is read-only";
    return false;
  }
  mode_t mode = 0;
  if (exists) {
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  std::string tmp = target + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    error = "cannot create a temporary file beside " + target + ": " + std::strerror(errno);
    return false;
  }
  auto fail = [&](const std::string& what) {
    error = what + ": " + std::strerror(errno);
    close(fd);
    unlink(tmp.c_str());
    return false;
  };
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write " + tmp);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  // Owner and group as before where we may set them; else at least the group.
  if (exists && fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Not a member of the group: the file becomes ours, as any rewrite would.
  }
  if (fchmod(fd, mode) != 0) return fail("cannot set the permissions of " + tmp);
  // The data must be on disk before the rename makes it the session.
  if (fsync(fd) != 0) return fail("cannot write " + tmp);
  if (close(fd) != 0) {
    error = "cannot write " + tmp + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  if (std::rename(tmp.c_str(), target.c_str()) != 0) {
    error = "cannot replace " + target + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  // And the rename itself, so that a crash cannot bring the old file back.
  auto slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

Json AttributesAsStored(const std::vector<PLMAttribute>& attributes) {
  Json out = Json::object();
  for (const PLMAttribute& a : attributes) {
    if (!a.typed) {
      out[a.name] = a.value;
      continue;
    }
    Json v = Json::object();
    v["type"] = a.type->name();
    v["value"] = a.value;
    if (!a.zone.empty()) v["zone"] = a.zone;
    out[a.name] = std::move(v);
  }
  return out;
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
    // memory stay unsaved, as in the client. The document is changed in
    // place, and put back as it was when the file cannot be written; a copy
    // would cost as much as the whole session.
    struct Undo {
      Json* entry;
      bool hadAttributes, hadSaved;
      Json attributes, saved;
    };
    std::vector<Undo> undo;
    Json& list = m_impl->doc["objects"];
    for (PLMObject* o : objects) {
      Json& entry = list[m_impl->objectIndex.at(o->data().id)];
      Undo u{&entry, entry.contains("attributes"), entry.contains("saved"), Json(), Json()};
      if (u.hadAttributes) u.attributes = std::move(entry["attributes"]);
      if (u.hadSaved) u.saved = entry["saved"];
      entry["attributes"] = AttributesAsStored(o->data().attributes);
      if (u.hadSaved) entry["saved"] = true;
      undo.push_back(std::move(u));
    }
    if (WriteAtomically(m_path, WriteSessionText(m_impl->doc), error)) {
      for (PLMObject* o : objects) o->MarkSaved();
      record.ok = true;
    } else {
      for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
        if (it->hadAttributes)
          (*it->entry)["attributes"] = std::move(it->attributes);
        else
          it->entry->erase("attributes");
        if (it->hadSaved) (*it->entry)["saved"] = std::move(it->saved);
      }
    }
  }
  record.error = error;
  m_saves.push_back(record);
  if (m_saveObserver) m_saveObserver(m_saves.back());
  return record.ok;
}

}  // namespace elmhost
