// Making a tile's view.
#include "station_window/tile.h"

#include "station/texts.h"
#include "station_window/texts.h"

namespace qvx::station_window {

TileView TileOf(const station::SocketView& socket,
                const std::vector<std::string>& operation_names) {
  using station::SocketState;
  TileView tile;
  tile.port = socket.port;
  tile.heading = text::SocketHeading(socket.port);
  const bool plugged = socket.state != SocketState::kEmpty;
  if (plugged) {
    tile.serial = socket.serial;
    if (!socket.label.empty())
      tile.label = text::LabelLine(socket.label);
    tile.elapsed = station::text::MinutesSeconds(socket.seconds);
  }
  const auto name = [&](size_t index) {
    return index < operation_names.size() ? operation_names[index] : std::string();
  };
  switch (socket.state) {
    case SocketState::kEmpty:
      tile.operation = text::kEmptyTile;
      break;
    case SocketState::kWaiting:
      tile.operation = socket.reason;
      tile.elapsed.clear();
      break;
    case SocketState::kLoading:
      tile.operation = text::OperationLine(socket.operation, socket.operations,
                                           name(socket.operation), socket.attempt);
      tile.progress = socket.progress;
      break;
    case SocketState::kPassed:
      tile.verdict = Verdict::kPass;
      tile.verdict_text = text::kPass;
      break;
    case SocketState::kFailed:
      tile.verdict = Verdict::kFail;
      tile.verdict_text = text::kFail;
      tile.operation = text::OperationLine(socket.operation, socket.operations,
                                           name(socket.operation), socket.attempt);
      tile.reason = socket.reason;
      break;
  }
  tile.accessible_name =
      text::TileName(socket.port, tile.serial, station::text::StateWord(socket.state));
  return tile;
}

}  // namespace qvx::station_window
