// Building blocks of the frame every download runs in.
#pragma once

#include "download/texts.h"
#include "port/window_port.h"

namespace qvx {

// The five download buttons off in order, then the wait cursor.
void DisableButtons(WindowPort& window);
// The five download buttons on in order, then the arrow cursor.
void EnableButtons(WindowPort& window);
// "Download Complete" with its own caption and the information icon, then the title reset.
void ReportComplete(WindowPort& window);

}  // namespace qvx
