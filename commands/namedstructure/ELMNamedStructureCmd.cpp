#include "ELMNamedStructureCmd.h"

#include "ELMGlobal.h"
#include "ELMCommandKit.h"
#include "ELMNamedStructureDialogs.h"
#include "ELMNamedStructureObject.h"
#include "ELMRequestXml.h"
#include "ELMScopeStack.h"
#include "ELMTrace.h"
#include "HtmlRequest.h"

#include "CATAfrStartCommand.h"
#include "CATApplicationFrame.h"
#include "CATCSO.h"
#include "CATCkeObjectAttrReadServices.h"
#include "CATDlgWindow.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATIBuildPath.h"
#include "CATICkeObject.h"
#include "CATIPLMNavEntity.h"
#include "CATIPLMNavInstance.h"
#include "CATIPLMNavReference.h"
#include "CATListValCATBaseUnknown_var.h"
#include "CATPLMComponentInterfacesServices.h"
#include "CATPathElement.h"
#include "CATRawCollint.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Each text's default is given: most are the key itself, not the kit's
// "class key" form.
const ELMCatalog kCatalog{"NamedStructureCmd", "ELMNamedStructureCmd"};
const char* const kExternalId = "PLM_ExternalID";

CATUnicodeString Number(int value) {
  CATUnicodeString s;
  s.BuildFromNum(value);
  return s;
}

/// The one "PLM_ExternalID" value of a navigator entity (a node's reference
/// or instance), or empty.
CATUnicodeString ExternalIdOf(CATIPLMNavEntity* entity) {
  if (!entity) return CATUnicodeString();
  // Asked for every node of a walk: the one-name list is made once.
  static const CATListValCATUnicodeString names = [] {
    CATListValCATUnicodeString list;
    list.Append(kExternalId);
    return list;
  }();
  // So is the list of answers: cleared, not freed, between the asks.
  thread_local CATListValCATUnicodeString values;
  values.RemoveAll();
  if (FAILED(entity->GetAttributeValues(names, values)) || values.Size() != 1) return CATUnicodeString();
  return std::move(values[1]);
}

// Steps of the command's stages, not operations of their own: they write
// no trace lines besides those of the stage that runs them.

/// The root component's "PLM_ExternalID"; fails when it cannot be read or is empty.
HRESULT ReadRootIdentifier(const CATIPLMComponent_var& root, CATUnicodeString& identifier) {
  identifier = CATUnicodeString();
  if (!root) return E_FAIL;
  HRESULT rc = CATCkeObjectAttrReadServices::ShowAttributeValue(CATICkeObject_var(root), kExternalId,
                                                                identifier);
  if (SUCCEEDED(rc) && identifier.IsNull()) rc = E_FAIL;
  return rc;
}

/// The report dialog with the status line, an empty line and the lines.
void ShowReport(bool succeeded, CATListValCATUnicodeString& lines) {
  CATApplicationFrame* frame = CATApplicationFrame::GetFrame();
  CATDlgWindow* document = frame ? frame->GetApplicationDocument() : nullptr;
  if (!document) return;
  // The document window owns the report, which outlives the command.
  auto* dialog = new ELMNamedStructureInfoDialog(document, "oak_named_structure_infos");
  dialog->Build();
  lines.InsertAt(1, CATUnicodeString());
  lines.InsertAt(1, succeeded ? kCatalog.Message("MsgFinishedOK", nullptr, 0, "ELMNamedStructureCmd MsgFinishedOK")
                              : kCatalog.Message("MsgFailed", nullptr, 0, "ELMNamedStructureCmd MsgFailed"));
  dialog->AddMessages(lines);
  dialog->SetVisibility(CATDlgShow);
}

