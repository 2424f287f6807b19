// Where a station's record lines go beyond their file, once they are on disk: the production
// line's database. The file stays the spool and is written first; a shipper only forwards what is
// there, so no load waits on it. The station's core knows shippers only through this seam: the
// line's database is reached by a library the Linux programs link (station_line/), and shipping is
// not there at all on Windows yet.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qvx::station_core {

class LineShipper {
 public:
  virtual ~LineShipper() = default;
  // A line is on disk (its text, without its line break); never blocks.
  virtual void LineOnDisk(const std::string& line) = 0;
  // Lines of the file not in the database yet.
  virtual size_t unshipped() const = 0;
  // What keeps lines from the database, in words; nothing while they go.
  virtual std::optional<std::string> problem() const = 0;
  // Ships what it can, then ends.
  virtual void Stop() = 0;
};

// Makes the shipper of `record_path` to the database at `url`; throws std::runtime_error with the
// reason when the URL is refused (it holds a password, it cannot be read).
using ShipperMaker = std::function<std::unique_ptr<LineShipper>(const std::string& url,
                                                                const std::string& record_path)>;

}  // namespace qvx::station_core
