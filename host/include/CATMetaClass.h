#pragma once

#include "ELMHostExport.h"

#include <string>
#include <utility>

/// Kinds of class the platform's class dictionary knows.
enum CATClassType : int { CATImplementationClass = 1, CATExtensionClass = 2 };

/// What the platform knows of a class: its name, its kind and its base,
/// entered in the class dictionary under its name the first time the class
/// asks for it. Lives until the process ends.
class ExportedByELMHost CATMetaClass {
public:
  /// The entry of className, made on the first call and found on the next
  /// ones (a later call with other arguments gets the first entry).
  static const CATMetaClass* Register(const char* className, int classType, const char* baseName,
                                      const char* lateType, const char* linkage);
  /// The entry registered under name, or null.
  static const CATMetaClass* Find(const char* name);

  const char* IsA() const { return m_name.c_str(); }
  int GetClassType() const { return m_type; }
  /// The base's entry; null for a root class or a base nobody registered.
  const CATMetaClass* GetBase() const;
  const char* GetBaseName() const { return m_base.c_str(); }
  const char* GetLateType() const { return m_late.c_str(); }
  const char* GetLinkage() const { return m_linkage.c_str(); }
  /// 1 when name is this class or one of its bases, else 0.
  int IsAKindOf(const char* name) const;

private:
  CATMetaClass(std::string name, int type, std::string base, std::string late, std::string linkage)
      : m_name(std::move(name)), m_type(type), m_base(std::move(base)), m_late(std::move(late)),
        m_linkage(std::move(linkage)) {}
  std::string m_name;
  int m_type;
  std::string m_base;
  std::string m_late;
  std::string m_linkage;
};

/// In a class body: its name and its meta-object, and the questions the
/// platform asks of an object of the class.
#define CATDeclareClass                          \
public:                                          \
  static const CATMetaClass* MetaObject();       \
  static const char* ClassName();                \
  const char* IsA() const;                       \
  int IsAKindOf(const char* name) const;

/// Once, in a source file of the library that owns Class.
#define CATImplementClass(Class, Type, Base, LateType, Linkage)                                      \
  const CATMetaClass* Class::MetaObject() {                                                       \
    static const CATMetaClass* meta = CATMetaClass::Register(#Class, Type, #Base, LateType, Linkage); \
    return meta;                                                                                  \
  }                                                                                               \
  const char* Class::ClassName() { return MetaObject()->IsA(); }                                  \
  const char* Class::IsA() const { return MetaObject()->IsA(); }                                  \
  int Class::IsAKindOf(const char* name) const { return MetaObject()->IsAKindOf(name); }