/// Selects the occurrences of removals in the editor and starts the host's
/// remove-branch command on them; gives up the removals' references.
void RemoveBranches(CATFrmEditor* editor, CATListPtrCATIPLMNavOccurrence& removals) {
  CATPathElement active(editor->GetUIActiveObject());
  if (CATCSO* cso = editor->GetCSO()) {
    cso->Empty(1);
    for (CATIPLMNavOccurrence*& occurrence : removals) {
      if (!occurrence) continue;
      CATIBuildPath* builder = nullptr;
      if (SUCCEEDED(occurrence->QueryInterface(CATIBuildPath::ClassId(), reinterpret_cast<void**>(&builder))) &&
          builder) {
        CATPathElement* path = nullptr;
        if (SUCCEEDED(builder->ExtractPathElement(&active, path)) && path) {
          cso->AddElement(path, 1);
          path->Release();
        }
        builder->Release();
      }
      occurrence->Release();
      occurrence = nullptr;
    }
    removals.RemoveAll();
  }
  CATAfrStartCommand("CATImmRemoveBranchCmd");
}

}  // namespace

ELMNamedStructureCmd::ELMNamedStructureCmd() : CATCommand("ELMNamedStructureCmd", CATCommandModeExclusive) {
  ELM_SCOPE("ELMNamedStructureCmd::ELMNamedStructureCmd");
  m_pEditor = CATFrmEditor::GetCurrentEditor();
}

ELMNamedStructureCmd::~ELMNamedStructureCmd() {
  ELM_SCOPE("ELMNamedStructureCmd::~ELMNamedStructureCmd");
  m_spRootComponent = nullptr;
}

CATStatusChangeRC ELMNamedStructureCmd::Desactivate(CATCommand* from, CATNotification* notification) {
  ELM_SCOPE("ELMNamedStructureCmd::Desactivate");
  return Activate(from, notification);
}

