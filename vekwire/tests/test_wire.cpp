// The wire reader and codecs, offline: round trips, fragments of every
// size, and every kind of broken input.
#include <gtest/gtest.h>

#include <cstring>

#include "wire.h"

using namespace vekwire;

namespace {

std::string sampleStream() {
    std::string s;
    Hello h;
    h.flags = 0x301;
    h.label = "snapwell";
    encodeHello(s, h);
    Request r;
    r.seq = 7;
    r.op = Op::MarkerFloat;
    r.target = vek_marker_id(1, 3);
    r.key = VEK_MARKER_POSITION;
    r.f[0] = 1.5f;
    r.f[2] = -2.0f;
    encodeRequest(s, r);
    MarkerRecord m[2] = {{1, 10, 1, 2, 3, 4.5f, 0x10}, {2, 10, 5, 6, 7, 0, 0}};
    ImageRecord img{-1, 10, 3, 1, 7, 0, 0.25f, 300};
    std::string sections;
    encodeSection(sections, m, 2, sizeof(MarkerRecord));
    encodeSection(sections, &img, 1, sizeof(ImageRecord));
    FrameHeader fh;
    fh.frame = 10;
    fh.generatedUs = 123456789012LL;
    fh.frequency = 480;
    fh.mask = VEK_MARKER_BIT | VEK_IMAGE_BIT;
    encodeFrameHeader(s, fh, sections.size());
    s += sections;
    encodeBye(s, 1);
    return s;
}

std::vector<Kind> readAll(Reader& reader, const std::string& bytes, size_t chunk) {
    std::vector<Kind> kinds;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        reader.feed(bytes.data() + at, std::min(chunk, bytes.size() - at));
        Message m;
        while (reader.next(m) == 1) kinds.push_back(m.kind);
    }
    return kinds;
}

}  // namespace

TEST(WireReader, WholeMessagesComeOutWhateverTheFragmentSize) {
    const std::string bytes = sampleStream();
    const std::vector<Kind> expected = {Kind::Hello, Kind::Request, Kind::Frame, Kind::Bye};
    for (size_t chunk = 1; chunk <= bytes.size(); ++chunk) {
        Reader reader;
        EXPECT_EQ(readAll(reader, bytes, chunk), expected) << "chunk " << chunk;
        EXPECT_FALSE(reader.failed());
        EXPECT_EQ(reader.buffered(), 0u);
    }
}

