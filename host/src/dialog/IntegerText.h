#pragma once

#include <string>

namespace elmhost {

/// The whole text as a decimal integer in int's range, blanks around it
/// allowed: what an integer editor accepts from a person.
bool ReadIntegerText(const std::string& text, int& value);

}  // namespace elmhost
