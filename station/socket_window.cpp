// A loading socket's window stand-in.
#include "station/socket_window.h"

namespace qvx::station {

std::optional<std::string> OperationFile(const Operation* operation) {
  if (operation == nullptr || operation->erase || operation->file.empty())
    return std::nullopt;
  return operation->file;
}

std::optional<std::string> SocketWindow::ChooseFile(const FileFilter&) {
  return OperationFile(operation_);
}

}  // namespace qvx::station