TEST(WireReader, RoundTripsKeepEveryField) {
    Reader reader;
    const std::string bytes = sampleStream();
    reader.feed(bytes.data(), bytes.size());
    Message m;
    std::string error;

    ASSERT_EQ(reader.next(m), 1);
    Hello h;
    ASSERT_TRUE(decodeHello(m.data, m.size, h, error)) << error;
    EXPECT_EQ(h.flags, 0x301);
    EXPECT_EQ(h.label, "snapwell");
    EXPECT_EQ(h.version, kVersion);

    ASSERT_EQ(reader.next(m), 1);
    Request r;
    ASSERT_TRUE(decodeRequest(m.data, m.size, r, error)) << error;
    EXPECT_EQ(r.seq, 7u);
    EXPECT_EQ(r.op, Op::MarkerFloat);
    EXPECT_EQ(r.target, 4099);
    EXPECT_EQ(r.f[0], 1.5f);
    EXPECT_EQ(r.f[2], -2.0f);

    ASSERT_EQ(reader.next(m), 1);
    FrameView f;
    ASSERT_TRUE(decodeFrame(m.data, m.size, f, error)) << error;
    EXPECT_EQ(f.header.frame, 10);
    EXPECT_EQ(f.header.generatedUs, 123456789012LL);
    EXPECT_EQ(f.header.frequency, 480.0f);
    EXPECT_EQ(f.count[VEK_MARKER_STREAM], 2u);
    EXPECT_EQ(f.count[VEK_RIGID_STREAM], 0u);
    EXPECT_EQ(f.count[VEK_IMAGE_STREAM], 1u);
    MarkerRecord back[2];
    std::memcpy(back, f.records[VEK_MARKER_STREAM], sizeof back);
    EXPECT_EQ(back[0].flags, 0x10u);
    EXPECT_EQ(back[1].z, 7.0f);
    ImageRecord img;
    std::memcpy(&img, f.records[VEK_IMAGE_STREAM], sizeof img);
    EXPECT_EQ(img.id, -1);
    EXPECT_EQ(img.pos, 0.25f);

    ASSERT_EQ(reader.next(m), 1);
    int32_t reason = 0;
    ASSERT_TRUE(decodeInt(m.data, m.size, reason, error));
    EXPECT_EQ(reason, 1);
    EXPECT_EQ(reader.next(m), 0);

    std::string w;
    Welcome in;
    in.result = VEK_ERR_MASTER_BUSY;
    in.clientId = 9;
    in.frequency = 5;
    in.name = "lab";
    in.facts = kFrameClockElsewhere;
    encodeWelcome(w, in);
    Welcome out;
    ASSERT_TRUE(decodeWelcome(reinterpret_cast<const uint8_t*>(w.data()) + kHeaderSize,
                              w.size() - kHeaderSize, out, error));
    EXPECT_EQ(out.result, VEK_ERR_MASTER_BUSY);
    EXPECT_EQ(out.clientId, 9u);
    EXPECT_EQ(out.name, "lab");
    EXPECT_EQ(out.facts, kFrameClockElsewhere);

    // A time answer keeps its times to the microsecond, negative ones too;
    // times in the wrong order or another version are refused.
    std::string t;
    encodeTime(t, Time{77, kTimeExchangeVersion, -3600000000123LL, -3600000000100LL});
    Time time;
    ASSERT_TRUE(decodeTime(reinterpret_cast<const uint8_t*>(t.data()) + kHeaderSize, t.size() - kHeaderSize,
                           time, error))
        << error;
    EXPECT_EQ(time.seq, 77u);
    EXPECT_EQ(time.receivedUs, -3600000000123LL);
    EXPECT_EQ(time.sentUs, -3600000000100LL);
    for (const Time bad : {Time{1, kTimeExchangeVersion, 10, 9}, Time{1, 2, 10, 11}}) {
        t.clear();
        encodeTime(t, bad);
        EXPECT_FALSE(decodeTime(reinterpret_cast<const uint8_t*>(t.data()) + kHeaderSize,
                                t.size() - kHeaderSize, time, error));
    }

    std::vector<VEKCamera> cams(3);
    cams[2].id = 42;
    cams[2].cond = -1;
    std::string c;
    encodeCameras(c, cams.data(), 3);
    std::vector<VEKCamera> got;
    ASSERT_TRUE(decodeCameras(reinterpret_cast<const uint8_t*>(c.data()) + kHeaderSize,
                              c.size() - kHeaderSize, got, error));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].id, 42);
    EXPECT_EQ(got[2].cond, -1.0f);
}

TEST(WireReader, RejectsBrokenStreamsWithAStickyError) {
    {
        Reader reader;  // unknown kind
        const uint8_t bad[8] = {4, 0, 0, 0, 99, 0, 0, 0};
        reader.feed(bad, sizeof bad);
        Message m;
        EXPECT_EQ(reader.next(m), -1);
        EXPECT_EQ(reader.error(), "unknown message kind 99");
        reader.feed(bad, sizeof bad);
        EXPECT_EQ(reader.next(m), -1);  // stays broken
    }
    {
        Reader reader(1024);  // oversized
        const uint8_t big[8] = {0x01, 0x04, 0, 0, 5, 0, 0, 0};
        reader.feed(big, sizeof big);
        Message m;
        EXPECT_EQ(reader.next(m), -1);
        EXPECT_EQ(reader.error(), "message of 1025 bytes exceeds the limit");
    }
    {
        Reader reader;  // garbage after a good message
        std::string bytes;
        encodeBye(bytes, 0);
        bytes += "GET / HTTP/1.1\r\n\r\n";
        reader.feed(bytes.data(), bytes.size());
        Message m;
        EXPECT_EQ(reader.next(m), 1);
        EXPECT_EQ(m.kind, Kind::Bye);
        EXPECT_EQ(reader.next(m), -1);
        EXPECT_TRUE(reader.failed());
    }
    {
        Reader reader;  // a non-zero reserved half-word is not our framing
        const uint8_t bad[8] = {0, 0, 0, 0, 7, 0, 1, 0};
        reader.feed(bad, sizeof bad);
        Message m;
        EXPECT_EQ(reader.next(m), -1);
    }
    {
        Reader reader;  // truncated: waits for more, no error
        std::string bytes;
        encodeState(bytes, 480);
        reader.feed(bytes.data(), bytes.size() - 1);
        Message m;
        EXPECT_EQ(reader.next(m), 0);
        EXPECT_FALSE(reader.failed());
    }
}

