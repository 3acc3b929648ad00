#include "CATTime.h"

#include <clocale>
#include <cstdio>
#include <ctime>
#include <locale.h>
#include <string>

namespace {

// Civil calendar arithmetic on day numbers from 1970-01-01, independent of
// the process's TZ and of the C library's time zone state.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  std::int64_t year;
  int month, day, hour, minute, second, weekday, yearDay;
};

Civil CivilFromSeconds(std::int64_t seconds) {
  std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  std::int64_t rest = seconds - days * 86400;
  Civil c{};
  c.hour = static_cast<int>(rest / 3600);
  c.minute = static_cast<int>(rest / 60 % 60);
  c.second = static_cast<int>(rest % 60);
  c.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = yoe + era * 400 + (c.month <= 2);
  c.yearDay = static_cast<int>(days - DaysFromCivil(c.year, 1, 1));
  return c;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

std::string ZoneText(int offset) {
  if (offset == 0) return "UTC";
  int a = offset < 0 ? -offset : offset;
  char buf[16];
  std::snprintf(buf, sizeof buf, "UTC%c%02d:%02d", offset < 0 ? '-' : '+', a / 3600, a / 60 % 60);
  return buf;
}

locale_t CLocale() {
  // The conversions must not follow the user's locale: dates are written
  // the same way on every machine.
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

}  // namespace

CATTime::CATTime(int year, int month, int day, int hour, int minute, int second, int offsetSeconds,
                 const CATUnicodeString& zone) {
  bool valid = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
               day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
               second >= 0 && second <= 59 && offsetSeconds >= -18 * 3600 && offsetSeconds <= 18 * 3600;
  if (!valid) return;
  std::int64_t local = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  m_utc = local - offsetSeconds;
  m_offset = offsetSeconds;
  m_zone = zone.IsNull() ? CATUnicodeString(ZoneText(offsetSeconds).c_str()) : zone;
}

int CATTime::GetYear() const { return static_cast<int>(CivilFromSeconds(m_utc + m_offset).year); }
int CATTime::GetMonth() const { return CivilFromSeconds(m_utc + m_offset).month; }
int CATTime::GetDay() const { return CivilFromSeconds(m_utc + m_offset).day; }
int CATTime::GetHour() const { return CivilFromSeconds(m_utc + m_offset).hour; }
int CATTime::GetMinute() const { return CivilFromSeconds(m_utc + m_offset).minute; }
int CATTime::GetSecond() const { return CivilFromSeconds(m_utc + m_offset).second; }

CATUnicodeString CATTime::ConvertToString(const CATUnicodeString& format) const {
  Civil c = CivilFromSeconds(m_utc + m_offset);
  std::tm tm{};
  tm.tm_year = static_cast<int>(c.year - 1900);
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_min = c.minute;
  tm.tm_sec = c.second;
  tm.tm_wday = c.weekday;
  tm.tm_yday = c.yearDay;
  tm.tm_isdst = 0;
  tm.tm_gmtoff = m_offset;
  tm.tm_zone = m_zone.ConvertToChar();

  // strftime cannot tell an empty result from a short buffer; a trailing
  // blank makes every result non-empty.
  const std::string fmt = format.Utf8() + " ";
  std::string out(64 + fmt.size() * 4, '\0');
  for (;;) {
    std::size_t n = strftime_l(out.data(), out.size(), fmt.c_str(), &tm, CLocale());
    if (n > 0) {
      out.resize(n - 1);
      return CATUnicodeString(out.c_str(), out.size());
    }
    if (out.size() > (1u << 20)) return CATUnicodeString();
    out.resize(out.size() * 2);
  }
}
