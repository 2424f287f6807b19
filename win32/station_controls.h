// The control ids of the station window, which the window driver's scripts name
// (scripts/test-windows-station). Apart from the loader window's ids (window/controls.h).
#pragma once

namespace qvx::win32::station_control {

inline constexpr int kStart = 2001;
inline constexpr int kStop = 2002;
inline constexpr int kOpen = 2003;
inline constexpr int kScanLabel = 2004;
inline constexpr int kScan = 2005;
inline constexpr int kTotals = 2010;
inline constexpr int kSet = 2011;
inline constexpr int kOperator = 2012;
inline constexpr int kWorkOrder = 2013;
inline constexpr int kStatus = 2014;
// The tiles, one per socket in the order the station first saw them: kFirstTile, kFirstTile + 1...
inline constexpr int kFirstTile = 2100;
// Inside each tile.
inline constexpr int kTileProgress = 2200;

}  // namespace qvx::win32::station_control
