// A loading socket's window stand-in.
#include "station/socket_window.h"

namespace qvx::station {

std::optional<std::string> SocketWindow::ChooseFile(const FileFilter&) {
  if (operation_ == nullptr || operation_->erase || operation_->file.empty())
    return std::nullopt;
  return operation_->file;
}

}  // namespace qvx::station
