#include "ELMNamedStructureObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<ELMNamedStructureObject> Fan(const std::string& prefix, int children) {
  auto top = std::make_unique<ELMNamedStructureObject>(prefix.c_str(), prefix.c_str());
  for (int i = 0; i < children; ++i) {
    const std::string pn = prefix + "-" + std::to_string(i);
    top->AddChild(new ELMNamedStructureObject(pn.c_str(), (pn + ".1").c_str()));
  }
  return top;
}

void ExpectFan(ELMNamedStructureObject& top, const std::string& prefix, int children) {
  ASSERT_EQ(top.GetChildCount(), children);
  for (int i = 0; i < children; i += 97) {
    const std::string pn = prefix + "-" + std::to_string(i);
    EXPECT_EQ(top.GetElement(i + 1), top.GetChildObject(pn.c_str(), (pn + ".1").c_str())) << pn;
  }
}

}  // namespace

// Elements share blocks of memory with the other elements of their thread:
// structures made and freed out of turn, over several blocks, keep their
// own elements, and those freed are taken again (under AddressSanitizer a
// freed element read through a stale pointer is reported).
TEST(NamedStructureObject, StructuresFreedOutOfTurnKeepTheirElements) {
  auto first = Fan("A", 2500);
  auto second = Fan("B", 10);
  first.reset();
  auto third = Fan("C", 3000);
  ExpectFan(*second, "B", 10);
  second.reset();
  ExpectFan(*third, "C", 3000);
  third.reset();
  auto fourth = Fan("D", 5);
  ExpectFan(*fourth, "D", 5);
}

// Names are compared a word at a time: siblings that differ from the names
// asked for in a single byte, wherever it lies and whatever the length,
// never answer for them; the sibling with the very names does. Under
// sixteen siblings they are scanned, from sixteen on found through the index.
TEST(NamedStructureObject, ASiblingDifferingInOneByteAnywhereIsNotAMatch) {
  for (std::size_t length : {1, 7, 8, 9, 15, 16, 17, 24}) {
    const std::string name(length, 'n');
    for (bool inPartNumber : {true, false}) {
      SCOPED_TRACE(std::to_string(length) + (inPartNumber ? " bytes, part number" : " bytes, instance name"));
      ELMNamedStructureObject top("T", "T");
      for (std::size_t i = 0; i < length; ++i) {
        std::string other = name;
        other[i] = 'x';
        top.AddChild(inPartNumber ? new ELMNamedStructureObject(other.c_str(), name.c_str())
                                  : new ELMNamedStructureObject(name.c_str(), other.c_str()));
      }
      top.AddChild(new ELMNamedStructureObject(name.c_str(), name.c_str()));
      EXPECT_EQ(top.GetChildObject(name.c_str(), name.c_str()), top.GetElement(static_cast<int>(length) + 1));
      EXPECT_EQ(top.GetChildObject((name + "n").c_str(), name.c_str()), nullptr);
    }
  }
}
