// qvx5120-flash: see `qvx5120-flash --help`.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/flash_tool.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qvx::cli::RunFlashTool(args, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "qvx5120-flash: " << error.what() << '\n';
    return 1;
  }
}
