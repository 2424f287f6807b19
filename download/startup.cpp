// Start-up connection.
#include "download/startup.h"

#include "download/frame.h"

namespace qvx {

void ConnectAndEnable(DeviceLink& link, WindowPort& window) {
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
  link.driver().GuardedWrite(&end_load, 1, &written);
  EnableButtons(window);
}

}  // namespace qvx
