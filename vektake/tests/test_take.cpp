// Take files offline: what the writer makes comes back whole through the
// reader in pieces of any size; broken and cut-short takes say where.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "crc32.h"
#include "take_file.h"
#include "take_writer.h"

using namespace vektake;

namespace {

// A wire frame payload: markers, peaks (ids are LED ids) and detectors.
std::string framePayload(int32_t number, int64_t us, std::vector<MarkerRecord> markers,
                         std::vector<ImageRecord> images, std::vector<DetectorRecord> detectors) {
    std::string sections;
    vekwire::encodeSection(sections, markers.data(), static_cast<uint32_t>(markers.size()),
                           sizeof(MarkerRecord));
    vekwire::encodeSection(sections, images.data(), static_cast<uint32_t>(images.size()),
                           sizeof(ImageRecord));
    vekwire::encodeSection(sections, detectors.data(), static_cast<uint32_t>(detectors.size()),
                           sizeof(DetectorRecord));
    vekwire::FrameHeader h;
    h.frame = number;
    h.generatedUs = us;
    h.frequency = 480;
    h.mask = VEK_MARKER_BIT | VEK_IMAGE_BIT | VEK_DETECTOR_BIT;
    std::string message;
    vekwire::encodeFrameHeader(message, h, sections.size());
    return message.substr(vekwire::kHeaderSize) + sections;
}

std::string frame(int32_t number, float markerX = 1.5f, int32_t peakCamera = 1) {
    const MarkerRecord m{vek_marker_id(1, 0), number, markerX, 2, 3, 1.2f, 0};
    const ImageRecord peaks[2] = {{7, number, 0, 0, 4, 0, 0.25f, 300},
                                  {12, number, peakCamera, 1, 5, 1, 0.75f, 1023}};
    DetectorRecord d{1, number, 0, 1, 1, VEK_DETECTOR_PIXELS, 100, 0.05f, 300, 40000};
    return framePayload(number, 1000000 + number * 2083, {m}, {peaks[0], peaks[1]}, {d});
}

std::vector<VEKCamera> twoCameras() {
    return {{1, {1000, 0, 2000, 1, 0, 0, 0}, 1, 50000}, {2, {0, 1000, 2000, 0, 1, 0, 0}, -1, 0}};
}

Session sampleSession() {
    Session s;
    s.flags = kWorldYUp | kPeaksCarryLeds;
    s.startUnixUs = 1700000000123456;
    s.frequency = 480;
    s.serverName = "lab";
    s.server = "127.0.0.1:8998";
    return s;
}

constexpr int64_t kLocalEpochUs = 1796083200000000;

// A take of the given frame payloads, as the recorder writes it.
std::string take(const std::vector<std::string>& frames, bool end = true) {
    Writer writer(sampleSession(), twoCameras());
    std::string out, why;
    for (const std::string& p : frames) {
        vekwire::FrameView view;
        EXPECT_TRUE(vekwire::decodeFrame(reinterpret_cast<const uint8_t*>(p.data()), p.size(), view, why));
        // The second frame's capture time was not known on the recorder's clock.
        const int64_t local = &p == &frames[1] ? kNoLocalTime : kLocalEpochUs + view.header.generatedUs;
        EXPECT_TRUE(writer.frame(reinterpret_cast<const uint8_t*>(p.data()), p.size(), view, local, out, why))
            << why;
    }
    if (end) writer.end(out);
    EXPECT_EQ(writer.bytes(), out.size());
    return out;
}

struct ReadResult {
    std::vector<Item> items;  // frames' views are not kept
    std::vector<std::string> framePayloads;
    int last = 0;
    std::string error, cutShort;
};

ReadResult readAll(const std::string& bytes, size_t chunk) {
    Reader reader;
    ReadResult r;
    for (size_t at = 0; at < bytes.size() && r.last >= 0; at += chunk) {
        reader.feed(bytes.data() + at, std::min(chunk, bytes.size() - at));
        Item item;
        while ((r.last = reader.next(item)) == 1) {
            if (item.kind == Kind::Frame)
                r.framePayloads.emplace_back(reinterpret_cast<const char*>(item.payload), item.size);
            r.items.push_back(item);
        }
    }
    r.error = reader.error();
    r.cutShort = reader.cutShort();
    return r;
}

// Offset of the record that holds frame `n` (1-based) in a take.
size_t frameOffset(const std::string& bytes, int n) {
    const ReadResult r = readAll(bytes, bytes.size());
    int seen = 0;
    for (const Item& item : r.items)
        if (item.kind == Kind::Frame && ++seen == n) return item.offset;
    return 0;
}

// Rewrites the checksum of the record at `at` after its payload was changed.
void reseal(std::string& bytes, size_t at) {
    uint32_t length;
    std::memcpy(&length, &bytes[at], 4);
    const uint32_t crc = crc32(crc32(0, &bytes[at], 8), &bytes[at + kRecordHeaderSize], length);
    std::memcpy(&bytes[at + 8], &crc, 4);
}

std::string error(const std::string& bytes) { return readAll(bytes, 7).error; }

}  // namespace

