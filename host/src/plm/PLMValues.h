#pragma once

// Attribute values as session files write them. Private to the host library.

#include "CATTime.h"

#include <string>

namespace elmhost {

/// Reads a time written "YYYY-MM-DDThh:mm:ss" followed by "Z" or "+hh:mm" /
/// "-hh:mm"; zone is the zone's name (empty: none given). On failure why
/// says what is wrong and time is unchanged.
bool ParseTime(const std::string& text, const std::string& zone, CATTime& time, std::string& why);

/// Checks that text is a value of the value type typeName ("String",
/// "Integer", "Real", "Boolean", "Date"); why says what is wrong.
bool CheckValue(const std::string& typeName, const std::string& text, std::string& why);

}  // namespace elmhost
