// vekd posing as another machine: its clock and link options, the frame
// clock they make and the order the held messages keep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"
#include "simulated_link.h"

namespace {

bool parse(std::vector<std::string> args, vekd::Options& o, std::string& error) {
    args.insert(args.begin(), "vekd");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    return vekd::parseOptions(static_cast<int>(argv.size()), argv.data(), o, error);
}

}  // namespace

TEST(SimulatedLink, OptionsInRangeMakeTheFrameClockAndHostileOnesAreRefused) {
    vekd::Options o;
    std::string error;
    ASSERT_TRUE(
        parse({"--clock-offset", "-3600.5", "--clock-drift", "100", "--link-delay", "2:0.5"}, o, error))
        << error;
    EXPECT_TRUE(o.clockElsewhere());
    EXPECT_EQ(o.linkDelayMs, 2);
    EXPECT_EQ(o.linkJitterMs, 0.5);
    const vekd::ServerTime time(o);
    EXPECT_EQ(time.at(1'000'000'000), 1'000'000'000 - 3'600'500'000LL + 100'000);
    EXPECT_EQ(vekd::ServerTime().at(123), 123);
    EXPECT_FALSE(vekd::Options().clockElsewhere());

    for (const auto& [option, value] :
         std::vector<std::pair<std::string, std::string>>{{"--clock-offset", "nan"},
                                                          {"--clock-offset", "inf"},
                                                          {"--clock-offset", "864001"},
                                                          {"--clock-offset", " 5"},
                                                          {"--clock-offset", "1h"},
                                                          {"--clock-drift", "1e999"},
                                                          {"--clock-drift", "-1000.1"},
                                                          {"--link-delay", "-1"},
                                                          {"--link-delay", "2:3"},
                                                          {"--link-delay", "2:"},
                                                          {"--link-delay", "1001"},
                                                          {"--link-delay", ""}}) {
        vekd::Options bad;
        EXPECT_FALSE(parse({option, value}, bad, error)) << option << " " << value;
        EXPECT_EQ(error, "invalid value for " + option + ": " + value);
    }
}

TEST(SimulatedLink, DelaysStayInTheirRangeKeepTheOrderAndFollowTheSeed) {
    vekd::Options o;
    o.linkDelayMs = 2;
    o.linkJitterMs = 0.5;
    vekd::LinkDelay a(o), b(o);
    long long lastA = 0, lastB = 0, previous = 0;
    for (long long now = 0; now < 100'000; now += 100) {  // a message every 0.1 ms
        const long long at = a.releaseUs(now, lastA);
        EXPECT_GE(at, now + 1500);
        EXPECT_GE(at, previous);  // never before the message ahead of it
        EXPECT_EQ(b.releaseUs(now, lastB), at);
        previous = at;
    }
    // Alone on the link, a message takes between 1.5 and 2.5 ms.
    long long last = 0;
    const long long at = a.releaseUs(1'000'000, last);
    EXPECT_GE(at, 1'001'500);
    EXPECT_LE(at, 1'002'500);
    EXPECT_FALSE(vekd::LinkDelay().active());
}
