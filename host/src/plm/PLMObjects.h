#pragma once

// The session's objects behind the platform's PLM interfaces. Private to the
// host library; the plug-in sees only the interfaces.

#include "CATIAdpPLMIdentificator.h"
#include "CATIAdpPLMUniqueKey.h"
#include "CATIAlias.h"
#include "CATIBuildPath.h"
#include "CATICkeObject.h"
#include "CATINavigateObject.h"
#include "CATIPLMComponent.h"
#include "CATIPLMNavInstance.h"
#include "CATIPLMNavOccurrence.h"
#include "CATIPLMNavReference.h"
#include "CATIType.h"
#include "CATITypeDictionary.h"
#include "CATListValCATAttributeInfos.h"
#include "CATTime.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace elmhost {

class PLMSession;
class PLMOccurrence;

class PLMType : public CATIType {
public:
  PLMType(std::string name, std::string userName) : m_name(std::move(name)), m_userName(std::move(userName)) {}
  CATUnicodeString Name() const override { return m_name.c_str(); }
  CATUnicodeString UserName() const override { return m_userName.c_str(); }
  CATIType_var Supertype() const override { return CATIType_var(m_super); }
  HRESULT ListSubTypes(CATListValCATBaseUnknown_var& subtypes) const override;
  bool IsaKindOf(const CATIType_var& type) const override;
  bool IsShownThroughParent() const override;

  void SetSupertype(PLMType* super);
  const std::string& name() const { return m_name; }
  /// True when this type is the type named name or derives from it.
  bool Derives(const std::string& name) const;
  /// A representation reference: PLMCoreRepReference or a type below it.
  bool IsRepReference() const { return m_repReference; }

private:
  std::string m_name;
  std::string m_userName;
  bool m_repReference = false;
  PLMType* m_super = nullptr;          // the dictionary owns every type
  std::vector<PLMType*> m_subtypes;
};

class PLMTypeDictionary : public CATITypeDictionary {
public:
  PLMTypeDictionary();
  ~PLMTypeDictionary() override;
  HRESULT FindType(const CATUnicodeString& name, CATIType_var& type) const override;

  PLMType* Find(const std::string& name) const;
  /// Adds a type under super (empty: a topmost type); false when the name is taken or super unknown.
  bool Add(const std::string& name, const std::string& super, const std::string& userName);
  bool IsInstanceKind(const std::string& name) const;
  /// The type of attribute values named name ("String", "Date", ...), or null.
  PLMType* FindValueType(const std::string& name) const;
  /// The names of the attribute value types, comma-separated, for messages.
  std::string ValueTypeNames() const;

private:
  std::map<std::string, CATVar<PLMType>> m_types;
  std::map<std::string, CATVar<PLMType>> m_valueTypes;
};

/// An attribute of an object as the session keeps it.
struct PLMAttribute {
  std::string name;
  std::string value;            ///< the text as stored (a date in ISO 8601)
  CATVar<PLMType> type;         ///< the value type
  std::string zone;             ///< a date's zone name as the file gives it; empty when it gives none
  bool typed = false;           ///< written with its type in the file
};

/// A PLM object of the session: a reference or an instance.
class PLMObject : public CATIPLMComponent, public CATICkeObject, public CATIAlias {
public:
  // What a walk over the navigator reads of every node's reference and
  // instance (their attributes and the yes/no query) comes first, beside
  // the object's interface tables, so that it shares their cache line.
  struct Data {
    std::vector<PLMAttribute> attributes;  // in file order
    /// What the navigator's yes/no query answers for this reference: whether
    /// it is a representation (a shape, a drawing) rather than a product.
    /// The file may say so per object; otherwise its type decides.
    bool representation = false;
    bool hasIdentificator = true;
    bool saved = true;
    bool hasAlias = false;  ///< the file gives the alias; otherwise it is the PLM_ExternalID
    std::string id;
    std::string type;
    std::string maturity;
    std::string versionFamily;
    std::string alias;
  };

  PLMObject(PLMSession* session, PLMType* type, Data data)
      : m_data(std::move(data)), m_session(session), m_type(type) {}

  HRESULT GetAdpID(CATIAdpPLMIdentificator*& identificator) override;
  HRESULT GetPLMTypeName(CATUnicodeString& typeName) const override;
  HRESULT GetPLMType(CATIType_var& type) const override;
  HRESULT ShowValue(const CATUnicodeString& name, CATUnicodeString& value) const override;
  HRESULT SetValueFromString(const CATUnicodeString& name, const CATUnicodeString& value) override;
  CATUnicodeString GetAlias() const override;

  const Data& data() const { return m_data; }
  PLMType* type() const { return m_type.get(); }
  PLMSession* session() const { return m_session; }
  void MarkSaved() { m_data.saved = true; }
  /// The session is going away: the object stays usable but answers alone.
  void Detach() { m_session = nullptr; }
  const PLMAttribute* Attribute(const std::string& name) const;
  HRESULT ListAttributes(CATListValCATAttributeInfos& attributes) const;
  HRESULT TimeValue(const std::string& name, CATTime& time) const;

protected:
  HRESULT AttributeValues(const CATUnicodeString& name, CATListValCATUnicodeString& values) const;
  HRESULT AttributeValueList(const CATListValCATUnicodeString& names, CATListValCATUnicodeString& values) const;
  HRESULT RepReferenceAnswer(int& answer) const {
    answer = m_data.representation ? 1 : 0;
    return S_OK;
  }

private:
  Data m_data;
  PLMSession* m_session;
  CATVar<PLMType> m_type;
};

