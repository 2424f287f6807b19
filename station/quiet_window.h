// A window stand-in that shows nothing and keeps the last message, for the driver the station
// lists units through.
#pragma once

#include <string>

#include "port/window_port.h"

namespace qvx::station {

class QuietWindow final : public WindowPort {
 public:
  void ShowMessage(std::string_view text) override { last_message = text; }
  void ShowInformation(std::string_view, std::string_view) override {}
  void SetTitle(std::string_view) override {}
  void SetProgress(int) override {}
  void EnableDownloadButtons(bool) override {}
  void ShowWaitCursor() override {}
  void ShowArrowCursor() override {}
  void Repaint() override {}
  void ShowAmplitude(int, std::string_view) override {}
  std::optional<std::string> ChooseFile(const FileFilter&) override { return std::nullopt; }

  std::string last_message;
};

}  // namespace qvx::station
