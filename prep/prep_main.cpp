// qvx5120-prep: see `qvx5120-prep --help`.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "prep/prep_tool.h"
#include "prep/source_picture.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    qvx::prep::StartImaging("qvx5120-prep");
    return qvx::prep::RunPrepTool(args, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "qvx5120-prep: " << error.what() << '\n';
    return 1;
  }
}
