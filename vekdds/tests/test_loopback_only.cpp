// DDS as the tests run it leaves nothing on any interface but loopback.
// The run happens in a network namespace of its own (so that no other
// traffic on the machine counts) that holds, besides loopback, a veth pair
// with an address: the interface DDS would take without the loopback
// configuration. Its transmit counter stays at zero while vekd, vekdds and
// a subscriber exchange a stream over loopback.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "bridge_process.h"
#include "ros_subscriber.h"
#include "server_process.h"
#include "tracker_files.h"
#include "unique_fd.h"

using namespace vekdds::testing;

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

// Packets sent so far on `interface`, from this namespace's /proc/net/dev.
long long txPackets(const std::string& interface) {
    std::ifstream in("/proc/net/dev");
    for (std::string line; std::getline(in, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        name.erase(0, name.find_first_not_of(' '));
        if (name != interface) continue;
        std::istringstream fields(line.substr(colon + 1));
        long long v[10] = {};
        for (long long& x : v) fields >> x;
        return v[9];  // receive: 8 fields, then transmit bytes, packets
    }
    return -1;
}

// In a fresh user and network namespace: loopback up, and the veth pair
// vekdds0 (10.200.0.1/24) / vekdds1 up without IPv6 (which would send on
// its own). Empty, or why it could not be made.
std::string isolatedNetwork() {
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return std::string("unshare: ") + std::strerror(errno);
    writeFile("/proc/self/setgroups", "deny");
    if (!writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
        !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n"))
        return "cannot map the user into the namespace";
    const char* steps =
        "ip link set lo up && ip link add vekdds0 type veth peer name vekdds1 && "
        "echo 1 > /proc/sys/net/ipv6/conf/vekdds0/disable_ipv6 && "
        "echo 1 > /proc/sys/net/ipv6/conf/vekdds1/disable_ipv6 && "
        "ip addr add 10.200.0.1/24 dev vekdds0 && ip link set vekdds0 up && ip link set vekdds1 up";
    if (std::system((std::string(steps) + " 2>/dev/null").c_str()) != 0)
        return "cannot make a veth pair (ip)";
    return "";
}

// The DDS run inside the namespace; one line of results for the parent.
std::string runIsolated() {
    if (const std::string why = isolatedNetwork(); !why.empty()) return "unavailable " + why;
    const long long vethBefore = txPackets("vekdds0"), loBefore = txPackets("lo");
    long long received = 0;
    {
        testsupport::TempDir folder;
        const std::string wand = folder.Write("wand.rb", rigidBodyFile(vekd::defaultScene(), "wand"));
        testsupport::ServerProcess server({"--freq", "200"});
        const int domain = privateDomain();
        RosSubscriber sub(domain);
        const dds_entity_t reader = sub.poseReader("/vek/wand/pose");
        BridgeProcess bridge({"-s", server.address(), "-t", wand, "--domain", std::to_string(domain)});
        if (!bridge.waitForOutput("as master", 5000)) return "failed vekdds did not start: " + bridge.err();
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
        while (std::chrono::steady_clock::now() < end)
            if (sub.wait(50)) received += static_cast<long long>(sub.takePoses(reader).size());
        bridge.stop(2);
    }
    const long long vethAfter = txPackets("vekdds0"), loAfter = txPackets("lo");
    // The counter does count: one datagram towards the pair's subnet.
    const vekwire::UniqueFd udp(socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    inet_pton(AF_INET, "10.200.0.2", &to.sin_addr);
    sendto(udp.get(), "x", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    usleep(200'000);
    std::ostringstream line;
    line << "received " << received << " lo " << (loAfter - loBefore) << " veth " << (vethAfter - vethBefore)
         << " control " << (txPackets("vekdds0") - vethAfter);
    return line.str();
}

}  // namespace

TEST(LoopbackOnly, DdsSendsNothingOnAnyOtherInterface) {
    useLoopbackConfig();
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    vekwire::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        readEnd.reset();
        std::string result;
        try {
            result = runIsolated();
        } catch (const std::exception& e) {
            result = std::string("failed ") + e.what();
        }
        (void)!write(writeEnd.get(), result.data(), result.size());
        _exit(0);
    }
    writeEnd.reset();
    std::string result;
    char buf[512];
    for (ssize_t n; (n = read(readEnd.get(), buf, sizeof buf)) > 0;)
        result.append(buf, static_cast<size_t>(n));
    int status = 0;
    waitpid(pid, &status, 0);
    if (result.rfind("unavailable ", 0) == 0) GTEST_SKIP() << "no private network namespace here: " << result;
    long long received = -1, lo = -1, veth = -1, control = -1;
    ASSERT_EQ(std::sscanf(result.c_str(), "received %lld lo %lld veth %lld control %lld", &received, &lo,
                          &veth, &control),
              4)
        << result;
    EXPECT_GT(received, 100) << "the stream did not flow: " << result;
    EXPECT_GT(lo, 100);
    EXPECT_EQ(veth, 0) << "DDS sent on another interface than loopback";
    EXPECT_GT(control, 0) << "the transmit counter does not count";
}