CATStatusChangeRC ELMNamedStructureCmd::Cancel(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMNamedStructureCmd::Cancel");
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

void ELMNamedStructureCmd::CancelCommand() {
  ELM_SCOPE("ELMNamedStructureCmd::CancelCommand");
  RequestDelayedDestruction();
}

CATStatusChangeRC ELMNamedStructureCmd::Activate(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMNamedStructureCmd::Activate");
  if (!CATFrmLayout::GetCurrentLayout()) ELM_FAIL_POINT();

  CATApplicationFrame* frame = CATApplicationFrame::GetFrame();
  if (frame && !(frame->GetCurrentWorkshop() == "ImmNavWorkshop")) {
    CATUnicodeString title = kCatalog.Message("MsgTitle", nullptr, 0, "MsgTitle");
    CATUnicodeString text = kCatalog.Message("MsgWrongWorkshop", nullptr, 0, "MsgWrongWorkshop");
    ELMShowBox("ELMWarning", CATDlgNfyError | CATDlgNfyOK, text, title);
    RequestDelayedDestruction();
    return CATStatusChangeRCCompleted;
  }

  CATListValCATUnicodeString messages;
  // The documents are the operation's own: they end when it returns, after
  // the report, not when the stage does.
  std::optional<ELMRequestXml> request;
  std::optional<ELMRequestXml> response;
  // The first stage; false reports failure, true success, and a names
  // dialog that was shown leaves the command waiting (waiting = true).
  bool waiting = false;
  auto stage = [&]() -> bool {
    CATListValCATBaseUnknown_var roots;
    if (FAILED(CATPLMComponentInterfacesServices::GetEditedRootPLMComponents(m_pEditor, roots)) || roots.Size() == 0)
      return false;
    m_spRootComponent = CATIPLMComponent_var(roots[1]);
    if (!m_spRootComponent) return false;

    CATUnicodeString rootId;
    if (FAILED(ReadRootIdentifier(m_spRootComponent, rootId))) {
      messages.Append(kCatalog.Message("RootNotExpanded", nullptr, 0, "RootNotExpanded"));
      return true;
    }

    request.emplace("GetStructureNames");
    request->AddRequestAttribute("ContextPartNumber", rootId);
    response.emplace();
    if (FAILED(HtmlRequest::DoRequest(*request, *response))) return false;

    unsigned char hasErrors = 0;
    CATRawCollint errorCodes;
    CATListValCATUnicodeString errorTexts;
    response->GetErrors(hasErrors, &errorCodes, &errorTexts);
    ELM_NOTE(CATUnicodeString("bHasErrors [") + (hasErrors ? "TRUE" : "FALSE") + "]");
    for (int i = 1; i <= errorCodes.Size() && i <= errorTexts.Size(); ++i) {
      messages.Append(errorTexts[i]);
      ELM_NOTE("error [" + Number(errorCodes[i]) + "]: " + errorTexts[i]);
    }
    CATRawCollint messageCodes;
    CATListValCATUnicodeString messageTexts;
    response->GetMessages(messageCodes, messageTexts);
    for (int i = 1; i <= messageCodes.Size() && i <= messageTexts.Size(); ++i)
      ELM_NOTE("message [" + Number(messageCodes[i]) + "]: " + messageTexts[i]);
    if (hasErrors) return false;

    CATListValCATUnicodeString names;
    if (FAILED(response->GetResponseAttributeList("OakNames", names, nullptr)) || names.Size() == 0) {
      messages.Append(kCatalog.Message("NoStoredNamesFound", nullptr, 0, "NoStoredNamesFound"));
      return true;
    }

    CATDlgWindow* document = frame ? frame->GetApplicationDocument() : nullptr;
    CATIAdpPLMIdentificator* identificator = nullptr;
    HRESULT rc = document ? m_spRootComponent->GetAdpID(identificator) : E_FAIL;
    CATIAdpPLMIdentificator_var heldId;
    heldId.Attach(identificator);
    if (FAILED(rc) || !heldId) return false;

    auto* dialog = new ELMNamesSelectDialog(document, "oak_names_select");
    dialog->Build();
    dialog->SetELMNames(names);
    dialog->SetCommandData(this);
    dialog->SetVisibility(CATDlgShow);
    waiting = true;
    return true;
  };

  bool succeeded = stage();
  if (waiting) return CATStatusChangeRCCompleted;
  ShowReport(succeeded, messages);
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

HRESULT ELMNamedStructureCmd::ExpandAndFilter(CATUnicodeString name) {
  ELM_SCOPE("ELMNamedStructureCmd::ExpandAndFilter");
  CATListValCATUnicodeString messages;
  CATListPtrCATIPLMNavOccurrence removals;
  // The documents and the stored tree are the operation's own: they end
  // when it returns, after the report.
  std::optional<ELMRequestXml> request;
  std::optional<ELMRequestXml> response;
  std::unique_ptr<ELMNamedStructureObject> structure;

  auto stage = [&]() -> bool {
    if (!m_spRootComponent || name.IsNull()) return false;
    CATUnicodeString rootId;
    if (FAILED(ReadRootIdentifier(m_spRootComponent, rootId))) {
      ELM_FAIL_POINT();
      return false;
    }
    request.emplace("GetStructureForName");
    request->AddRequestAttribute("ContextPartNumber", rootId);
    request->AddRequestAttribute("OakName", name);
    response.emplace();
    if (FAILED(HtmlRequest::DoRequest(*request, *response))) {
      ELM_FAIL_POINT();
      return false;
    }

    CATIDOMElement_var element;
    CATIDOMNodeList_var children;
    if (SUCCEEDED(response->GetResponse(element)) && element && SUCCEEDED(element->GetChildNodes(children)) &&
        children) {
      const unsigned int n = children->GetLength();
      for (unsigned int i = 0; i < n; ++i) {
        CATIDOMNode_var node;
        if (FAILED(children->Item(i, node)) || !node || node->GetNodeType() != CATIDOMNode::ELEMENT_NODE) continue;
        CATUnicodeString nodeName;
        node->GetNodeName(nodeName);
        if (!(nodeName == "ELMNamedStructure")) continue;
        structure = std::make_unique<ELMNamedStructureObject>("ROOT", "ROOT");
        RetrieveObjectsRecursive(structure.get(), CATIDOMElement_var(node));
      }
    }

    CATIPLMNavOccurrence_var occurrence(m_spRootComponent);
    if (!occurrence || !structure) return false;
    ELMNamedStructureObject* top = structure->GetElement(1);
    if (!top) return false;

    SilverBrowseOccurrence(occurrence, top, removals);

    CATListValCATUnicodeString unhandled;
    top->GetUnhandledObjects(unhandled);
    if (unhandled.Size() > 0) {
      messages.Append(kCatalog.Message("UnhandledElementsFound", nullptr, 0, "Unhandled Elements found:"));
      ELM_NOTE("Unhandled Elements found:");
      for (const CATUnicodeString& line : unhandled) {
        messages.Append(line);
        ELM_NOTE("Unhandled: [" + line + "]");
      }
    }
    return true;
  };

  bool succeeded = stage();
  if (m_pEditor && removals.Size() > 0) RemoveBranches(m_pEditor, removals);
  for (CATIPLMNavOccurrence* o : removals)
    if (o) o->Release();
  removals.RemoveAll();
  ShowReport(succeeded, messages);
  RequestDelayedDestruction();
  return S_OK;
}

void ELMNamedStructureCmd::RetrieveObjectsRecursive(ELMNamedStructureObject* parent, CATIDOMElement_var element) {
  ELM_SCOPE("ELMNamedStructureCmd::RetrieveObjectsRecursive");
  if (!element || !parent) return;
  // A stored structure may be far deeper than the stack: each level is a
  // frame of this walk, visited in document order as the recursion would.
  // A level holds the next sibling to look at rather than a list of its
  // children, so a level costs nothing but its frame.
  struct Level {
    ELMNamedStructureObject* parent;
    CATIDOMNode_var next;
  };
  ELMScopeStack scopes(elmScope);
  std::vector<Level> stack;
  stack.push_back({parent, {}});
  element->GetFirstChild(stack.back().next);
  const CATUnicodeString pnName("pn"), inName("in");
  while (!stack.empty()) {
    Level& level = stack.back();
    if (!level.next) {
      stack.pop_back();
      if (!stack.empty()) scopes.Close();
      continue;
    }
    CATIDOMNode_var node = std::move(level.next);
    node->GetNextSibling(level.next);
    // Only an element answers as one: text, comments and instructions,
    // whatever their names, fail the view.
    CATUnicodeString nodeName;
    node->GetNodeName(nodeName);
    if (!(nodeName == "O")) continue;
    CATIDOMElement_var child(node);
    if (!child) continue;
    CATUnicodeString pn, in;
    child->GetAttribute(pnName, pn);
    child->GetAttribute(inName, in);
    auto* object = new ELMNamedStructureObject(std::move(pn), std::move(in));
    level.parent->AddChild(object);
    scopes.Open();
    CATIDOMNode_var first;
    child->GetFirstChild(first);
    stack.push_back({object, std::move(first)});
  }
}

CATUnicodeString ELMNamedStructureCmd::GetPartnumberFromOccurrence(CATIPLMNavOccurrence_var& occurrence) {
  ELM_SCOPE("ELMNamedStructureCmd::GetPartnumberFromOccurrence");
  CATIPLMNavReference* reference = nullptr;
  if (occurrence) occurrence->GetRelatedReference(reference);
  CATVar<CATIPLMNavReference> held;
  held.Attach(reference);
  return ExternalIdOf(reference);
}

CATUnicodeString ELMNamedStructureCmd::GetInstanceNameFromOccurrence(CATIPLMNavOccurrence_var& occurrence) {
  ELM_SCOPE("ELMNamedStructureCmd::GetInstanceNameFromOccurrence");
  CATIPLMNavInstance* instance = nullptr;
  if (occurrence) occurrence->GetRelatedInstance(instance);
  CATVar<CATIPLMNavInstance> held;
  held.Attach(instance);
  return ExternalIdOf(instance);
}

void ELMNamedStructureCmd::SilverBrowseOccurrence(CATIPLMNavOccurrence_var& occurrence, ELMNamedStructureObject* node,
                                                  CATListPtrCATIPLMNavOccurrence& removals) {
  ELM_SCOPE("ELMNamedStructureCmd::SilverBrowseOccurrence");
  // Depth first as a recursion would go, but with a stack of its own: a
  // product tree may be deeper than the call stack allows. Each visit holds
  // the children it has still to look at.
  struct Visit {
    ELMNamedStructureObject* node;
    CATListPtrCATIPLMNavOccurrence children;
    int next;
  };
  ELMScopeStack scopes(elmScope);
  // The visits in progress are stack[0, depth); the frames above keep their
  // lists' room for the next visits at that depth.
  std::vector<Visit> stack;
  std::size_t depth = 0;

  // Steps of one visit before its children; false when nothing beneath the
  // occurrence takes part.
  // A child's names were just read to find its element; with the trace
  // off nothing tells a second reading from the first, so they are handed
  // on instead of read again (the trace shows each visit's own reading).
  auto begin = [&](CATIPLMNavOccurrence_var& occ, ELMNamedStructureObject* n, CATUnicodeString* known) -> bool {
    const bool reuse = known && ELMDebug::s_iDebug == 0;
    CATUnicodeString read[2];
    if (!reuse) {
      read[0] = GetPartnumberFromOccurrence(occ);
      read[1] = GetInstanceNameFromOccurrence(occ);
    }
    CATUnicodeString& partNumber = reuse ? known[0] : read[0];
    CATUnicodeString& instanceName = reuse ? known[1] : read[1];
    bool root = false;
    if (instanceName.IsNull() && n) {
      // A root has no instance: it meets the top element by its part number alone.
      instanceName = partNumber;
      n->SetHandled();
      root = true;
    }
    ELM_NOTE("PartNmuber: [" + partNumber + "]");
    ELM_NOTE("InstanceName: [" + instanceName + "]");
    // Names handed on are the ones n was just found by, unless a root's
    // stood in for its missing instance name: comparing them again cannot fail.
    const bool foundByThem = reuse && !root;
    if (!n || (!foundByThem && (!(n->GetPartNumber() == partNumber) || !(n->GetInstanceName() == instanceName))))
      return false;
    if (depth == stack.size()) stack.emplace_back();
    Visit& visit = stack[depth++];
    visit.node = n;
    visit.next = 1;
    visit.children.RemoveAll();
    occ->ListChildren(visit.children);
    return true;
  };

  begin(occurrence, node, nullptr);
  while (depth > 0) {
    Visit& visit = stack[depth - 1];
    if (visit.next > visit.children.Size()) {
      --depth;
      if (depth > 0) scopes.Close();
      continue;
    }
    ELMNamedStructureObject* parentNode = visit.node;
    CATIPLMNavOccurrence_var child;
    child.Attach(visit.children[visit.next]);
    visit.children[visit.next++] = nullptr;
    if (!child) continue;

    CATIPLMNavReference* rawReference = nullptr;
    child->GetRelatedReference(rawReference);
    CATVar<CATIPLMNavReference> reference;
    reference.Attach(rawReference);
    if (!reference) continue;
    int answer = 1;
    // A reference is an entity by its interface: viewed through the
    // handle that already holds it, without a hold of its own.
    CATIPLMNavEntity* entity = reference.get();
    entity->IsRepReference(answer);
    if (answer != 0) continue;

    // With the trace off nothing tells the part number read through the
    // reference just viewed from one read through a fresh view of it.
    CATUnicodeString names[2] = {
        ELMDebug::s_iDebug == 0 ? ExternalIdOf(entity) : GetPartnumberFromOccurrence(child),
        GetInstanceNameFromOccurrence(child)};
    if (ELMNamedStructureObject* found = parentNode->GetChildObject(names[0], names[1])) {
      found->SetHandled();
      scopes.Open();
      if (!begin(child, found, names)) scopes.Close();
    } else {
      CATIPLMNavOccurrence* removal = nullptr;
      if (SUCCEEDED(child->QueryInterface(CATIPLMNavOccurrence::ClassId(), reinterpret_cast<void**>(&removal))) &&
          removal)
        removals.Append(removal);
    }
  }
}

