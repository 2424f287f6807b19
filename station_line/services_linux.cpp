// The Linux programs' line: --ship through the line's database's own shipper, --http through
// the station's HTTP interface, each behind the station core's seam.
#include <memory>
#include <stdexcept>

#include "records_db/database.h"
#include "records_db/record_shipper.h"
#include "station_line/http_station.h"
#include "station_line/line_services.h"

namespace qvx::station_line {
namespace {

class DatabaseShipper final : public station_core::LineShipper {
 public:
  DatabaseShipper(const std::string& url, const std::string& record_path)
      : shipper_(url, record_path) {}
  void LineOnDisk(const std::string& line) override { shipper_.LineOnDisk(line); }
  size_t unshipped() const override { return shipper_.unshipped(); }
  std::optional<std::string> problem() const override { return shipper_.problem(); }
  void Stop() override { shipper_.Stop(); }

 private:
  records_db::RecordShipper shipper_;
};

}  // namespace

station_core::LineServices Services() {
  station_core::LineServices services;
  services.ship = [](const std::string& url,
                     const std::string& record_path) -> std::unique_ptr<station_core::LineShipper> {
    if (const auto refused = records_db::RefusedUrl(url))
      throw std::runtime_error("--ship: " + *refused);
    return std::make_unique<DatabaseShipper>(url, record_path);
  };
  services.serve = ServeOverHttp;
  return services;
}

}  // namespace qvx::station_line
