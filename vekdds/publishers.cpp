#include "publishers.h"

#include <bit>
#include <cstring>

namespace vekdds {

namespace {

// The cloud's point: x, y, z (float32) and the marker id (uint32).
constexpr uint32_t kPointStep = 16;
char kX[] = "x", kY[] = "y", kZ[] = "z", kId[] = "id";
sensor_msgs_msg_dds__PointField_ kFields[] = {
    {kX, 0, sensor_msgs_msg_dds__PointField_Constants_FLOAT32_, 1},
    {kY, 4, sensor_msgs_msg_dds__PointField_Constants_FLOAT32_, 1},
    {kZ, 8, sensor_msgs_msg_dds__PointField_Constants_FLOAT32_, 1},
    {kId, 12, sensor_msgs_msg_dds__PointField_Constants_UINT32_, 1},
};

std::string why(dds_return_t code) { return dds_strretcode(code); }

void setHeader(std_msgs_msg_dds__Header_& h, const Stamp& stamp, const std::string& frameId) {
    h.stamp_.sec_ = stamp.sec;
    h.stamp_.nanosec_ = stamp.nanosec;
    h.frame_id_ = const_cast<char*>(frameId.c_str());  // only read by dds_write
}

}  // namespace

std::unique_ptr<Publishers> Publishers::open(const PublisherSettings& settings, std::string& error) {
    const dds_entity_t participant =
        dds_create_participant(static_cast<dds_domainid_t>(settings.domain), nullptr, nullptr);
    if (participant < 0) {
        error = "DDS did not start in domain " + std::to_string(settings.domain) + ": " + why(participant) +
                " (see the messages above; CYCLONEDDS_URI names the configuration)";
        return nullptr;
    }
    std::unique_ptr<Publishers> p(new Publishers(settings, participant));
    p->tfWriter_ = p->writer(kTfTopic, tf2_msgs_msg_dds__TFMessage__desc, error);
    p->cloudWriter_ = p->writer(markersTopic(settings.prefix), sensor_msgs_msg_dds__PointCloud2__desc, error);
    if (!p->tfWriter_ || !p->cloudWriter_) return nullptr;
    return p;
}

Publishers::Publishers(const PublisherSettings& settings, dds_entity_t participant)
    : settings_(settings), participant_(participant) {}

Publishers::~Publishers() { dds_delete(participant_); }

dds_entity_t Publishers::writer(const std::string& rosTopic, const dds_topic_descriptor_t& type,
                                std::string& error) {
    const std::string name = ddsTopic(rosTopic);
    const dds_entity_t topic = dds_create_topic(participant_, &type, name.c_str(), nullptr, nullptr);
    if (topic < 0) {
        error = "DDS refused the topic " + name + ": " + why(topic);
        return 0;
    }
    dds_qos_t* qos = dds_create_qos();
    dds_qset_reliability(qos, settings_.bestEffort ? DDS_RELIABILITY_BEST_EFFORT : DDS_RELIABILITY_RELIABLE,
                         DDS_MSECS(100));
    dds_qset_history(qos, DDS_HISTORY_KEEP_LAST, 1);
    dds_qset_durability(qos, DDS_DURABILITY_VOLATILE);
    const dds_entity_t w = dds_create_writer(participant_, topic, qos, nullptr);
    dds_delete_qos(qos);
    if (w < 0) {
        error = "DDS refused a writer on " + name + ": " + why(w);
        return 0;
    }
    return w;
}

bool Publishers::nameTracker(int trackerId, const std::string& name, std::string& error) {
    names_[trackerId] = name;
    return poseWriter(trackerId, error) != 0;
}

dds_entity_t Publishers::poseWriter(int trackerId, std::string& error) {
    const auto found = poseWriters_.find(trackerId);
    if (found != poseWriters_.end()) return found->second;
    auto named = names_.find(trackerId);
    if (named == names_.end()) named = names_.emplace(trackerId, trackerName(trackerId)).first;
    const dds_entity_t w =
        writer(poseTopic(settings_.prefix, named->second), geometry_msgs_msg_dds__PoseStamped__desc, error);
    if (w) poseWriters_.emplace(trackerId, w);
    return w;
}

void Publishers::fillCloud(const RosFrame& frame, sensor_msgs_msg_dds__PointCloud2_& cloud) {
    cloudData_.resize(frame.markers.size() * kPointStep);
    uint8_t* at = cloudData_.data();
    for (const MarkerPoint& m : frame.markers) {
        std::memcpy(at, &m.x, 4);
        std::memcpy(at + 4, &m.y, 4);
        std::memcpy(at + 8, &m.z, 4);
        std::memcpy(at + 12, &m.id, 4);
        at += kPointStep;
    }
    const auto points = static_cast<uint32_t>(frame.markers.size());
    setHeader(cloud.header_, frame.stamp, settings_.frameId);
    cloud.height_ = 1;
    cloud.width_ = points;
    cloud.fields_ = {4, 4, kFields, false};
    cloud.is_bigendian_ = std::endian::native == std::endian::big;
    cloud.point_step_ = kPointStep;
    cloud.row_step_ = kPointStep * points;
    cloud.data_ = {points * kPointStep, points * kPointStep, cloudData_.data(), false};
    cloud.is_dense_ = true;  // every point is a finite position
}

int Publishers::publish(const RosFrame& frame, std::string& error) {
    int refused = 0;
    auto write = [&](dds_entity_t w, const void* sample) {
        const dds_return_t r = w ? dds_write(w, sample) : DDS_RETCODE_ERROR;
        if (r == DDS_RETCODE_OK) return;
        if (refused++ == 0 && error.empty()) error = "DDS refused a sample: " + why(r);
    };
    transforms_.resize(frame.bodies.size());
    for (size_t i = 0; i < frame.bodies.size(); ++i) {
        const BodyPose& b = frame.bodies[i];
        geometry_msgs_msg_dds__PoseStamped_ pose{};
        setHeader(pose.header_, frame.stamp, settings_.frameId);
        pose.pose_.position_ = {b.position.x, b.position.y, b.position.z};
        pose.pose_.orientation_ = {b.orientation.x, b.orientation.y, b.orientation.z, b.orientation.w};
        const dds_entity_t w = poseWriter(b.tracker, error);
        write(w, &pose);

        geometry_msgs_msg_dds__TransformStamped_& t = transforms_[i];
        t = {};
        setHeader(t.header_, frame.stamp, settings_.frameId);
        t.child_frame_id_ = const_cast<char*>(names_[b.tracker].c_str());
        t.transform_.translation_ = {b.position.x, b.position.y, b.position.z};
        t.transform_.rotation_ = pose.pose_.orientation_;
    }
    if (!transforms_.empty()) {
        tf2_msgs_msg_dds__TFMessage_ tf{};
        const auto n = static_cast<uint32_t>(transforms_.size());
        tf.transforms_ = {n, n, transforms_.data(), false};
        write(tfWriter_, &tf);
    }
    sensor_msgs_msg_dds__PointCloud2_ cloud{};
    fillCloud(frame, cloud);
    write(cloudWriter_, &cloud);
    return refused;
}

}  // namespace vekdds
