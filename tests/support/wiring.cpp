#include "tests/support/wiring.h"

#include "download/startup.h"

namespace qvx::test {

Wiring::Wiring(WindowPort& window, Clock& clock, LibraryLoader& loader)
    : driver(window, loader), link(driver, clock, window), downloads(link, window) {
  ConnectAndEnable(link, window);
}

}  // namespace qvx::test