class PLMReferenceObject : public PLMObject, public CATIPLMNavReference {
public:
  using PLMObject::PLMObject;
  HRESULT IsRepReference(int& answer) const override { return RepReferenceAnswer(answer); }
  HRESULT GetAttributeValues(const CATListValCATUnicodeString& names,
                             CATListValCATUnicodeString& values) const override {
    return AttributeValueList(names, values);
  }
  HRESULT GetAttributeValue(const CATUnicodeString& name, CATListValCATUnicodeString& values) const override {
    return AttributeValues(name, values);
  }
  /// In an explorer window the root component also answers for the node
  /// that shows it, so that callers holding only the root can navigate.
  HRESULT QueryInterface(const CATIID& iid, void** ppv) override;
};

class PLMInstanceObject : public PLMObject, public CATIPLMNavInstance {
public:
  using PLMObject::PLMObject;
  HRESULT QueryInterface(const CATIID& iid, void** ppv) override;
  HRESULT IsRepReference(int& answer) const override { return RepReferenceAnswer(answer); }
  HRESULT GetAttributeValues(const CATListValCATUnicodeString& names,
                             CATListValCATUnicodeString& values) const override {
    return AttributeValueList(names, values);
  }
  HRESULT GetAttributeValue(const CATUnicodeString& name, CATListValCATUnicodeString& values) const override {
    return AttributeValues(name, values);
  }
  HRESULT GetFatherComponent(CATIPLMComponent*& father) const override;
  void SetFather(PLMObject* father) {
    if (!m_father) m_father = father;
  }

private:
  CATVar<PLMObject> m_father;
};

class PLMIdentificator : public CATIAdpPLMIdentificator {
public:
  explicit PLMIdentificator(PLMObject* object) : m_object(object) {}
  HRESULT IsSaved(bool& saved) const override;
  CATUnicodeString GetIdentifierText() const override { return m_object->data().id.c_str(); }
  PLMObject* object() const { return m_object.get(); }

private:
  CATVar<PLMObject> m_object;
};

class PLMUniqueKey : public CATIAdpPLMUniqueKey {
public:
  explicit PLMUniqueKey(PLMObject* object) : m_object(object) {}
  PLMObject* object() const { return m_object.get(); }

private:
  CATVar<PLMObject> m_object;
};

/// A node of the navigation tree.
class PLMOccurrence : public CATIPLMNavOccurrence, public CATINavigateObject, public CATIBuildPath {
public:
  PLMOccurrence(std::string id, PLMReferenceObject* reference, PLMInstanceObject* instance, PLMOccurrence* father)
      : m_reference(reference), m_instance(instance), m_father(father), m_top(father ? father->m_top : this),
        m_depth(father ? father->m_depth + 1 : 0), m_id(std::move(id)) {}

  HRESULT GetRelatedReference(CATIPLMNavReference*& reference) const override;
  HRESULT GetRelatedInstance(CATIPLMNavInstance*& instance) const override;
  HRESULT GetFather(CATIPLMNavOccurrence*& father) const override;
  HRESULT ListChildren(CATListValCATBaseUnknown_var& children) const override;
  HRESULT ListChildren(CATListPtrCATIPLMNavOccurrence& children) const override;
  HRESULT GetIdentificators(CATListValCATUnicodeString& identificators) const override;
  HRESULT GetChildren(CATListValCATBaseUnknown_var& children) const override { return ListChildren(children); }
  HRESULT ExtractPathElement(CATPathElement* context, CATPathElement*& path) override;
  HRESULT QueryInterface(const CATIID& iid, void** ppv) override;

  const std::string& id() const { return m_id; }
  PLMOccurrence* father() const { return m_father; }
  /// The root of the tree the node was placed in, and its depth there (0 for a root).
  PLMOccurrence* top() const { return m_top; }
  std::size_t depth() const { return m_depth; }
  PLMReferenceObject* reference() const { return m_reference.get(); }
  PLMInstanceObject* instance() const { return m_instance.get(); }
  const std::vector<PLMOccurrence*>& children() const { return m_children; }
  void AddChild(PLMOccurrence* child) { m_children.push_back(child); }
  /// The node heads a branch that was removed from the tree.
  bool IsRemoved() const { return m_removed; }
  void MarkRemoved() { m_removed = true; }
  /// Drops the children that head removed branches, keeping the others' order.
  void DropRemovedChildren();
  /// The node's own identifiers; without them it shows its reference's alias.
  void SetIdentifiers(std::vector<std::string> identifiers) {
    m_identifiers = std::move(identifiers);
    m_hasIdentifiers = true;
  }
  void Detach() {
    m_father = nullptr;
    m_top = this;
    m_children.clear();
  }

private:
  // What a walk reads of every node first, beside the interface tables.
  CATVar<PLMReferenceObject> m_reference;
  CATVar<PLMInstanceObject> m_instance;
  std::vector<PLMOccurrence*> m_children;
  PLMOccurrence* m_father;                 // the session owns every node
  PLMOccurrence* m_top;
  std::size_t m_depth;
  bool m_removed = false;
  std::string m_id;
  std::vector<std::string> m_identifiers;
  bool m_hasIdentifiers = false;
};

/// The object behind an identificator, or null when it is not one of ours.
PLMObject* ObjectOf(CATIAdpPLMIdentificator* identificator);

}  // namespace elmhost
