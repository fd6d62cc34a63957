// The lab key offline: key files as vekd makes and reads them, proofs that
// hold for one nonce, one greeting and one key only, and the handshake's
// two messages on the wire.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "lab_key.h"
#include "wire.h"

using namespace vekwire;

namespace {

struct Folder {
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "labkey-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string write(const std::string& name, const std::string& text, mode_t mode = 0600) const {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary) << text;
        ::chmod(file.c_str(), mode);
        return file;
    }
    std::string path;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::string payloadOf(const std::string& message) { return message.substr(kHeaderSize); }

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::string helloPayload(int flags, const std::string& label) {
    Hello h;
    h.flags = flags;
    h.label = label;
    std::string out;
    encodeHello(out, h);
    return payloadOf(out);
}

}  // namespace

TEST(LabKey, FilesAreMadeOnceAsPrivateHexAndReadOnlyWhenPrivate) {
    const Folder dir;
    const LabKey made = LabKey::generate();
    ASSERT_FALSE(made.empty());
    const std::string path = dir.path + "/new/vek/key";  // folders made on the way
    std::string why;
    ASSERT_TRUE(made.write(path, why)) << why;
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(dir.path + "/new/vek"), 0700u);
    const std::string text = readFile(path);
    ASSERT_EQ(text.size(), 65u);
    EXPECT_EQ(text.find_first_not_of("0123456789abcdef"), 64u);
    EXPECT_EQ(text.back(), '\n');

    // Never over an existing file, which stays as it was.
    EXPECT_FALSE(LabKey::generate().write(path, why));
    EXPECT_EQ(why, path + ": exists; a lab key is never overwritten (remove it first)");
    EXPECT_EQ(readFile(path), text);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path + "/new/vek"), {}), 1);

    // What is read back proves as the key that was written.
    LabKey read;
    ASSERT_TRUE(LabKey::read(path, read, why)) << why;
    uint8_t nonce[kNonceBytes] = {1, 2, 3}, proof[kProofBytes];
    const std::string hello = helloPayload(0, "vistra");
    made.prove(nonce, bytes(hello), hello.size(), proof);
    EXPECT_TRUE(read.verify(nonce, bytes(hello), hello.size(), proof));

    // A key file any other user may read or change is refused, as ssh does.
    for (const mode_t mode : {0640, 0604, 0620, 0602, 0660}) {
        const std::string loose = dir.write("loose", text, mode);
        LabKey k;
        EXPECT_FALSE(LabKey::read(loose, k, why));
        char octal[8];
        std::snprintf(octal, sizeof octal, "%04o", mode);
        EXPECT_EQ(why, loose + ": permissions " + octal +
                           " are too open: a lab key must not be readable or writable by group or others "
                           "(chmod 600 it)");
        EXPECT_TRUE(k.empty());
    }
    EXPECT_TRUE(LabKey::read(dir.write("crlf", text.substr(0, 64) + "\r\n", 0400), read, why)) << why;

    const std::string notAKey = ": not a lab key (64 hex digits and a newline; vekd --make-key makes one)";
    for (const std::string& bad : {std::string(), text.substr(1), text.substr(0, 63) + "g\n", text + text,
                                   "key " + text, std::string(300, 'a')}) {
        const std::string file = dir.write("bad", bad);
        EXPECT_FALSE(LabKey::read(file, read, why));
        EXPECT_EQ(why, file + notAKey) << bad;
    }
    EXPECT_FALSE(LabKey::read(dir.path + "/none", read, why));
    EXPECT_EQ(why, dir.path + "/none: No such file or directory");
    EXPECT_FALSE(LabKey::read(dir.path, read, why));
    EXPECT_EQ(why, dir.path + ": a folder, not a regular file");
}

