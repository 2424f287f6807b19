// qvx5120-write-icon OUT.ico: writes the application's icon file for the resource script. Built
// and run on the build host, since a cross-build's own programs cannot run there.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "window/icon_file.h"
#include "window/templates.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qvx5120-write-icon OUT.ico\n");
    return 2;
  }
  const std::vector<std::uint8_t> bytes =
      qvx::resources::IconFileBytes(qvx::resources::kApplicationIconId);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (bytes.empty() || !out) {
    std::fprintf(stderr, "qvx5120-write-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