TEST(Take, WhatTheWriterMakesComesBackWholeInPiecesOfAnySize) {
    EXPECT_EQ(crc32(0, "123456789", 9), 0xCBF43926u) << "the IEEE CRC-32";
    // Long pieces are folded 64 bytes at a time, short ones and the rest
    // go through the tables: every length and alignment gives the CRC.
    std::string noise(3000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);
    for (size_t length = 0; length <= noise.size(); length += length < 300 ? 1 : 541) {
        const size_t at = length % 13;
        uint32_t bitwise = ~0u;
        for (size_t i = at; i < at + length && i < noise.size(); ++i) {
            bitwise ^= static_cast<uint8_t>(noise[i]);
            for (int k = 0; k < 8; ++k) bitwise = (bitwise >> 1) ^ (0xEDB88320u & (0u - (bitwise & 1)));
        }
        const size_t n = std::min(length, noise.size() - at), half = n / 2;
        EXPECT_EQ(crc32(0, &noise[at], n), ~bitwise) << length << " bytes at " << at;
        EXPECT_EQ(crc32(crc32(0, &noise[at], half), &noise[at + half], n - half), ~bitwise)
            << "in two pieces";
    }
    const std::vector<std::string> frames = {frame(1), frame(2), frame(5)};
    const std::string bytes = take(frames);
    for (size_t chunk = 1; chunk <= bytes.size(); chunk += chunk < 64 ? 1 : 997) {
        const ReadResult r = readAll(bytes, chunk);
        ASSERT_EQ(r.last, 0) << r.error;
        ASSERT_EQ(r.items.size(), 6u) << "chunk " << chunk;
        EXPECT_EQ(r.framePayloads, frames) << "frames byte for byte, chunk " << chunk;
        EXPECT_EQ(r.items[2].localTimeUs, kLocalEpochUs + 1000000 + 2083);
        EXPECT_EQ(r.items[3].localTimeUs, kNoLocalTime);
        EXPECT_EQ(r.cutShort, "");
    }
    const ReadResult r = readAll(bytes, bytes.size());
    const Session& s = r.items[0].session;
    EXPECT_EQ(r.items[0].offset, kFileHeaderSize);
    EXPECT_EQ(s.flags, kWorldYUp | kPeaksCarryLeds);
    EXPECT_EQ(s.startUnixUs, 1700000000123456);
    EXPECT_EQ(s.serverName, "lab");
    EXPECT_EQ(s.server, "127.0.0.1:8998");
    const std::vector<Camera>& cams = r.items[1].cameras;
    ASSERT_EQ(cams.size(), 2u);
    EXPECT_EQ(cams[0].record.id, 1);
    EXPECT_EQ(cams[0].fov[0], 50000u) << "detector 0 untold: the camera's word";
    EXPECT_EQ(cams[0].fov[1], 40000u) << "detector 1 told its own";
    EXPECT_EQ(cams[1].fov[0], Writer::kDefaultFov) << "neither told";
    EXPECT_EQ(cams[1].record.cond, -1.0f);
    const End& e = r.items[5].end;
    EXPECT_EQ(e.frames, 3u);
    EXPECT_EQ(e.dropped, 2u) << "frames 3 and 4 missing";
    EXPECT_EQ(e.durationUs, 4 * 2083);

    // The same through a file: checked whole, and read again after a rewind.
    const std::string path = ::testing::TempDir() + "take_" + std::to_string(getpid()) + ".vektake";
    std::ofstream(path, std::ios::binary) << bytes;
    Summary summary;
    std::string why;
    ASSERT_TRUE(scanTake(path, summary, why)) << why;
    EXPECT_EQ(summary.frames, 3u);
    EXPECT_EQ(summary.frequency, 480.0f);
    EXPECT_EQ(summary.leds, (std::vector<int>{7, 12}));
    EXPECT_TRUE(summary.peakSections);
    EXPECT_EQ(summary.bytes, bytes.size());
    TakeFile file;
    ASSERT_TRUE(file.open(path, why));
    Item item;
    int records = 0;
    for (int pass = 0; pass < 2; ++pass, file.rewind())
        while (file.next(item) == 1) ++records;
    EXPECT_EQ(records, 12);
    std::filesystem::remove(path);
    EXPECT_FALSE(scanTake(path, summary, why));
    EXPECT_EQ(why, path + ": No such file or directory");
}

