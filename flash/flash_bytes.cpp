// Raw output files, the same on every platform.
#include <fstream>
#include <stdexcept>

#include "flash/flash_files.h"

namespace qvx::flash {

void WriteBytes(std::span<const uint8_t> bytes, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out)
    throw std::runtime_error(path + ": cannot write the file");
}

}  // namespace qvx::flash
