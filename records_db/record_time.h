// Times of records as one number, so that files and the database order and compare them alike:
// microseconds since 1970 in UTC, read from a record's "time" ("2026-12-09T14:25:33.123Z", or
// whole seconds as older lines have them) and from what a user types for --since and --until.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::records_db {

// A record's time: YYYY-MM-DDTHH:MM:SS, an optional fraction of up to 9 digits (kept to the
// microsecond), and Z. Nothing for any other text.
std::optional<int64_t> RecordTime(std::string_view text);

// A time typed by a user, in UTC: YYYY-MM-DD, then optionally T (or a space) and HH:MM, :SS and a
// fraction, and an optional Z.
std::optional<int64_t> TypedTime(std::string_view text);

// The time as PostgreSQL reads a timestamptz: "2026-12-09 14:25:33.123000+00".
std::string PostgresTime(int64_t microseconds);

// The start of the time's hour in UTC, as "2026-12-09T14:00Z".
std::string HourOf(int64_t microseconds);

}  // namespace qvx::records_db
