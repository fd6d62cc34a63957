// vekdds as a user runs it against a real vekd, read by a DDS subscriber
// that knows only the ROS 2 types, beside a library client of the same
// server: the same poses, transforms and markers in the same frames, names
// and QoS as ROS 2 spells them, stamps by the clock rule, nothing for a
// body the cameras cannot see, a slave that leaves the master alone, and
// clear refusals.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "bridge_process.h"
#include "lab_key.h"
#include "library_watcher.h"
#include "ros_subscriber.h"
#include "server_process.h"
#include "tracker_files.h"

using namespace vekdds;
using namespace vekdds::testing;
using testsupport::ServerProcess;

namespace {

// The default scene's bodies and eight of its floor LEDs.
struct DefaultTrackers : DefaultTrackerFiles {
    DefaultTrackers() : DefaultTrackerFiles(ledRange(16, 23)) {}
};

// Runs the library client and takes what the subscriber gets for `seconds`;
// then the library takes in the frames of the last samples taken.
void watch(LibraryWatcher& library, double seconds, const std::function<void()>& take) {
    library.pumpFor(seconds, take, 2);
    take();
    library.pumpFor(0.1);
}

void expectPose(const PoseSample& s, const RigidRecord& r, const char* what) {
    const Vec3 p = rep103Position(r.pose);
    const Quaternion q = rep103Rotation(r.pose + 3);
    EXPECT_DOUBLE_EQ(s.position.x, p.x) << what;
    EXPECT_DOUBLE_EQ(s.position.y, p.y) << what;
    EXPECT_DOUBLE_EQ(s.position.z, p.z) << what;
    EXPECT_DOUBLE_EQ(s.orientation.x, q.x) << what;
    EXPECT_DOUBLE_EQ(s.orientation.w, q.w) << what;
}

const RigidRecord* rigid(const LibraryFrame& f, int id) {
    for (const RigidRecord& r : f.rigids)
        if (r.id == id) return &r;
    return nullptr;
}

// Frames of the library between the first and the last stamp the
// subscriber got (both ends in), where tracker `id` was seen or not.
std::vector<const LibraryFrame*> framesBetween(const std::map<int64_t, LibraryFrame>& frames, int64_t firstNs,
                                               int64_t lastNs, int64_t offsetNs) {
    std::vector<const LibraryFrame*> out;
    for (const auto& [generated, f] : frames)
        if (generated * 1000 + offsetNs >= firstNs - 100'000 &&
            generated * 1000 + offsetNs <= lastNs + 100'000)
            out.push_back(&f);
    return out;
}

}  // namespace

TEST(Bridge, PosesTransformsAndMarkersAreWhatALibraryClientGetsInTheSameFrames) {
    useLoopbackConfig();
    const int domain = privateDomain();
    DefaultTrackers files;
    ServerProcess server({"--freq", "960"});
    // Beside the subscriber that takes everything: a best-effort one, and,
    // in a process of its own, one that freezes once it has matched (the
    // bridge must hold nothing back for it).
    StalledSubscriber stalled(domain, {"/vek/wand/pose", "/vek/markers"});
    RosSubscriber sub(domain), bestEffort(domain, false);
    ASSERT_TRUE(sub.ok() && bestEffort.ok());
    const dds_entity_t wand = sub.poseReader("/vek/wand/pose"), puck = sub.poseReader("/vek/puck/pose"),
                       tf = sub.tfReader(), cloud = sub.cloudReader("/vek/markers"),
                       wandBestEffort = bestEffort.poseReader("/vek/wand/pose");
    ASSERT_GT(wand, 0);
    ASSERT_GT(cloud, 0);
    BridgeProcess bridge({"-s", server.address(), "-t", files.wand, files.puck, files.points, "--domain",
                          std::to_string(domain)});
    ASSERT_TRUE(bridge.waitForOutput("as master", 5000)) << bridge.out() << bridge.err();
    LibraryWatcher library(server.address());
    ASSERT_TRUE(library.ok());

    std::vector<PoseSample> wandPoses, puckPoses, bestEffortPoses;
    std::vector<TransformSample> transforms;
    std::vector<CloudSample> clouds;
    // Writers and readers find each other first, and the one subscriber
    // freezes; what came before that is not compared.
    watch(library, 0.5,
          [&] { sub.takePoses(wand), sub.takePoses(puck), sub.takeTransforms(tf), sub.takeClouds(cloud); });
    ASSERT_TRUE(stalled.frozen(5000)) << "the subscriber to freeze never matched the bridge";
    watch(library, 0.5,
          [&] { sub.takePoses(wand), sub.takePoses(puck), sub.takeTransforms(tf), sub.takeClouds(cloud); });
    watch(library, 1.5, [&] {
        auto add = [](auto& to, auto&& from) { to.insert(to.end(), from.begin(), from.end()); };
        add(wandPoses, sub.takePoses(wand));
        add(puckPoses, sub.takePoses(puck));
        add(transforms, sub.takeTransforms(tf));
        add(clouds, sub.takeClouds(cloud));
        add(bestEffortPoses, bestEffort.takePoses(wandBestEffort));
    });
    EXPECT_EQ(bridge.stop(SIGINT), 0) << bridge.err();
    EXPECT_EQ(bridge.err(), "");  // no DDS configuration warning, no clock warning: same machine
    EXPECT_NE(bridge.out().find(" frames/s at 960 Hz  poses "), std::string::npos) << bridge.out();

    // Names, types and QoS as ROS 2 spells them, as discovery reports them.
    std::map<std::string, Publication> writers;
    for (const Publication& p : sub.publications()) writers[p.topic] = p;
    const std::pair<const char*, const char*> expected[] = {
        {"rt/vek/wand/pose", "geometry_msgs::msg::dds_::PoseStamped_"},
        {"rt/vek/puck/pose", "geometry_msgs::msg::dds_::PoseStamped_"},
        {"rt/tf", "tf2_msgs::msg::dds_::TFMessage_"},
        {"rt/vek/markers", "sensor_msgs::msg::dds_::PointCloud2_"}};
    for (const auto& [topic, type] : expected) {
        ASSERT_TRUE(writers.count(topic)) << topic;
        const Publication& w = writers[topic];
        EXPECT_EQ(w.type, type);
        EXPECT_EQ(w.reliability, DDS_RELIABILITY_RELIABLE) << topic;
        EXPECT_EQ(w.history, DDS_HISTORY_KEEP_LAST) << topic;
        EXPECT_EQ(w.depth, 1) << topic;
        EXPECT_EQ(w.durability, DDS_DURABILITY_VOLATILE) << topic;
    }

    // Every sample is a frame the library got, stamped with its capture
    // time on our realtime clock, and carries what the library reported.
    const int64_t offset = realtimeMinusSteadyNs();
    ASSERT_GT(wandPoses.size(), 200u);
    for (const auto* poses : {&wandPoses, &puckPoses}) {
        const int id = poses == &wandPoses ? 0 : 1;
        for (const PoseSample& s : *poses) {
            const LibraryFrame* f = frameAt(library.frames, s.stampNs, offset);
            ASSERT_NE(f, nullptr) << "a pose stamped " << s.stampNs << " matches no frame's capture time";
            const RigidRecord* r = rigid(*f, id);
            ASSERT_TRUE(r && r->cond > 0) << "a pose of a body the library did not see, frame " << f->frame;
            EXPECT_EQ(s.frameId, "world");
            expectPose(s, *r, id ? "puck" : "wand");
        }
        // ... and no frame in between where the library saw the body is missing.
        std::set<int64_t> stamps;
        for (const PoseSample& s : *poses) stamps.insert(s.stampNs);
        for (const LibraryFrame* f :
             framesBetween(library.frames, *stamps.begin(), *stamps.rbegin(), offset)) {
            const RigidRecord* r = rigid(*f, id);
            if (!r || !(r->cond > 0)) continue;
            const auto near = stamps.lower_bound(f->generatedUs * 1000 + offset - 100'000);
            EXPECT_TRUE(near != stamps.end() && *near <= f->generatedUs * 1000 + offset + 100'000)
                << "frame " << f->frame << " of body " << id << " was not published";
        }
    }
    EXPECT_GT(bestEffortPoses.size(), 100u);  // a best-effort subscriber matches the reliable writer

    // One transform per body seen, parent world, the same values as the
    // poses (over the stretch where both were taken).
    ASSERT_FALSE(transforms.empty());
    std::map<std::pair<std::string, int64_t>, const TransformSample*> byChild;
    int64_t firstTf = INT64_MAX, lastTf = INT64_MIN;
    for (const TransformSample& t : transforms) {
        byChild[{t.child, t.stampNs}] = &t;
        firstTf = std::min(firstTf, t.stampNs), lastTf = std::max(lastTf, t.stampNs);
    }
    size_t compared = 0;
    for (const auto& [child, poses] : {std::pair{"wand", &wandPoses}, std::pair{"puck", &puckPoses}}) {
        for (const PoseSample& s : *poses) {
            if (s.stampNs < firstTf || s.stampNs > lastTf) continue;
            const auto t = byChild.find({child, s.stampNs});
            ASSERT_NE(t, byChild.end()) << "no transform for the " << child << "'s pose at " << s.stampNs;
            EXPECT_EQ(t->second->frameId, "world");
            EXPECT_EQ(t->second->translation.z, s.position.z);
            EXPECT_EQ(t->second->rotation.y, s.orientation.y);
            ++compared;
        }
    }
    EXPECT_GE(compared + 4, transforms.size());  // no transform of a body not seen

    // The markers seen, with their ids, in REP 103 metres.
    ASSERT_GT(clouds.size(), 200u);
    for (const CloudSample& c : clouds) {
        ASSERT_EQ(c.layoutError, "");
        const LibraryFrame* f = frameAt(library.frames, c.stampNs, offset);
        ASSERT_NE(f, nullptr);
        std::vector<MarkerPoint> seen;
        for (const MarkerRecord& m : f->markers) {
            if (!(m.cond > 0) || (m.flags & VEK_MARKER_FILLED)) continue;
            const float xyz[3] = {m.x, m.y, m.z};
            const Vec3 p = rep103Position(xyz);
            seen.push_back({uint32_t(m.id), float(p.x), float(p.y), float(p.z)});
        }
        ASSERT_EQ(c.points.size(), seen.size()) << "frame " << f->frame;
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(c.points[i].id, seen[i].id);
            EXPECT_EQ(c.points[i].x, seen[i].x);
            EXPECT_EQ(c.points[i].z, seen[i].z);
        }
    }
}

TEST(Bridge, ABodyTheCamerasCannotSeePublishesNothing) {
    useLoopbackConfig();
    const int domain = privateDomain();
    // Three cameras on one side; the beacon turns its LEDs (narrow cones)
    // towards them and away again every two seconds; the anchor always
    // faces them.
    const std::string scene =
        "noise 0\n"
        "camera 1 3000 0 1000 0 0 1000 60 60\n"
        "camera 2 3000 800 1500 0 0 1000 60 60\n"
        "camera 3 3000 -800 600 0 0 1000 60 60\n"
        "body beacon 0 300 1000 spin 180\n"
        "body anchor 0 -400 1200\n"
        "led 0 beacon 60 0 0 1 0 0 cone 40\n"
        "led 1 beacon 0 60 0 1 0 0 cone 40\n"
        "led 2 beacon 0 0 60 1 0 0 cone 40\n"
        "led 3 beacon -40 -40 20 1 0 0 cone 40\n"
        "led 4 anchor 50 0 0 1 0 0\n"
        "led 5 anchor 0 50 0 1 0 0\n"
        "led 6 anchor 0 0 50 1 0 0\n"
        "led 7 anchor -30 -30 30 1 0 0\n";
    testsupport::TempDir folder;
    const std::string sceneFile = folder.Write("beacon.scene", scene);
    vekd::Scene parsed;
    std::string error;
    ASSERT_TRUE(vekd::loadScene(sceneFile, parsed, error)) << error;
    const std::string beacon = folder.Write("beacon.rb", rigidBodyFile(parsed, "beacon"));
    const std::string anchor = folder.Write("anchor.rb", rigidBodyFile(parsed, "anchor"));
    ServerProcess server({"--freq", "100", "--scene", sceneFile});
    RosSubscriber sub(domain);
    const dds_entity_t beaconReader = sub.poseReader("/vek/beacon/pose"),
                       anchorReader = sub.poseReader("/vek/anchor/pose"), tf = sub.tfReader();
    // The domain from the environment, as ROS 2 nodes take it.
    setenv("ROS_DOMAIN_ID", std::to_string(domain).c_str(), 1);
    BridgeProcess bridge({"-s", server.address(), "-t", beacon, anchor});
    unsetenv("ROS_DOMAIN_ID");
    ASSERT_TRUE(bridge.waitForOutput("ROS 2 domain " + std::to_string(domain) + ", reliable", 5000))
        << bridge.err();
    LibraryWatcher library(server.address());
    ASSERT_TRUE(library.ok());
    watch(library, 1.0,
          [&] { sub.takePoses(beaconReader), sub.takePoses(anchorReader), sub.takeTransforms(tf); });
    std::vector<PoseSample> beaconPoses, anchorPoses;
    std::vector<TransformSample> transforms;
    watch(library, 2.5, [&] {
        for (auto& s : sub.takePoses(beaconReader)) beaconPoses.push_back(s);
        for (auto& s : sub.takePoses(anchorReader)) anchorPoses.push_back(s);
        for (auto& t : sub.takeTransforms(tf)) transforms.push_back(t);
    });
    EXPECT_EQ(bridge.stop(SIGINT), 0);
    ASSERT_GT(anchorPoses.size(), 150u);

    // Over the anchor's frames (published every frame), the beacon's pose
    // comes exactly in the frames where the library saw it.
    const int64_t offset = realtimeMinusSteadyNs();
    std::set<int64_t> beaconStamps;
    for (const PoseSample& s : beaconPoses) beaconStamps.insert(s.stampNs);
    std::set<std::pair<std::string, int64_t>> children;
    for (const TransformSample& t : transforms) children.insert({t.child, t.stampNs});
    int seen = 0, hidden = 0;
    for (const PoseSample& a : anchorPoses) {
        const LibraryFrame* f = frameAt(library.frames, a.stampNs, offset);
        ASSERT_NE(f, nullptr);
        const RigidRecord* r = rigid(*f, 0);
        const bool visible = r && r->cond > 0;
        (visible ? seen : hidden)++;
        EXPECT_EQ(beaconStamps.count(a.stampNs), visible ? 1u : 0u) << "frame " << f->frame;
        EXPECT_EQ(children.count({"beacon", a.stampNs}), visible ? 1u : 0u) << "frame " << f->frame;
    }
    EXPECT_GT(seen, 10);
    EXPECT_GT(hidden, 10);
    // The status line counts what was not sent.
    EXPECT_NE(bridge.out().find(" dropped  markers"), std::string::npos);
    EXPECT_EQ(bridge.out().find(" 0 dropped (bodies not seen)"), std::string::npos) << bridge.out();
}

TEST(Bridge, ASlaveBesideAMasterLeavesItsTrackersAlone) {
    useLoopbackConfig();
    const int domain = privateDomain();
    DefaultTrackers files;
    // A server whose frame clock runs an hour ahead, as another machine's
    // would: the stamps are still capture times on this machine's clock.
    ServerProcess server({"--freq", "200", "--clock-offset", "3600"});
    // The master: the wand as rigid tracker 3.
    LibraryWatcher master(server.address(), true);
    ASSERT_TRUE(master.ok());
    veksock::Session& s = master.session();
    const vekd::Scene scene = vekd::defaultScene();
    ASSERT_EQ(s.request(vekwire::Op::TrackerCreate, 3, VEK_CREATE, VEK_RIGID_TRACKER), 0);
    for (int led = 0; led < 6; ++led) {
        const vekd::Vec3 p = scene.leds[static_cast<size_t>(vekd::findLed(scene, led))].position;
        const float xyz[3] = {float(p.x), float(p.y), float(p.z)};
        ASSERT_EQ(s.request(vekwire::Op::MarkerInt, vek_marker_id(3, led), VEK_MARKER_LED, led), 0);
        ASSERT_TRUE(s.sendPosition(vek_marker_id(3, led), VEK_MARKER_POSITION, xyz));
    }
    ASSERT_EQ(s.request(vekwire::Op::TrackerOp, 3, 0, VEK_ON), 0);
    ASSERT_TRUE(s.setInteger(VEK_STREAMING, VEK_ON));

    RosSubscriber sub(domain);
    const dds_entity_t reader = sub.poseReader("/vek/tracker3/pose");
    BridgeProcess bridge(
        {"-s", server.address(), "-t", files.puck, "--rate", "500", "--domain", std::to_string(domain)});
    ASSERT_TRUE(bridge.waitForOutput("as a slave", 5000)) << bridge.out() << bridge.err();
    std::vector<PoseSample> poses;
    watch(master, 2.0, [&] {
        for (auto& p : sub.takePoses(reader)) poses.push_back(p);
    });
    EXPECT_EQ(bridge.stop(SIGINT), 0);
    EXPECT_NE(bridge.err().find("warning: the tracker files are left unused"), std::string::npos)
        << bridge.err();
    EXPECT_NE(bridge.err().find("warning: --rate is left unused"), std::string::npos);

    // The master's own frames: still its tracker only, still at its rate;
    // the bridge published its tracker under the name of its id.
    ASSERT_GT(poses.size(), 50u);
    const int64_t offset = realtimeMinusSteadyNs() - 3'600'000'000'000LL;
    for (const PoseSample& p : poses) {
        const LibraryFrame* f = frameAt(master.frames, p.stampNs, offset);
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(f->rigids.size(), 1u);
        ASSERT_EQ(f->rigids[0].id, 3);
        expectPose(p, f->rigids[0], "tracker3");
    }
    float hz = 0;
    s.getFloat(VEK_FREQUENCY, hz);
    EXPECT_EQ(hz, 200.0f);
    EXPECT_TRUE(master.pump(10));
}

TEST(Bridge, BadStartsAreRefusedClearly) {
    useLoopbackConfig();
    DefaultTrackers files;
    auto run = [](std::vector<std::string> args, const char* domainVariable = nullptr) {
        if (domainVariable) setenv("ROS_DOMAIN_ID", domainVariable, 1);
        BridgeProcess p(args);
        unsetenv("ROS_DOMAIN_ID");
        const int status = p.wait();
        return std::make_tuple(status, p.out(), p.err());
    };
    // A bad command line: status 2, the reason and the usage.
    auto [status, out, err] = run({"--domain", "233", "-t", files.wand});
    EXPECT_EQ(status, 2);
    EXPECT_EQ(err.rfind("error: --domain needs a ROS 2 domain id from 0 to 232", 0), 0u) << err;
    EXPECT_NE(err.find("usage: vekdds"), std::string::npos);
    std::tie(status, out, err) = run({"-h"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("usage: vekdds", 0), 0u);

    // A start that cannot work: status 1 and why, before DDS or the server.
    std::tie(status, out, err) = run({"-t", files.wand}, "300");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "error: ROS_DOMAIN_ID holds no ROS 2 domain id (0 to 232): \"300\"\n");
    std::tie(status, out, err) = run({"-t", files.folder.File("missing.rb")});
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("error: open("), std::string::npos) << err;
    const std::string nowhere = "127.0.0.1:" + std::to_string(testsupport::unusedPort());
    std::tie(status, out, err) = run({"-s", nowhere, "-t", files.wand, "--domain", "0"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "error: cannot connect to " + nowhere + ": connection refused (is vekd running there?)\n");

    const std::string domain = std::to_string(privateDomain());
    // A server with a lab key: refused without it, served with it.
    {
        const std::string key = files.folder.File("lab.key");
        std::string why;
        ASSERT_TRUE(vekwire::LabKey::generate().write(key, why)) << why;
        ServerProcess keyed({"--key-file", key});
        std::tie(status, out, err) = run({"-s", keyed.address(), "-t", files.wand, "--domain", domain});
        EXPECT_EQ(status, 1);
        EXPECT_EQ(err,
                  "error: cannot connect to " + keyed.address() + ": not authorised: wrong or missing key\n");
        BridgeProcess admitted({"-key", key, "-s", keyed.address(), "-t", files.wand, "--domain", domain});
        EXPECT_TRUE(admitted.waitForOutput("as master", 5000)) << admitted.err();
    }

    // As master without tracker files there is nothing to publish; a server
    // that stops ends the bridge with status 1.
    ServerProcess server;
    std::tie(status, out, err) = run({"-s", server.address(), "--domain", domain});
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("error: no master is connected"), std::string::npos) << err;
    BridgeProcess bridge({"-s", server.address(), "-t", files.wand, "--domain", domain});
    ASSERT_TRUE(bridge.waitForOutput("as master", 5000));
    server.stop();
    EXPECT_EQ(bridge.wait(), 1);
    EXPECT_NE(
        bridge.err().find("error: the connection to " + server.address() + " ended: the server stopped"),
        std::string::npos)
        << bridge.err();
}
