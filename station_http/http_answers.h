// How the interface answers: JSON with its status, and a refusal as {"error": reason}.
#pragma once

#include <httplib.h>

#include <string>

#include "station_http/json_views.h"

namespace qvx::station_http {

inline void Reply(httplib::Response& response, int status, const Json& json) {
  response.status = status;
  response.set_content(Dump(json), "application/json");
}

inline void Refuse(httplib::Response& response, int status, const std::string& reason) {
  Reply(response, status, {{"error", reason}});
}

}  // namespace qvx::station_http
