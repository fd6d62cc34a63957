// A DDS subscriber that knows only the ROS 2 types (the same IDL as
// vekdds), for tests and benchmarks: readers on ROS 2 topics that keep
// every sample until it is taken, and what the domain publishes, as the
// built-in topics tell it.
#pragma once

#include <dds/dds.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ros_mapping.h"
#include "unique_fd.h"

namespace vekdds::testing {

// Points CYCLONEDDS_URI at the loopback configuration (tests/
// cyclonedds-loopback.xml) unless it already names that file: DDS in tests
// and benchmarks never leaves the loopback interface. Call before any DDS
// call; the programs they start inherit it.
void useLoopbackConfig();
// A domain for one test run: different runs at once do not hear each other.
int privateDomain();

struct Sample {
    int64_t stampNs = 0;     // header.stamp
    int64_t receivedNs = 0;  // this machine's realtime clock when taken
    std::string frameId;     // header.frame_id
};
struct PoseSample : Sample {
    Vec3 position;
    Quaternion orientation;
};
struct TransformSample : Sample {
    std::string child;
    Vec3 translation;
    Quaternion rotation;
};
struct CloudSample : Sample {
    std::vector<MarkerPoint> points;
    std::string layoutError;  // empty when fields and sizes are as vekdds documents them
};

// A writer as discovery tells of it.
struct Publication {
    std::string topic, type;
    dds_reliability_kind_t reliability = DDS_RELIABILITY_BEST_EFFORT;
    dds_history_kind_t history = DDS_HISTORY_KEEP_ALL;
    int32_t depth = 0;
    dds_durability_kind_t durability = DDS_DURABILITY_VOLATILE;
};

class RosSubscriber {
public:
    explicit RosSubscriber(int domain, bool reliable = true);
    ~RosSubscriber();
    RosSubscriber(const RosSubscriber&) = delete;
    RosSubscriber& operator=(const RosSubscriber&) = delete;

    bool ok() const { return participant_ > 0; }

    // Readers on ROS 2 topic names ("/vek/body/pose"); negative on failure.
    dds_entity_t poseReader(const std::string& rosTopic);
    dds_entity_t tfReader();
    dds_entity_t cloudReader(const std::string& rosTopic);
    // Waits up to `ms` until a writer matches every reader; false if not.
    bool matched(int ms);

    // What has come on a reader since the last take.
    std::vector<PoseSample> takePoses(dds_entity_t reader);
    std::vector<TransformSample> takeTransforms(dds_entity_t reader);  // every transform of every message
    std::vector<CloudSample> takeClouds(dds_entity_t reader);

    // Waits up to `ms` for data on any reader; false when none came.
    bool wait(int ms);

    // Every writer discovered so far.
    const std::vector<Publication>& publications();

private:
    dds_entity_t reader(const std::string& rosTopic, const dds_topic_descriptor_t& type);
    dds_entity_t participant_ = 0;
    dds_entity_t waitset_ = 0;
    dds_entity_t publicationReader_ = 0;
    std::vector<dds_entity_t> readers_;
    std::vector<Publication> publications_;
    bool reliable_;
};

// A reliable subscriber that stops keeping up, in a process of its own:
// once its readers (of poses for topics ending in "/pose", else of clouds)
// have matched a writer, the process freezes (SIGSTOP): it reads and
// acknowledges nothing more. Gone with the object; make it before any DDS
// entity of this process.
class StalledSubscriber {
public:
    StalledSubscriber(int domain, const std::vector<std::string>& rosTopics);
    ~StalledSubscriber();
    StalledSubscriber(const StalledSubscriber&) = delete;
    StalledSubscriber& operator=(const StalledSubscriber&) = delete;
    // Waits up to `waitMs` until its readers have matched and it froze.
    bool frozen(int waitMs);

private:
    pid_t pid_ = -1;
    bool frozen_ = false;
    vekwire::UniqueFd pipe_;
};

}  // namespace vekdds::testing
