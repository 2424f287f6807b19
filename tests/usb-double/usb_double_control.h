// The libusb double's control interface: the virtual generator's VG_ functions (vg_control.h),
// which report on one bridge of the bus, and the choice of that bridge.
#pragma once

#include "emulator/vg_control.h"

extern "C" {
// The VG_ functions report on bridge `index` (0 = the first on the bus) from now on.
QVX_VG_API void VG_ObserveBridge(unsigned long index);
}
