#include "RequestHandler.h"

#include "PdmStore.h"
#include "SafeText.h"

#include <pugixml.hpp>

#include <charconv>
#include <functional>
#include <map>
#include <optional>

namespace elmserver {
namespace {

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override { out.append(static_cast<const char*>(data), size); }
};

/// Replaces what XML forbids in every value of the tree. Values come from
/// clients and from the store, and pugixml writes whatever bytes it holds,
/// so an echoed control character or a stored byte that is not UTF-8 would
/// otherwise make the whole answer unreadable.
struct XmlSafeWalker : pugi::xml_tree_walker {
  bool for_each(pugi::xml_node& node) override {
    for (pugi::xml_attribute a : node.attributes())
      if (!IsXmlSafe(a.value())) a.set_value(XmlSafe(a.value()).c_str());
    if ((node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) && !IsXmlSafe(node.value()))
      node.set_value(XmlSafe(node.value()).c_str());
    return true;
  }
};

std::string Serialize(pugi::xml_document& doc) {
  XmlSafeWalker safe;
  doc.traverse(safe);
  StringWriter w;
  doc.save(w, "", pugi::format_raw, pugi::encoding_utf8);
  return std::move(w.out);
}

void AddDeclaration(pugi::xml_document& doc) {
  auto decl = doc.prepend_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
}

/// The answer to one request that reached "Request": everything goes into
/// "Response", errors included.
class Reply {
public:
  Reply(const std::string& name, const std::optional<std::string>& id) {
    AddDeclaration(m_doc);
    m_response = m_doc.append_child("ELM").append_child("Response");
    if (!name.empty()) m_response.append_attribute("name") = name.c_str();
    if (id) m_response.append_attribute("id") = id->c_str();
    m_answer.requestName = name.empty() ? "-" : name;
    m_answer.requestId = id ? *id : "-";
  }

