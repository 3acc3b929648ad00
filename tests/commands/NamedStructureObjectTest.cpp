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