TEST(Take, BrokenTakesSayWhereTheyWentWrong) {
    const std::string good = take({frame(1), frame(2), frame(3)});
    const size_t second = frameOffset(good, 2);
    const std::string at2 = "byte " + std::to_string(second) + " (frame 2): ";

    EXPECT_EQ(error("PK\3\4 a zip file, not a take"), "byte 0: not a take file");
    std::string b = good;
    b[8] = 3;
    EXPECT_EQ(error(b), "byte 0: take format version 3; this program reads versions 1 to 2");

    b = good;
    b[second + kRecordHeaderSize + 30] ^= 0x10;
    EXPECT_EQ(error(b), at2 + "checksum mismatch (damaged take)");

    b = good;
    const uint32_t huge = 999999;
    std::memcpy(&b[second], &huge, 4);
    EXPECT_EQ(error(b), at2 + "record of 999999 bytes exceeds the limit of 131080");

    b = good.substr(0, second + kRecordHeaderSize + 4) + good.substr(frameOffset(good, 3));
    const uint32_t four = 4;
    std::memcpy(&b[second], &four, 4);
    reseal(b, second);
    EXPECT_EQ(error(b), at2 + "frame record without its capture time");

    b = good;
    b[second + 4] = 9;
    EXPECT_EQ(error(b), "byte " + std::to_string(second) + " (after frame 1): not a take record (kind 9)");

    // Sealed anew, so that only the content is wrong.
    const std::string bad[] = {frame(2, std::numeric_limits<float>::quiet_NaN()), frame(2, 1.5f, 2),
                               frame(1)};
    const std::string why[] = {"marker 0: position not finite", "peak 1: no such camera",
                               "frame number 1 does not follow 1"};
    for (int k = 0; k < 3; ++k) {
        b = good;
        b.replace(second + kRecordHeaderSize + kLocalTimeSize, bad[k].size(), bad[k]);
        reseal(b, second);
        EXPECT_EQ(error(b), at2 + why[k]);
        // The writer never makes such a frame, for the same reason.
        Writer writer(sampleSession(), twoCameras());
        std::string out, whyNot;
        const std::string first = frame(1);
        for (const std::string* p : {&first, &bad[k]}) {
            const auto* data = reinterpret_cast<const uint8_t*>(p->data());
            vekwire::FrameView view;
            ASSERT_TRUE(vekwire::decodeFrame(data, p->size(), view, whyNot));
            EXPECT_EQ(writer.frame(data, p->size(), view, vektake::kNoLocalTime, out, whyNot), p == &first);
        }
        EXPECT_EQ(whyNot, why[k]);
    }

    EXPECT_EQ(error(good + "x"), "byte " + std::to_string(good.size()) + ": bytes after the end record");
    std::string noCameras = good.substr(0, frameOffset(good, 1));
    const size_t cameras = readAll(good, good.size()).items[1].offset;
    noCameras.erase(cameras);
    EXPECT_EQ(error(noCameras + good.substr(second, frameOffset(good, 3) - second)),
              "byte " + std::to_string(cameras) + " (frame 1): frame before the camera list");
}

TEST(Take, ATakeCutShortAnywhereReadsUpToItsLastWholeFrame) {
    const std::string whole = take({frame(1), frame(2), frame(3), frame(4)}, false);
    std::vector<size_t> ends;  // where each frame record ends
    for (int n = 2; n <= 4; ++n) ends.push_back(frameOffset(whole, n));
    ends.push_back(whole.size());
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        const ReadResult r = readAll(whole.substr(0, cut), whole.size());
        ASSERT_EQ(r.last, 0) << "cut " << cut << ": " << r.error;
        const size_t frames = std::count_if(ends.begin(), ends.end(), [cut](size_t e) { return e <= cut; });
        ASSERT_EQ(r.framePayloads.size(), frames) << "cut " << cut;
        ASSERT_EQ(r.cutShort.rfind("byte ", 0), 0u) << r.cutShort;
    }
    const size_t third = frameOffset(whole, 3);
    EXPECT_EQ(
        readAll(whole.substr(0, third + 40), 100).cutShort,
        "byte " + std::to_string(third) + " (frame 3): cut short, no end record; 2 whole frames before it");
    EXPECT_EQ(readAll(whole.substr(0, 10), 100).cutShort,
              "byte 0 (file header): cut short, no end record; 0 whole frames before it");
}