TEST(LabKey, AProofHoldsForItsNonceGreetingAndKeyOnly) {
    const LabKey key = LabKey::generate(), other = LabKey::generate();
    uint8_t nonce[kNonceBytes];
    ASSERT_TRUE(randomNonce(nonce));
    const std::string master = helloPayload(0, "vistra");
    uint8_t proof[kProofBytes];
    key.prove(nonce, bytes(master), master.size(), proof);
    EXPECT_TRUE(key.verify(nonce, bytes(master), master.size(), proof));

    EXPECT_FALSE(other.verify(nonce, bytes(master), master.size(), proof));
    EXPECT_FALSE(LabKey().verify(nonce, bytes(master), master.size(), proof));
    // Another connection's nonce: a replayed proof fails.
    uint8_t fresh[kNonceBytes];
    ASSERT_TRUE(randomNonce(fresh));
    EXPECT_FALSE(key.verify(fresh, bytes(master), master.size(), proof));
    // Another role, label or mode than the greeting proved.
    for (const std::string& greeting :
         {helloPayload(VEK_SLAVE, "vistra"), helloPayload(0, "vistrb"), helloPayload(VEK_MODE1, "vistra")})
        EXPECT_FALSE(key.verify(nonce, bytes(greeting), greeting.size(), proof));
    for (size_t i = 0; i < kProofBytes; ++i) {
        uint8_t flipped[kProofBytes];
        std::memcpy(flipped, proof, sizeof flipped);
        flipped[i] ^= 0x01;
        EXPECT_FALSE(key.verify(nonce, bytes(master), master.size(), flipped)) << i;
    }
}

TEST(LabKey, ChallengeAndProofOnTheWire) {
    Challenge c;
    c.policy = kObserversWithoutKey;
    ASSERT_TRUE(randomNonce(c.nonce));
    std::string stream;
    encodeChallenge(stream, c);
    Proof full, none;
    full.present = true;
    full.mac[31] = 0xab;
    encodeProof(stream, full);
    encodeProof(stream, none);

    Reader reader;
    reader.feed(stream.data(), stream.size());
    Message m;
    std::string error;
    ASSERT_EQ(reader.next(m), 1);
    ASSERT_EQ(m.kind, Kind::Challenge);
    ASSERT_EQ(m.size, 40u);
    Challenge back;
    ASSERT_TRUE(decodeChallenge(m.data, m.size, back, error)) << error;
    EXPECT_EQ(back.policy, kObserversWithoutKey);
    EXPECT_EQ(std::memcmp(back.nonce, c.nonce, kNonceBytes), 0);
    const std::string challenge(reinterpret_cast<const char*>(m.data), m.size);
    for (const auto& [bytesIn, reason] : {std::pair{challenge.substr(0, 39), "truncated challenge"},
                                          {challenge.substr(0, 7), "truncated challenge"},
                                          {challenge + "x", "trailing bytes in challenge"}}) {
        EXPECT_FALSE(decodeChallenge(bytes(bytesIn), bytesIn.size(), back, error));
        EXPECT_EQ(error, reason);
    }
    std::string oldServer = challenge;
    oldServer[4] = 1;  // version 1 knows no challenge
    EXPECT_FALSE(decodeChallenge(bytes(oldServer), oldServer.size(), back, error));

    Proof p;
    ASSERT_EQ(reader.next(m), 1);
    ASSERT_EQ(m.kind, Kind::Proof);
    ASSERT_TRUE(decodeProof(m.data, m.size, p, error));
    EXPECT_TRUE(p.present);
    EXPECT_EQ(p.mac[31], 0xab);
    ASSERT_EQ(reader.next(m), 1);
    ASSERT_TRUE(decodeProof(m.data, m.size, p, error));
    EXPECT_FALSE(p.present);
    EXPECT_FALSE(decodeProof(bytes(challenge), 31, p, error));
    EXPECT_EQ(error, "a proof is 32 bytes or none");

    // A welcome answers in the version of the greeting; unknown versions are refused.
    for (const uint16_t version : {uint16_t{1}, uint16_t{2}, uint16_t{0}, uint16_t{3}}) {
        Welcome w;
        w.version = version;
        std::string out;
        encodeWelcome(out, w);
        const std::string payload = payloadOf(out);
        Welcome read;
        EXPECT_EQ(decodeWelcome(bytes(payload), payload.size(), read, error), version == 1 || version == 2);
    }
    const std::string unknown("\0\0\0\0\x0c\0\0\0", 8);  // the kind after the last (Time)
    Reader r2;
    r2.feed(unknown.data(), unknown.size());
    EXPECT_EQ(r2.next(m), -1);
    EXPECT_EQ(r2.error(), "unknown message kind 12");
}
