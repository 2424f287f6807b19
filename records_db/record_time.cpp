// Reading and writing record times without the C library's local time zone.
#include "records_db/record_time.h"

#include <cstdio>

namespace qvx::records_db {
namespace {

constexpr int64_t kPerSecond = 1000000;

// Days since 1970-01-01 of a civil date (Howard Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int64_t year, month, day;
};

Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp + (mp < 10 ? 3 : -9);
  return {yoe + era * 400 + (m <= 2), m, d};
}

int DaysInMonth(int64_t year, int64_t month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at `at`, moving past them.
bool Digits(std::string_view text, size_t& at, size_t digits, int64_t& value) {
  if (at + digits > text.size())
    return false;
  value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[at + i];
    if (c < '0' || c > '9')
      return false;
    value = value * 10 + (c - '0');
  }
  at += digits;
  return true;
}

bool Expect(std::string_view text, size_t& at, char c) {
  if (at >= text.size() || text[at] != c)
    return false;
  ++at;
  return true;
}

// The date and time of day: all of it for a record (`typed` false), or as much as a user gives.
std::optional<int64_t> Parse(std::string_view text, bool typed) {
  size_t at = 0;
  int64_t year, month, day, hour = 0, minute = 0, second = 0, fraction = 0;
  if (!Digits(text, at, 4, year) || !Expect(text, at, '-') || !Digits(text, at, 2, month) ||
      !Expect(text, at, '-') || !Digits(text, at, 2, day))
    return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return std::nullopt;
  const bool has_clock = at < text.size() && (text[at] == 'T' || (typed && text[at] == ' '));
  if (has_clock) {
    ++at;
    if (!Digits(text, at, 2, hour) || !Expect(text, at, ':') || !Digits(text, at, 2, minute))
      return std::nullopt;
    const bool has_seconds = at < text.size() && text[at] == ':';
    if (has_seconds) {
      ++at;
      if (!Digits(text, at, 2, second))
        return std::nullopt;
      if (at < text.size() && text[at] == '.') {
        ++at;
        size_t digits = 0;
        int64_t scale = kPerSecond;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 9) {
          scale /= 10;
          fraction += (text[at] - '0') * scale;
          ++at;
          ++digits;
        }
        if (digits == 0)
          return std::nullopt;
      }
    } else if (!typed) {
      return std::nullopt;
    }
  } else if (!typed) {
    return std::nullopt;
  }
  if (hour > 23 || minute > 59 || second > 59)
    return std::nullopt;
  const bool zulu = at < text.size() && text[at] == 'Z';
  if (zulu)
    ++at;
  if (at != text.size() || (!typed && !zulu))
    return std::nullopt;
  return ((DaysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60 * kPerSecond +
         second * kPerSecond + fraction;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

}  // namespace

std::optional<int64_t> RecordTime(std::string_view text) {
  return Parse(text, false);
}

std::optional<int64_t> TypedTime(std::string_view text) {
  return Parse(text, true);
}

std::string PostgresTime(int64_t microseconds) {
  const int64_t seconds = FloorDiv(microseconds, kPerSecond);
  const int64_t fraction = microseconds - seconds * kPerSecond;
  const int64_t days = FloorDiv(seconds, 86400);
  const int64_t of_day = seconds - days * 86400;
  const Civil date = CivilFromDays(days);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%06lld+00",
                static_cast<long long>(date.year), static_cast<long long>(date.month),
                static_cast<long long>(date.day), static_cast<long long>(of_day / 3600),
                static_cast<long long>(of_day / 60 % 60), static_cast<long long>(of_day % 60),
                static_cast<long long>(fraction));
  return text;
}

std::string HourOf(int64_t microseconds) {
  const int64_t hours = FloorDiv(microseconds, kPerSecond * 3600);
  const Civil date = CivilFromDays(FloorDiv(hours, 24));
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:00Z",
                static_cast<long long>(date.year), static_cast<long long>(date.month),
                static_cast<long long>(date.day),
                static_cast<long long>(hours - FloorDiv(hours, 24) * 24));
  return text;
}

}  // namespace qvx::records_db
