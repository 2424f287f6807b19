// The device half of the main window's initialisation, after its controls are filled.
#pragma once

#include "device/protocol.h"
#include "device/window_port.h"

namespace qvx {

// Connects to the generator; when connected, empties the receive buffer, sends CMD_END_LOAD once
// and enables the download buttons, otherwise disables them for the life of the window.
void ConnectAndEnable(DeviceLink& link, WindowPort& window);

}  // namespace qvx
