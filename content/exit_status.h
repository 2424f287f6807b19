// The loader's exit statuses, which its records carry too.
#pragma once

namespace qvx::content {

// Exit statuses.
inline constexpr int kExitCompleted = 0;  // every operation completed
inline constexpr int kExitUsage = 2;      // the command line or the content set is malformed
inline constexpr int kExitRefused = 3;    // a file or an amplitude was refused
inline constexpr int kExitDevice = 4;     // not connected, or the generator failed mid-download
inline constexpr int kExitNotRecorded =
    5;  // every operation completed, but a record was not written

}  // namespace qvx::content
