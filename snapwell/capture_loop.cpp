#include "capture_loop.h"

#include "output.h"

#include <chrono>
#include <thread>

namespace snapwell {

LoopResult runCaptureLoop(numerics::CaptureState& capture, CaptureQuality& quality,
                          std::vector<MarkerRecord>& markers, const Options& options, std::ostream& out,
                          std::ostream& err) {
    using Clock = std::chrono::steady_clock;
    int settled = 0;
    auto lastFrame = Clock::now();
    for (;;) {
        if (const int code = vekGetError(); code != 0) {
            out << "error: " << std::hex << code << std::dec << "  " << std::endl;
            // The library's words for it, a protocol error with what broke.
            char text[VEK_STRING_SIZE] = {};
            if (vekGetString(code, text) >= 1) err << "error: " << text << std::endl;
            return {LoopEnd::ServerError, settled};
        }
        const int n = vekGetMarkers(markers.data(), static_cast<int>(markers.size()));
        if (n <= 0 && Clock::now() - lastFrame > kFrameTimeout) {
            out << '\n';
            err << "error: no frame from the server for " << kFrameTimeout.count() << " s" << std::endl;
            return {LoopEnd::NoFrames, settled};
        }
        if (n > 0) {
            lastFrame = Clock::now();
            const std::vector<numerics::CaptureRecord> before = capture.records();
            const auto result = capture.step(markers.data(), static_cast<std::size_t>(n));
            quality.observe(before, capture, result, markers.data(), static_cast<std::size_t>(n));
            if (options.verbose)
                printReport(out, capture.records());
            else
                printProgress(out, capture.records(), options.frames, options.max);
            settled = countSettled(capture.records(), options.frames);
            if (settled > options.max) {
                err << "number of visible markers exceeds 'max'" << std::endl;
                return {LoopEnd::TooMany, settled};
            }
            if (settled == options.max) return {LoopEnd::Settled, settled};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace snapwell
