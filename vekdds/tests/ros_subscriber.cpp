#include "ros_subscriber.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "geometry_msgs.h"
#include "sensor_msgs.h"
#include "tf2_msgs.h"

namespace vekdds::testing {

namespace {

constexpr uint32_t kBatch = 64;

int64_t nsOf(const builtin_interfaces_msg_dds__Time_& t) {
    return static_cast<int64_t>(t.sec_) * 1'000'000'000 + t.nanosec_;
}

void fillSample(Sample& s, const std_msgs_msg_dds__Header_& h, int64_t receivedNs) {
    s.stampNs = nsOf(h.stamp_);
    s.receivedNs = receivedNs;
    s.frameId = h.frame_id_ ? h.frame_id_ : "";
}

// Takes every valid sample of `reader` on loan and hands each to `use`.
void takeAll(dds_entity_t reader, const std::function<void(const void*, int64_t)>& use) {
    for (;;) {
        void* samples[kBatch] = {};
        dds_sample_info_t infos[kBatch];
        const dds_return_t n = dds_take(reader, samples, infos, kBatch, kBatch);
        const int64_t now = realtimeNowNs();
        if (n <= 0) return;
        for (dds_return_t i = 0; i < n; ++i)
            if (infos[i].valid_data) use(samples[i], now);
        dds_return_loan(reader, samples, n);
        if (static_cast<uint32_t>(n) < kBatch) return;
    }
}

// The layout vekdds documents: x, y, z float32 at 0, 4, 8, the id uint32
// at 12, 16 bytes a point, one row, little-endian, dense.
std::string layoutError(const sensor_msgs_msg_dds__PointCloud2_& c) {
    static const struct {
        const char* name;
        uint32_t offset;
        uint8_t type;
    } expected[] = {{"x", 0, 7}, {"y", 4, 7}, {"z", 8, 7}, {"id", 12, 6}};
    if (c.fields_._length != 4) return "fields: " + std::to_string(c.fields_._length);
    for (uint32_t i = 0; i < 4; ++i) {
        const auto& f = c.fields_._buffer[i];
        if (!f.name_ || std::strcmp(f.name_, expected[i].name) != 0 || f.offset_ != expected[i].offset ||
            f.datatype_ != expected[i].type || f.count_ != 1)
            return "field " + std::to_string(i) + " is not " + expected[i].name;
    }
    if (c.height_ != 1 || c.point_step_ != 16 || c.row_step_ != 16 * c.width_ || c.is_bigendian_ ||
        !c.is_dense_ || c.data_._length != 16 * c.width_)
        return "sizes do not match";
    return "";
}

}  // namespace

void useLoopbackConfig() {
    const std::string uri = std::string("file://") + VEKDDS_LOOPBACK_CONFIG;
    const char* set = std::getenv("CYCLONEDDS_URI");
    if (!set || uri != set) setenv("CYCLONEDDS_URI", uri.c_str(), 1);
}

int privateDomain() { return 100 + static_cast<int>(getpid() % 120); }

RosSubscriber::RosSubscriber(int domain, bool reliable) : reliable_(reliable) {
    useLoopbackConfig();
    participant_ = dds_create_participant(static_cast<dds_domainid_t>(domain), nullptr, nullptr);
    if (participant_ <= 0) return;
    waitset_ = dds_create_waitset(participant_);
    publicationReader_ = dds_create_reader(participant_, DDS_BUILTIN_TOPIC_DCPSPUBLICATION, nullptr, nullptr);
}

RosSubscriber::~RosSubscriber() {
    if (participant_ > 0) dds_delete(participant_);
}

dds_entity_t RosSubscriber::reader(const std::string& rosTopic, const dds_topic_descriptor_t& type) {
    const dds_entity_t topic =
        dds_create_topic(participant_, &type, ddsTopic(rosTopic).c_str(), nullptr, nullptr);
    if (topic < 0) return topic;
    dds_qos_t* qos = dds_create_qos();
    dds_qset_reliability(qos, reliable_ ? DDS_RELIABILITY_RELIABLE : DDS_RELIABILITY_BEST_EFFORT,
                         DDS_SECS(1));
    dds_qset_history(qos, DDS_HISTORY_KEEP_ALL, 0);
    const dds_entity_t r = dds_create_reader(participant_, topic, qos, nullptr);
    dds_delete_qos(qos);
    if (r > 0) {
        dds_set_status_mask(r, DDS_DATA_AVAILABLE_STATUS);
        dds_waitset_attach(waitset_, r, r);
        readers_.push_back(r);
    }
    return r;
}

dds_entity_t RosSubscriber::poseReader(const std::string& t) {
    return reader(t, geometry_msgs_msg_dds__PoseStamped__desc);
}
dds_entity_t RosSubscriber::tfReader() { return reader(kTfTopic, tf2_msgs_msg_dds__TFMessage__desc); }
dds_entity_t RosSubscriber::cloudReader(const std::string& t) {
    return reader(t, sensor_msgs_msg_dds__PointCloud2__desc);
}

std::vector<PoseSample> RosSubscriber::takePoses(dds_entity_t reader) {
    std::vector<PoseSample> out;
    takeAll(reader, [&](const void* p, int64_t now) {
        const auto& m = *static_cast<const geometry_msgs_msg_dds__PoseStamped_*>(p);
        PoseSample s;
        fillSample(s, m.header_, now);
        s.position = {m.pose_.position_.x_, m.pose_.position_.y_, m.pose_.position_.z_};
        const auto& q = m.pose_.orientation_;
        s.orientation = {q.x_, q.y_, q.z_, q.w_};
        out.push_back(std::move(s));
    });
    return out;
}

std::vector<TransformSample> RosSubscriber::takeTransforms(dds_entity_t reader) {
    std::vector<TransformSample> out;
    takeAll(reader, [&](const void* p, int64_t now) {
        const auto& m = *static_cast<const tf2_msgs_msg_dds__TFMessage_*>(p);
        for (uint32_t i = 0; i < m.transforms_._length; ++i) {
            const auto& t = m.transforms_._buffer[i];
            TransformSample s;
            fillSample(s, t.header_, now);
            s.child = t.child_frame_id_ ? t.child_frame_id_ : "";
            const auto& v = t.transform_.translation_;
            const auto& q = t.transform_.rotation_;
            s.translation = {v.x_, v.y_, v.z_};
            s.rotation = {q.x_, q.y_, q.z_, q.w_};
            out.push_back(std::move(s));
        }
    });
    return out;
}

std::vector<CloudSample> RosSubscriber::takeClouds(dds_entity_t reader) {
    std::vector<CloudSample> out;
    takeAll(reader, [&](const void* p, int64_t now) {
        const auto& c = *static_cast<const sensor_msgs_msg_dds__PointCloud2_*>(p);
        CloudSample s;
        fillSample(s, c.header_, now);
        s.layoutError = layoutError(c);
        if (s.layoutError.empty()) {
            s.points.resize(c.width_);
            for (uint32_t i = 0; i < c.width_; ++i) {
                const uint8_t* at = c.data_._buffer + 16 * i;
                std::memcpy(&s.points[i].x, at, 4);
                std::memcpy(&s.points[i].y, at + 4, 4);
                std::memcpy(&s.points[i].z, at + 8, 4);
                std::memcpy(&s.points[i].id, at + 12, 4);
            }
        }
        out.push_back(std::move(s));
    });
    return out;
}

bool RosSubscriber::matched(int ms) {
    const dds_time_t end = dds_time() + DDS_MSECS(ms);
    for (;;) {
        bool all = true;
        for (const dds_entity_t r : readers_) {
            dds_subscription_matched_status_t status{};
            all = all && dds_get_subscription_matched_status(r, &status) == 0 && status.current_count > 0;
        }
        if (all) return true;
        if (dds_time() > end) return false;
        dds_sleepfor(DDS_MSECS(10));
    }
}

bool RosSubscriber::wait(int ms) {
    dds_attach_t triggered[8];
    return dds_waitset_wait(waitset_, triggered, 8, DDS_MSECS(ms)) > 0;
}

const std::vector<Publication>& RosSubscriber::publications() {
    takeAll(publicationReader_, [&](const void* p, int64_t) {
        const auto& e = *static_cast<const dds_builtintopic_endpoint_t*>(p);
        Publication w;
        w.topic = e.topic_name ? e.topic_name : "";
        w.type = e.type_name ? e.type_name : "";
        dds_duration_t blocking = 0;
        dds_qget_reliability(e.qos, &w.reliability, &blocking);
        dds_qget_history(e.qos, &w.history, &w.depth);
        dds_qget_durability(e.qos, &w.durability);
        publications_.push_back(w);
    });
    return publications_;
}

StalledSubscriber::StalledSubscriber(int domain, const std::vector<std::string>& rosTopics) {
    useLoopbackConfig();
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    vekwire::UniqueFd readEnd(ready[0]), writeEnd(ready[1]);
    pid_ = fork();
    if (pid_ == 0) {
        readEnd.reset();
        RosSubscriber sub(domain);
        for (const std::string& t : rosTopics)
            t.size() > 5 && t.compare(t.size() - 5, 5, "/pose") == 0 ? sub.poseReader(t) : sub.cloudReader(t);
        (void)!write(writeEnd.get(), "r", 1);
        while (!sub.matched(100)) {
        }
        (void)!write(writeEnd.get(), "m", 1);
        raise(SIGSTOP);  // frozen: no socket read, no acknowledgement, until killed
        _exit(0);
    }
    writeEnd.reset();
    pipe_ = std::move(readEnd);
    char c;
    (void)!read(pipe_.get(), &c, 1);
}

StalledSubscriber::~StalledSubscriber() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool StalledSubscriber::frozen(int waitMs) {
    pollfd p{pipe_.get(), POLLIN, 0};
    char c = 0;
    if (!frozen_ && poll(&p, 1, waitMs) > 0 && read(pipe_.get(), &c, 1) == 1) frozen_ = c == 'm';
    return frozen_;
}

}  // namespace vekdds::testing
