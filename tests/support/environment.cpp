#include "tests/support/environment.h"

#include <cstdlib>
#include <initializer_list>

namespace qvx::test {

void IsolateGenerator(const char* flash) {
  setenv("QVX_VG_FLASH", flash, 1);
  for (const char* name : {"QVX_VG_FAIL_OPEN", "QVX_VG_UNPLUG_AFTER", "QVX_VG_NEVER_READY",
                           "QVX_VG_MUTE", "QVX_VG_BUSY_POLLS", "QVX_VG_CAPTURE", "QVX_VG_ERASE_MS",
                           "QVX_VG_LATENCY_MS", "QVX_VG_UNITS", "QVX_VG_FAULT_UNIT"}) {
    unsetenv(name);
  }
}

}  // namespace qvx::test
