// qvx5120-records: see `qvx5120-records --help`.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "records_tool/records_tool.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qvx::records_tool::RunRecordsTool(args, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "qvx5120-records: " << error.what() << '\n';
    return 1;
  }
}