  void Attribute(const std::string& name, const std::string& value) {
    auto a = m_response.append_child("Attribute");
    a.append_attribute("name") = name.c_str();
    a.append_attribute("value") = value.c_str();
  }
  pugi::xml_node Element(const char* name) { return m_response.append_child(name); }
  void Error(ErrorCode code, const std::string& text) {
    auto e = m_response.append_child("Error");
    e.append_attribute("code") = static_cast<int>(code);
    e.text() = text.c_str();
    m_answer.errorCodes.push_back(static_cast<int>(code));
  }
  void Message(int code, const std::string& text) {
    auto m = m_response.append_child("Message");
    m.append_attribute("code") = code;
    m.text() = text.c_str();
  }
  bool HasErrors() const { return !m_answer.errorCodes.empty(); }
  Answer Finish() {
    m_answer.body = Serialize(m_doc);
    return std::move(m_answer);
  }

private:
  pugi::xml_document m_doc;
  pugi::xml_node m_response;
  Answer m_answer;
};

/// The request attributes in the order they came; the first of a name wins,
/// as it does for the client's own reader.
class Attributes {
public:
  explicit Attributes(const pugi::xml_node& request) {
    for (auto a : request.children("Attribute"))
      if (auto n = a.attribute("name")) m_items.emplace_back(n.value(), a.attribute("value").value());
  }
  const std::vector<std::pair<std::string, std::string>>& Items() const { return m_items; }
  const std::string* Find(const std::string& name) const {
    for (const auto& [n, v] : m_items)
      if (n == name) return &v;
    return nullptr;
  }

private:
  std::vector<std::pair<std::string, std::string>> m_items;
};

/// Reads a required attribute; on absence (or emptiness, unless allowed)
/// adds the matching error and gives nothing.
std::optional<std::string> Require(const Attributes& attrs, const char* name, Reply& reply, bool allowEmpty = false) {
  const std::string* v = attrs.Find(name);
  if (!v) {
    reply.Error(ErrorCode::MissingAttribute, std::string("The request attribute \"") + name + "\" is missing.");
    return std::nullopt;
  }
  if (v->empty() && !allowEmpty) {
    reply.Error(ErrorCode::EmptyAttribute, std::string("The request attribute \"") + name + "\" is empty.");
    return std::nullopt;
  }
  return *v;
}

std::optional<bool> RequireFlag(const Attributes& attrs, const char* name, Reply& reply) {
  auto v = Require(attrs, name, reply);
  if (!v) return std::nullopt;
  if (*v == "true") return true;
  if (*v == "false") return false;
  reply.Error(ErrorCode::InvalidValue,
              std::string("The request attribute \"") + name + "\" must be true or false, not \"" + *v + "\".");
  return std::nullopt;
}

void Test(PdmStore&, const Attributes& attrs, const std::string&, Reply& reply) {
  for (const auto& [name, value] : attrs.Items()) reply.Attribute(name, value);
}

void GetPartnumber(PdmStore& store, const Attributes& attrs, const std::string& id, Reply& reply) {
  auto current = Require(attrs, "PartNumber", reply);
  if (!current) return;
  IssuedNumber issued = store.IssuePartNumber(*current, id);
  reply.Attribute("PartNumber", issued.partNumber);
}

void GetSettingsInfo(PdmStore& store, const Attributes&, const std::string&, Reply& reply) {
  for (const char* name : {setting::kShowSendConfiguration, setting::kUseBookmark})
    reply.Element(name).append_attribute("value") = store.Setting(name) == "true" ? "true" : "false";
}

void SendEnoviaObjectToTC(PdmStore& store, const Attributes& attrs, const std::string& id, Reply& reply) {
  TransferRequest t;
  t.requestId = id;
  // Every attribute is checked before anything is refused, so one answer
  // lists all that is wrong with the request.
  auto exp = RequireFlag(attrs, "3DEXP", reply);
  if (exp && !*exp)
    reply.Error(ErrorCode::InvalidValue, "The request attribute \"3DEXP\" must be true: only 3DEXPERIENCE clients are served.");
  // A client that cannot read its login still sends the transfer, with an
  // empty user; it is recorded under that empty user.
  auto user = Require(attrs, "user", reply, true);
  auto type = Require(attrs, "type", reply);
  auto name = Require(attrs, "name", reply);
  // Folders and bookmarks may have no revision.
  auto revision = Require(attrs, "revision", reply, true);
  auto transferType = Require(attrs, "transfer_type", reply);
  if (transferType && *transferType != "VPMReference" && *transferType != "Folder" && *transferType != "Bookmark") {
    reply.Error(ErrorCode::InvalidValue, "The request attribute \"transfer_type\" must be VPMReference, Folder or Bookmark, not \"" +
                                             *transferType + "\".");
    transferType.reset();
  }
  auto level = Require(attrs, "expand_level", reply);
  if (level) {
    int v = 0;
    auto [end, ec] = std::from_chars(level->data(), level->data() + level->size(), v);
    if (ec != std::errc() || end != level->data() + level->size() || v < -1) {
      reply.Error(ErrorCode::InvalidValue, "The request attribute \"expand_level\" must be -1 (all levels) or a level from 0 on, not \"" +
                                               *level + "\".");
    } else {
      t.expandLevel = v;
    }
  }
  auto force = RequireFlag(attrs, "force", reply);
  auto removeExisting = RequireFlag(attrs, "remove_existing", reply);
  auto sendConfiguration = RequireFlag(attrs, "send_configuration", reply);
  auto folderOnly = RequireFlag(attrs, "folder_only", reply);
  auto parallel = RequireFlag(attrs, "TRANSFER_SUBSTRUCTURES_PARALLEL", reply);
  if (reply.HasErrors()) return;

  t.user = *user;
  t.type = *type;
  t.name = *name;
  t.revision = *revision;
  t.transferType = *transferType;
  t.force = *force;
  t.removeExisting = *removeExisting;
  t.sendConfiguration = *sendConfiguration;
  t.folderOnly = *folderOnly;
  t.parallel = *parallel;
  TransferRecord rec = store.RecordTransfer(t);
  reply.Attribute("TransferId", std::to_string(rec.id));
  reply.Message(2000, "Transfer " + std::to_string(rec.id) + " of " + t.name +
                          (t.user.empty() ? " recorded without a user name." : " recorded for " + t.user + "."));
}

void GetStructureNames(PdmStore& store, const Attributes& attrs, const std::string&, Reply& reply) {
  auto context = Require(attrs, "ContextPartNumber", reply);
  if (!context) return;
  auto names = store.StructureNames(*context);
  if (store.Setting(setting::kNamesListForm) == "elements") {
    auto list = reply.Element("Attribute");
    list.append_attribute("name") = "OakNames";
    for (const auto& n : names) {
      auto item = list.append_child("Item");
      item.append_attribute("value") = n.name.c_str();
      if (n.isDefault) item.append_attribute("default") = "true";
    }
  } else {
    std::string joined;
    for (const auto& n : names) {
      if (!joined.empty()) joined += "@EOL@";
      joined += n.name;
    }
    reply.Attribute("OakNames", joined);
  }
}

void AppendNodes(pugi::xml_node parent, const std::vector<StructureNode>& nodes) {
  // path[d] receives the elements of depth d; the store keeps the depths in order.
  std::vector<pugi::xml_node> path{parent};
  for (const auto& n : nodes) {
    path.resize(n.depth + 1);
    auto o = path.back().append_child("O");
    o.append_attribute("pn") = n.pn.c_str();
    o.append_attribute("in") = n.in.c_str();
    path.push_back(o);
  }
}

void GetStructureForName(PdmStore& store, const Attributes& attrs, const std::string&, Reply& reply) {
  auto context = Require(attrs, "ContextPartNumber", reply);
  auto name = Require(attrs, "OakName", reply);
  if (!context || !name) return;
  auto s = store.Structure(*context, *name);
  if (!s) {
    reply.Error(ErrorCode::UnknownStructure, "No structure named \"" + *name + "\" is stored for " + *context + ".");
    return;
  }
  AppendNodes(reply.Element("ELMNamedStructure"), s->nodes);
}

void GetProcessInfoForUser(PdmStore& store, const Attributes& attrs, const std::string&, Reply& reply) {
  // The empty user has processes of its own: the transfers of clients that
  // could not read their login.
  auto user = Require(attrs, "USER", reply, true);
  if (!user) return;
  auto list = reply.Element("Processes");
  for (const auto& p : store.Processes(*user)) {
    auto pd = list.append_child("PD");
    pd.append_attribute("Activity") = p.activity.c_str();
    pd.append_attribute("Status") = p.status.c_str();
    pd.append_attribute("Description") = p.description.c_str();
    pd.append_attribute("Start") = p.start.c_str();
    pd.append_attribute("End") = p.end.c_str();
    pd.append_attribute("User") = p.user.c_str();
    pd.append_attribute("ErrorMsg") = p.errorMsg.c_str();
  }
}

using Function = void (*)(PdmStore&, const Attributes&, const std::string&, Reply&);

const std::map<std::string, Function>& Functions() {
  static const std::map<std::string, Function> functions = {
      {"Test", Test},
      {"GetPartnumber", GetPartnumber},
      {"GetSettingsInfo", GetSettingsInfo},
      {"SendEnoviaObjectToTC", SendEnoviaObjectToTC},
      {"GetStructureNames", GetStructureNames},
      {"GetStructureForName", GetStructureForName},
      {"GetProcessInfoForUser", GetProcessInfoForUser},
  };
  return functions;
}

}  // namespace

