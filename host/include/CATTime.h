#pragma once

#include "ELMHostExport.h"
#include "CATUnicodeString.h"

#include <cstdint>

/// A moment in time, kept with the time zone it was recorded in: the zone's
/// offset from UTC and its abbreviation ("CET"). A default-constructed time
/// is 1970-01-01 00:00:00 UTC.
class ExportedByELMHost CATTime {
public:
  CATTime() = default;
  /// The wall-clock time year-month-day hour:minute:second in a zone
  /// offsetSeconds east of UTC. An empty zone name is written as "UTC" for a
  /// zero offset and as "UTC+hh:mm" otherwise. The fields must form a valid
  /// date from year 1 to 9999; an invalid one gives the default time.
  CATTime(int year, int month, int day, int hour, int minute, int second, int offsetSeconds = 0,
          const CATUnicodeString& zone = CATUnicodeString());

  /// The time written with a strftime-style format in its own zone: %Y, %m,
  /// %d, %H, %M, %S, %Z (zone abbreviation), %z (+hhmm) and the other
  /// conversions of the C locale.
  CATUnicodeString ConvertToString(const CATUnicodeString& format) const;

  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  /// Seconds since 1970-01-01 00:00:00 UTC.
  std::int64_t GetSecondsSinceEpoch() const { return m_utc; }
  int GetZoneOffset() const { return m_offset; }
  const CATUnicodeString& GetZoneName() const { return m_zone; }

  friend bool operator==(const CATTime& a, const CATTime& b) {
    return a.m_utc == b.m_utc && a.m_offset == b.m_offset && a.m_zone == b.m_zone;
  }

private:
  std::int64_t m_utc = 0;
  int m_offset = 0;
  CATUnicodeString m_zone{"UTC"};
};
