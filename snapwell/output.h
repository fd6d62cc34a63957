// What snapwell prints: progress, the verbose report and the body lines.
#pragma once

#include <capture.h>
#include <veksock.h>

#include <ostream>
#include <string>
#include <vector>

namespace snapwell {

// A record has settled once its update count exceeds the frame count.
int countSettled(const std::vector<numerics::CaptureRecord>& records, int frames);

// One progress line ending in a carriage return, flushed.
void printProgress(std::ostream& out, const std::vector<numerics::CaptureRecord>& records, int frames,
                   int max);

// One line per record and an empty line; leaves `out` at precision 5.
void printReport(std::ostream& out, const std::vector<numerics::CaptureRecord>& records);

// Why the settled records cannot be written as a body: none settled, a
// position that is not finite or beyond kMaxCoordinate (mm), or markers
// that cannot define a frame at the capture's own noise level `noise` (mm,
// the markers' mean spread): all at one point or on one line to within
// kFrameNoise times the noise, or fewer than three. Empty when the body is
// usable.
constexpr double kMaxCoordinate = 1e6;
constexpr double kFrameNoise = 5;
std::string unusableBody(const std::vector<numerics::CaptureRecord>& records, int frames, double noise);

// One "index, x y z" line per settled record, relative to record 0's average
// (or to the world origin with global coordinates), in the stream's format.
// `markers` holds the marker record of each capture record.
void writeBody(std::ostream& out, const std::vector<numerics::CaptureRecord>& records,
               const std::vector<MarkerRecord>& markers, int frames, bool global);

}  // namespace snapwell
