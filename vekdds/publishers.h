// The capture on DDS as a ROS 2 node publishes it: one participant in the
// ROS 2 domain; per rigid tracker a geometry_msgs/msg/PoseStamped writer on
// /<prefix>/<name>/pose, one tf2_msgs/msg/TFMessage writer on /tf and one
// sensor_msgs/msg/PointCloud2 writer on /<prefix>/markers (DDS topics
// "rt/..."). Every writer keeps the last sample only and is volatile: a slow
// subscriber misses older samples and never holds a newer one back.
// Reliable by default, so that reliable and best-effort subscribers both
// receive; best effort on request.
#pragma once

#include <dds/dds.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ros_mapping.h"
#include "sensor_msgs.h"
#include "tf2_msgs.h"

namespace vekdds {

struct PublisherSettings {
    int domain = 0;
    bool bestEffort = false;
    std::string prefix = "vek";
    std::string frameId = "world";
};

class Publishers {
public:
    // Null with the reason in `error` when DDS cannot start.
    static std::unique_ptr<Publishers> open(const PublisherSettings& settings, std::string& error);
    ~Publishers();
    Publishers(const Publishers&) = delete;
    Publishers& operator=(const Publishers&) = delete;

    // The name under which a rigid tracker is published; one not named here
    // is published as tracker<id>. Creates its writer.
    bool nameTracker(int trackerId, const std::string& name, std::string& error);

    // Publishes one frame: a pose for each body seen, one TF message with
    // their transforms (when a body was seen), the markers seen as one
    // cloud. Answers the number of writes DDS refused; the first refusal's
    // reason goes to `error`.
    int publish(const RosFrame& frame, std::string& error);

private:
    Publishers(const PublisherSettings& settings, dds_entity_t participant);
    // 0 with the reason in `error` when DDS refused the topic or writer.
    dds_entity_t writer(const std::string& rosTopic, const dds_topic_descriptor_t& type, std::string& error);
    // The writer of a tracker's poses, made on first use; 0 when DDS refused.
    dds_entity_t poseWriter(int trackerId, std::string& error);
    void fillCloud(const RosFrame& frame, sensor_msgs_msg_dds__PointCloud2_& cloud);

    PublisherSettings settings_;
    dds_entity_t participant_;  // deleting it deletes every topic and writer
    dds_entity_t tfWriter_ = 0, cloudWriter_ = 0;
    std::map<int, dds_entity_t> poseWriters_;
    std::map<int, std::string> names_;
    // Reused from frame to frame: the cloud's bytes, the TF message's transforms.
    std::vector<uint8_t> cloudData_;
    std::vector<geometry_msgs_msg_dds__TransformStamped_> transforms_;
};

}  // namespace vekdds
