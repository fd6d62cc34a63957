// CSV of a take: one line per frame and marker in one file, one line per
// frame and rigid body in a second (OUT_rigids.csv beside OUT.csv, written
// with it, only its header when the take holds no rigid body).
// Numbers with every digit a float needs to read back the same, "." as the
// decimal separator whatever the locale. A marker not seen has empty
// coordinates and its cond as recorded (0 or less); a marker placed by
// its rigid body's pose, not seen, has its coordinates and cond 0; a pose
// not found has empty fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vek_types.h"

namespace taketool::csv {

constexpr std::string_view kMarkerHeader = "frame,time_s,local_time_s,led,x_mm,y_mm,z_mm,cond\n";
constexpr std::string_view kRigidHeader = "frame,time_s,local_time_s,tracker,x,y,z,qw,qx,qy,qz\n";

// "OUT.csv" → "OUT_rigids.csv".
std::string rigidsPath(const std::string& csvPath);

// "frame,time_s,local_time_s," of a frame: its number, its time in seconds
// and its capture time on the recorder's clock in seconds since 1970
// (empty for vektake::kNoLocalTime).
std::string framePrefix(int64_t number, int64_t timeUs, int64_t localTimeUs);
// `name`: the marker's `led` column (see points.h).
void appendMarker(std::string& out, std::string_view prefix, std::string_view name, const MarkerRecord& m);
void appendRigid(std::string& out, std::string_view prefix, const RigidRecord& r);

}  // namespace taketool::csv
