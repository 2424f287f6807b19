#include "tests/support/environment.h"

#include <cstdlib>
#include <initializer_list>

#include "tests/support/virtual_generator.h"

namespace qvx::test {

void IsolateGenerator(const VirtualGenerator& generator, const char* flash) {
  setenv("QVX_VG_FLASH", flash, 1);
  generator.ClearOptionEnvironment();
  for (const char* name : {"QVX_VG_UNITS", "QVX_VG_FAULT_UNIT", "QVX_VG_RACK"})
    unsetenv(name);
}

}  // namespace qvx::test
