// What ROS 2 expects of a capture frame: REP 103 axes in metres, header
// stamps on this machine's realtime clock, and names as ROS 2 spells them.
// No DDS here: publishers.h puts the result on the wire.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wire.h"

namespace vekdds {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
// ROS 2's order: the vector part, then the scalar.
struct Quaternion {
    double x = 0, y = 0, z = 0, w = 1;
};

// ---- axes -----------------------------------------------------------------
// The capture world has y up (the floor is y = 0), x and z across the
// floor; REP 103 has x forward, y left, z up. The mapping is the turn by
// +90 degrees about x: (x, y, z) -> (x, -z, y). Every frame is re-expressed
// with it, the world's and each body's own, so a body at rest with its axes
// along the capture world's has the identity orientation.
Vec3 rep103Axes(const Vec3& capture);
// A capture position in millimetres -> metres on REP 103 axes.
Vec3 rep103Position(const float mm[3]);
// A capture rotation (scalar first, as the library gives it) -> the same
// turn seen on REP 103 axes: the scalar stays, the axis turns with them.
Quaternion rep103Rotation(const float wxyz[4]);

// ---- stamps ---------------------------------------------------------------
struct Stamp {
    int32_t sec = 0;
    uint32_t nanosec = 0;
};
Stamp stampOf(int64_t realtimeNs);
// This machine's realtime clock now, in nanoseconds since the epoch.
int64_t realtimeNowNs();
// Realtime minus steady clock now, in nanoseconds (from the closest of a
// few readings in a row).
int64_t realtimeMinusSteadyNs();

// ---- names ----------------------------------------------------------------
// Names vekdds makes stay well inside ROS 2's limit on a topic's length.
constexpr size_t kMaxNameLength = 100;
// One token of a ROS 2 name: letters, digits and underscores, not starting
// with a digit, no "__", at most kMaxNameLength.
bool validRosToken(const std::string& token);
// Tokens joined by single '/', no '/' at either end, at most kMaxNameLength.
bool validRosNamespace(const std::string& name);
// A tf frame id: 1 to 128 of letters, digits, '_', '-', '.', '/', not
// starting with '/' (tf2 refuses that).
bool validFrameId(const std::string& id);
// A tracker file's name without folder and extension ("lab/body.rb" ->
// "body").
std::string trackerName(const std::string& path);
// The name of a tracker that no file names.
std::string trackerName(int trackerId);
// ROS 2 topic names, and the DDS topic that carries each ("rt" + name).
std::string poseTopic(const std::string& prefix, const std::string& tracker);
std::string markersTopic(const std::string& prefix);
constexpr const char* kTfTopic = "/tf";
std::string ddsTopic(const std::string& rosTopic);

// ---- one frame as ROS 2 gets it --------------------------------------------
struct BodyPose {
    int32_t tracker = 0;
    Vec3 position;
    Quaternion orientation;
};
struct MarkerPoint {
    uint32_t id = 0;  // the marker id as the library reports it
    float x = 0, y = 0, z = 0;
};
struct RosFrame {
    int32_t frame = 0;
    int64_t generatedUs = 0;
    Stamp stamp;
    std::vector<BodyPose> bodies;      // only the bodies seen in this frame
    std::vector<MarkerPoint> markers;  // only the markers seen (a filled one was not)
};
// Fills `out` (its vectors keep their room) from a frame as the server sent
// it, stamped `stampNs` (this machine's realtime clock, nanoseconds since
// the epoch); a record with a position that is not a finite number counts
// as unseen.
void toRos(const vekwire::FrameView& frame, int64_t stampNs, RosFrame& out);

}  // namespace vekdds
