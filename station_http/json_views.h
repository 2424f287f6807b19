// The JSON the interface answers with and its events carry: the station's status, a socket, an
// attempt at an operation. The API's words (states, actions) are here, beside the fields that
// carry them; docs/http.md describes every field.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "station/operation.h"
#include "station/socket.h"
#include "station_http/station_service.h"

namespace qvx::station_http {

// Fields keep the order they are written in, so that an answer reads as docs/http.md shows it.
using Json = nlohmann::ordered_json;

const char* StateWord(RunState state);  // "running", "stopping", "stopped", "records held back"
const char* ActionWord(ControlAction action);  // "stop", "cut off", "start", "label"

// "2026-12-07T21:30:04.125Z"
std::string IsoTime(std::chrono::system_clock::time_point time);

Json StatusJson(const StationStatus& status);
// `operation_names`: each operation's description, in order.
Json SocketJson(const station::SocketView& socket, const std::vector<std::string>& operation_names);
Json SocketsJson(const std::vector<station::SocketView>& sockets,
                 const std::vector<std::string>& operation_names);
Json AttemptJson(const station::AttemptReport& report, size_t operations);

// One line of JSON; text that is not UTF-8 (a unit's serial, say) is replaced, never thrown on.
std::string Dump(const Json& json);

}  // namespace qvx::station_http
