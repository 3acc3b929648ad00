#include "PLMValues.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace elmhost {

namespace {

const char* const kTimeForm = "expected YYYY-MM-DDThh:mm:ss followed by Z or +hh:mm";

// Reads count digits at text[pos]; false when one of them is not a digit.
bool Digits(const std::string& text, std::size_t pos, int count, int& value) {
  if (pos + static_cast<std::size_t>(count) > text.size()) return false;
  value = 0;
  for (int i = 0; i < count; ++i) {
    char c = text[pos + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool At(const std::string& text, std::size_t pos, char c) { return pos < text.size() && text[pos] == c; }

int DaysIn(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

bool ParseTime(const std::string& text, const std::string& zone, CATTime& time, std::string& why) {
  int y, mo, d, h, mi, s;
  bool shape = Digits(text, 0, 4, y) && At(text, 4, '-') && Digits(text, 5, 2, mo) && At(text, 7, '-') &&
               Digits(text, 8, 2, d) && At(text, 10, 'T') && Digits(text, 11, 2, h) && At(text, 13, ':') &&
               Digits(text, 14, 2, mi) && At(text, 16, ':') && Digits(text, 17, 2, s);
  int offset = 0;
  if (shape && text.size() == 20 && text[19] == 'Z') {
    offset = 0;
  } else if (shape && text.size() == 25 && (text[19] == '+' || text[19] == '-')) {
    int oh, om;
    shape = Digits(text, 20, 2, oh) && At(text, 22, ':') && Digits(text, 23, 2, om);
    if (shape && (oh > 18 || om > 59 || (oh == 18 && om > 0))) {
      why = "the offset " + text.substr(19) + " is beyond 18 hours";
      return false;
    }
    offset = (oh * 3600 + om * 60) * (text[19] == '-' ? -1 : 1);
  } else {
    shape = false;
  }
  if (!shape) {
    why = "\"" + text + "\" is not a date: " + kTimeForm;
    return false;
  }
  if (y < 1) {
    why = "the year 0000 does not exist";
    return false;
  }
  if (mo < 1 || mo > 12) {
    why = "the month " + text.substr(5, 2) + " does not exist";
    return false;
  }
  if (d < 1 || d > DaysIn(y, mo)) {
    why = "the day " + text.substr(8, 2) + " does not exist in " + text.substr(0, 7);
    return false;
  }
  if (h > 23 || mi > 59 || s > 59) {
    why = "the time " + text.substr(11, 8) + " does not exist";
    return false;
  }
  time = CATTime(y, mo, d, h, mi, s, offset, CATUnicodeString(zone.c_str()));
  return true;
}

bool CheckValue(const std::string& typeName, const std::string& text, std::string& why) {
  if (typeName == "Date") {
    CATTime ignored;
    return ParseTime(text, "", ignored, why);
  }
  if (typeName == "Integer") {
    std::int32_t v = 0;
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), v);
    if (ec == std::errc() && end == text.data() + text.size() && begin != end) return true;
    why = "\"" + text + "\" is not an integer" +
          (ec == std::errc::result_out_of_range ? std::string(" from -2147483648 to 2147483647") : std::string());
    return false;
  }
  if (typeName == "Real") {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty() && std::isfinite(v)) return true;
    why = "\"" + text + "\" is not a real number";
    return false;
  }
  if (typeName == "Boolean") {
    if (text == "true" || text == "false") return true;
    why = "\"" + text + "\" is not true or false";
    return false;
  }
  return true;
}

}  // namespace elmhost