Answer RequestHandler::ErrorAnswer(ErrorCode code, const std::string& text) {
  pugi::xml_document doc;
  AddDeclaration(doc);
  auto e = doc.append_child("ELM").append_child("Error");
  e.append_attribute("code") = static_cast<int>(code);
  e.text() = text.c_str();
  Answer a;
  a.body = Serialize(doc);
  a.requestName = "-";
  a.requestId = "-";
  a.errorCodes.push_back(static_cast<int>(code));
  return a;
}

Answer RequestHandler::Handle(std::string_view body) const {
  pugi::xml_document doc;
  // pugixml never loads a DTD or an external entity, so a hostile body can
  // neither read local files nor inflate itself.
  pugi::xml_parse_result parsed =
      doc.load_buffer(body.data(), body.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_auto);
  if (!parsed) {
    if (body.empty()) return ErrorAnswer(ErrorCode::NotXml, "The request body is empty; an ELM request document was expected.");
    return ErrorAnswer(ErrorCode::NotXml, std::string("The request body is not well-formed XML: ") + parsed.description() +
                                              " at byte " + std::to_string(parsed.offset) + ".");
  }
  // Kept only to be refused: the client never sends one, and entity
  // declarations in a request mean someone probes the parser.
  for (pugi::xml_node n : doc.children())
    if (n.type() == pugi::node_doctype)
      return ErrorAnswer(ErrorCode::NotARequest, "The request document must not carry a document type declaration.");
  pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != "ELM")
    return ErrorAnswer(ErrorCode::NotARequest,
                       std::string("The request document's root is \"") + root.name() + "\"; \"ELM\" was expected.");
  pugi::xml_node request = root.child("Request");
  if (!request) return ErrorAnswer(ErrorCode::NotARequest, "The request document holds no \"Request\" element.");

  std::string name = request.attribute("name").value();
  std::optional<std::string> id;
  if (auto a = request.attribute("id")) id = a.value();
  Reply reply(name, id);
  if (name.empty()) {
    reply.Error(ErrorCode::NoFunctionName, "The request names no server function.");
    return reply.Finish();
  }
  auto fn = Functions().find(name);
  if (fn == Functions().end()) {
    std::string known;
    for (const auto& [n, f] : Functions()) known += (known.empty() ? "" : ", ") + n;
    reply.Error(ErrorCode::UnknownFunction, "The server function \"" + name + "\" is unknown; this server offers " + known + ".");
    return reply.Finish();
  }
  Attributes attrs(request);
  try {
    fn->second(m_store, attrs, id.value_or(""), reply);
  } catch (const StoreError& e) {
    // Nothing was committed: the request may simply be sent again.
    reply.Error(ErrorCode::StoreFailure, std::string("The request was not carried out: ") + e.what() + ".");
  }
  return reply.Finish();
}

}  // namespace elmserver