TEST(WireDecode, FramePayloadsAreCheckedBeforeUse) {
    std::string error;
    FrameView f;
    auto payload = [](const FrameHeader& h, const std::string& sections) {
        std::string s;
        encodeFrameHeader(s, h, sections.size());
        return s.substr(kHeaderSize) + sections;
    };
    auto decode = [&](const std::string& p) {
        error.clear();
        return decodeFrame(reinterpret_cast<const uint8_t*>(p.data()), p.size(), f, error);
    };
    FrameHeader h;
    h.mask = VEK_MARKER_BIT;
    std::string section;
    const MarkerRecord m{};
    encodeSection(section, &m, 1, sizeof m);

    EXPECT_TRUE(decode(payload(h, section)));
    EXPECT_FALSE(decode(payload(h, section).substr(0, 30)));
    EXPECT_EQ(error, "truncated frame section");
    EXPECT_FALSE(decode(payload(h, section) + "x"));
    EXPECT_EQ(error, "trailing bytes in frame");
    EXPECT_FALSE(decode(payload(h, "")));
    EXPECT_EQ(error, "truncated frame");

    std::string tooMany;
    const uint32_t count = 586;
    tooMany.append(reinterpret_cast<const char*>(&count), 4);
    EXPECT_FALSE(decode(payload(h, tooMany)));
    EXPECT_EQ(error, "too many records in frame");

    // A count whose byte size would overflow is refused, not multiplied blindly.
    h.mask = VEK_IMAGE_BIT;
    std::string huge;
    const uint32_t hugeCount = 0xFFFFFFFFu;
    huge.append(reinterpret_cast<const char*>(&hugeCount), 4);
    EXPECT_FALSE(decode(payload(h, huge)));

    h.mask = 0x30;
    EXPECT_FALSE(decode(payload(h, "")));
    EXPECT_EQ(error, "unknown stream in frame");

    std::vector<VEKCamera> cams;
    const uint32_t n = 65;
    std::string c(reinterpret_cast<const char*>(&n), 4);
    c.resize(4 + 65 * sizeof(VEKCamera));
    EXPECT_FALSE(decodeCameras(reinterpret_cast<const uint8_t*>(c.data()), c.size(), cams, error));
}

TEST(WireDecode, HandshakeAndDiscoveryRefuseStrangers) {
    std::string error;
    Hello h;
    const uint8_t http[] = "GET / HTTP/1.1\r\nHost: x\r\n";
    EXPECT_FALSE(decodeHello(http, sizeof http - 1, h, error));
    EXPECT_EQ(error, "not a vek client");

    std::string s;
    Hello long_label;
    long_label.label = std::string(200, 'a');  // cut to the text limit when sent
    encodeHello(s, long_label);
    ASSERT_TRUE(decodeHello(reinterpret_cast<const uint8_t*>(s.data()) + kHeaderSize, s.size() - kHeaderSize,
                            h, error));
    EXPECT_EQ(h.label.size(), kMaxText);

    VEKScanEntry e{};
    std::snprintf(e.host, sizeof e.host, "127.0.0.1:4000");
    std::snprintf(e.description, sizeof e.description, "vekd 1.0  lab");
    std::string answer = encodeScanAnswer(e);
    VEKScanEntry back;
    ASSERT_TRUE(decodeScanAnswer(reinterpret_cast<const uint8_t*>(answer.data()), answer.size(), back));
    EXPECT_STREQ(back.host, "127.0.0.1:4000");
    std::memset(answer.data() + 8, 'x', 256);  // host without its terminator
    EXPECT_FALSE(decodeScanAnswer(reinterpret_cast<const uint8_t*>(answer.data()), answer.size(), back));

    const std::string q = encodeScanQuery("configtoolbar");
    std::string label;
    ASSERT_TRUE(decodeScanQuery(reinterpret_cast<const uint8_t*>(q.data()), q.size(), label));
    EXPECT_EQ(label, "configtoolbar");
    EXPECT_FALSE(decodeScanQuery(reinterpret_cast<const uint8_t*>(q.data()), q.size() - 1, label));
}
