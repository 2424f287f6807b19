// The answers of the API and the board's pages: what the station, its sockets and its records
// are, and control. Every request reaching these has passed HttpServer::Admit.
#include <charconv>
#include <set>

#include "station_http/board_files.h"
#include "station_http/http_answers.h"
#include "station_http/http_server.h"
#include "station_http/texts.h"

namespace qvx::station_http {

namespace {

// The parameters a path takes: what is wrong with the request's, or nothing.
std::optional<std::string> CheckParameters(const httplib::Request& request,
                                           const std::set<std::string>& taken) {
  for (const auto& [name, value] : request.params) {
    if (!taken.contains(name))
      return text::UnknownParameter(name);
    if (request.get_param_value_count(name) > 1)
      return text::kParameterTwice;
  }
  return std::nullopt;
}

std::optional<uint64_t> WholeNumber(const std::string& text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

bool HasControlCharacters(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      return true;
  }
  return false;
}

// The board's pages may run their own script and style only, and read other stations' APIs.
constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self' http: https:; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

}  // namespace

Json HttpServer::StationJson() {
  Json json = StatusJson(station_.Status());
  json["run"] = feed_.run();
  json["control"] = control_open();
  return json;
}

Json HttpServer::Snapshot() {
  const StationStatus status = station_.Status();
  Json station = StatusJson(status);
  station["run"] = feed_.run();
  station["control"] = control_open();
  return {{"station", std::move(station)},
          {"sockets", SocketsJson(station_.Sockets(), status.operations)}};
}

void HttpServer::Page(const Request& request, Response& response) {
  if (request.path == kBoardTextsPath) {
    Json texts = Json::object();
    for (const text::BoardText& entry : text::BoardTexts())
      texts[entry.name] = entry.text;
    response.set_content("window.QVX_TEXTS = " + Dump(texts) + ";\n",
                         ContentTypeOf(kBoardTextsPath));
    return;
  }
  const BoardFile* file = BoardFileAt(request.path);
  if (file == nullptr)
    return Refuse(response, 404, text::kNotFound);
  response.set_header("Content-Security-Policy", kPagePolicy);
  response.set_content(file->bytes.data(), file->bytes.size(), ContentTypeOf(file->name));
}

void HttpServer::Station(const Request& request, Response& response) {
  if (const auto problem = CheckParameters(request, {}))
    return Refuse(response, 400, *problem);
  Reply(response, 200, StationJson());
}

void HttpServer::Sockets(const Request& request, Response& response) {
  if (const auto problem = CheckParameters(request, {}))
    return Refuse(response, 400, *problem);
  Reply(response, 200,
        {{"sockets", SocketsJson(station_.Sockets(), station_.Status().operations)}});
}

void HttpServer::Records(const Request& request, Response& response) {
  if (const auto problem = CheckParameters(request, {"after"}))
    return Refuse(response, 400, *problem);
  uint64_t after = 0;
  if (request.has_param("after")) {
    const std::optional<uint64_t> given = WholeNumber(request.get_param_value("after"));
    if (!given)
      return Refuse(response, 400, text::kBadAfter);
    after = *given;
  }
  const size_t most = limits_.records_per_answer;
  std::vector<std::string> lines;
  try {
    lines = station_.RecordsAfter(after, most + 1);
  } catch (const RecordsGone& gone) {
    return Refuse(response, 410, gone.what());
  }
  const bool more = lines.size() > most;
  if (more)
    lines.resize(most);
  Json records = Json::array();
  for (const std::string& line : lines) {
    // A record line is JSON; one that is not (a line cut short by a full disk) is passed as text.
    Json record = Json::parse(line, nullptr, false);
    records.push_back(record.is_discarded() ? Json(line) : std::move(record));
  }
  Reply(response, 200,
        {{"after", after}, {"next", after + lines.size()}, {"more", more}, {"records", records}});
}

void HttpServer::RecordControl(const Request& request, ControlAction action, std::string label) {
  station_.RecordControl(
      {action, std::chrono::system_clock::now(), CanonicalAddress(request.remote_addr), label});
}

void HttpServer::Stop(const Request& request, Response& response) {
  if (const auto problem = CheckParameters(request, {"cut"}))
    return Refuse(response, 400, *problem);
  if (!request.body.empty())
    return Refuse(response, 400, text::kNoBody);
  const std::string cut = request.has_param("cut") ? request.get_param_value("cut") : "0";
  if (cut != "0" && cut != "1")
    return Refuse(response, 400, text::kBadCut);
  RecordControl(request, cut == "1" ? ControlAction::kCutOff : ControlAction::kStop);
  station_.Stop(cut == "1");
  Reply(response, 200, {{"state", StateWord(station_.Status().state)}});
}

void HttpServer::StartStation(const Request& request, Response& response) {
  if (const auto problem = CheckParameters(request, {}))
    return Refuse(response, 400, *problem);
  if (!request.body.empty())
    return Refuse(response, 400, text::kNoBody);
  RecordControl(request, ControlAction::kStart);
  if (const std::optional<std::string> refusal = station_.Start())
    return Refuse(response, 409, *refusal);
  Reply(response, 200, {{"state", StateWord(station_.Status().state)}});
}

void HttpServer::Label(const Request& request, Response& response) {
  if (const auto problem = CheckParameters(request, {}))
    return Refuse(response, 400, *problem);
  const std::string type = request.get_header_value("Content-Type");
  if (type != "application/json" && !type.starts_with("application/json;"))
    return Refuse(response, 415, text::kNeedsJson);
  Json body;
  try {
    body = Json::parse(request.body);
  } catch (const Json::parse_error& error) {
    return Refuse(response, 400, text::NotJson(error.what()));
  }
  if (!body.is_object() || !body.contains("label"))
    return Refuse(response, 400, text::kLabelObject);
  if (!body["label"].is_string())
    return Refuse(response, 400, text::kLabelNotText);
  std::string label = body["label"].get<std::string>();
  if (label.empty())
    return Refuse(response, 400, text::kLabelEmpty);
  if (label.size() > limits_.label_bytes)
    return Refuse(response, 400, text::LabelTooLong(limits_.label_bytes));
  if (HasControlCharacters(label))
    return Refuse(response, 400, text::kLabelControlCharacters);
  RecordControl(request, ControlAction::kLabel, label);
  station_.Label(label);
  Reply(response, 200, {{"next_label", label}});
}

}  // namespace qvx::station_http
