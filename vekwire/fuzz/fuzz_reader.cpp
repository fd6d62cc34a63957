// Fuzz target: any bytes, in two fragments, through the wire reader and
// every payload decoder, and every greeting and proof through the lab
// key's check. Nothing may crash, hang or read out of bounds, and no proof
// made without the key may pass.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vekwire;
    Reader reader(64 * 1024);
    const size_t split = size ? data[0] % (size + 1) : 0;
    std::string error;
    std::vector<VEKCamera> cameras;
    static const LabKey key = LabKey::generate();
    static const uint8_t nonce[kNonceBytes] = {7};
    std::string hello;  // the last greeting's payload, as a server keeps it
    for (const auto& [from, len] : {std::pair{size_t{0}, split}, std::pair{split, size - split}}) {
        reader.feed(data + from, len);
        Message m;
        while (reader.next(m) == 1) {
            Hello h;
            Welcome w;
            Request rq;
            Reply rp;
            FrameView f;
            int32_t i;
            float v;
            if (decodeHello(m.data, m.size, h, error))
                hello.assign(reinterpret_cast<const char*>(m.data), m.size);
            decodeWelcome(m.data, m.size, w, error);
            Challenge c;
            Proof p;
            decodeChallenge(m.data, m.size, c, error);
            if (decodeProof(m.data, m.size, p, error) && p.present &&
                key.verify(nonce, reinterpret_cast<const uint8_t*>(hello.data()), hello.size(), p.mac))
                __builtin_trap();
            decodeRequest(m.data, m.size, rq, error);
            decodeReply(m.data, m.size, rp, error);
            Time t;
            if (decodeTime(m.data, m.size, t, error) && t.sentUs < t.receivedUs) __builtin_trap();
            decodeInt(m.data, m.size, i, error);
            decodeFloat(m.data, m.size, v, error);
            decodeCameras(m.data, m.size, cameras, error);
            if (decodeFrame(m.data, m.size, f, error)) {
                volatile uint8_t sink = 0;  // touch every record byte
                for (int s = 0; s < kStreamCount; ++s)
                    for (size_t b = 0; b < f.count[s] * kRecordSize[s]; ++b) sink = sink ^ f.records[s][b];
            }
        }
    }
    std::string label;
    VEKScanEntry e;
    decodeScanQuery(data, size, label);
    decodeScanAnswer(data, size, e);
    return 0;
}
