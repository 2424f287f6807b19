// Opening a connection and the start-up sequence that follows it.
#include "download/connection.h"

#include "download/frame.h"

namespace qvx {

Connection::Connection(WindowPort& window, Clock& clock, LibraryLoader& loader)
    : driver(window, loader), link(driver, clock, window), downloads(link, window) {}

void Connection::Connect() {
  WindowPort& window = link.window();
  link.ConnectDevice();
  if (!link.connected()) {
    DisableButtons(window);
    return;
  }
  link.PurgeReceive();
  link.BusyPause();
  // One CMD_END_LOAD leaves any loading mode a previous run left open; its status is not examined.
  const uint8_t end_load = CMD_END_LOAD;
  d2xx::Dword written = 0;
  driver.GuardedWrite(&end_load, 1, &written);
  EnableButtons(window);
}

}  // namespace qvx
