// Fuzz target: any bytes, in two fragments, through the wire reader and
// every payload decoder. Nothing may crash, hang or read out of bounds.
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
            decodeHello(m.data, m.size, h, error);
            decodeWelcome(m.data, m.size, w, error);
            decodeRequest(m.data, m.size, rq, error);
            decodeReply(m.data, m.size, rp, error);
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
