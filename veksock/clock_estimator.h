// The server's frame clock as seen from this host: offset and drift fitted
// to time exchanges (four times each), the samples with the least delay
// weighing most. Pure arithmetic on the samples given; no clock read here.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

namespace veksock {

// One exchange: sent and received on this host's steady clock, received
// and answered on the server's frame clock, all in microseconds.
struct TimeSample {
    int64_t sentUs = 0;            // t1
    int64_t serverReceivedUs = 0;  // t2
    int64_t serverSentUs = 0;      // t3
    int64_t receivedUs = 0;        // t4
};

struct ClockFit {
    bool trusted = false;
    double offsetUs = 0;       // server clock minus this host's, at `atUs`
    double driftPpm = 0;       // how fast the server's clock gains on this host's
    double uncertaintyUs = 0;  // bound on the offset's error, at `atUs`
    int64_t atUs = 0;
    int samples = 0;       // the samples the fit rests on
    int64_t newestUs = 0;  // when the newest sample came (0: none)
};

class ClockEstimator {
public:
    static constexpr int64_t kWindowUs = 60'000'000;  // samples older than this are forgotten
    static constexpr int64_t kStaleUs = 5'000'000;    // without a newer sample, not trusted
    static constexpr int kMinSamples = 4;
    static constexpr int kStepSamples = 3;  // consecutive samples off the line: a step
    static constexpr double kMaxUncertaintyUs = 20'000;

    // False (and ignored) for a sample whose times cannot be: answered
    // before received, or received back before sent.
    bool add(const TimeSample& s);
    void clear();

    // The estimate at `nowUs` on this host's steady clock.
    ClockFit estimate(int64_t nowUs) const;
    // `serverUs` on this host's steady clock; false when not trusted.
    bool toLocal(int64_t serverUs, int64_t nowUs, int64_t& localUs, double* uncertaintyUs = nullptr) const;

private:
    struct Point {
        int64_t atUs;     // the exchange's midpoint on this host
        double offsetUs;  // server minus this host, within ± delay / 2 of the truth
        double delayUs;   // round trip without the server's time
    };
    // Whether `p` lies off the current line by more than its delay allows.
    bool offLine(const Point& p) const;
    void refit() const;
    // Bound on the fit's error at x = t - ref.
    double bound(double x) const;

    std::deque<Point> points_;
    int pendingStep_ = 0;  // newest points off the line, not yet fitted
    // The fit, made when an estimate is asked for after new samples (and
    // at once while there are too few to judge new ones by):
    // offset = a + b * (t - ref) by least squares with weights_
    // (0: a sample left out), their sum, the weighted mean of x and the
    // weighted squares about it.
    mutable bool fitted_ = false;
    mutable bool stale_ = false;  // samples came since the fit
    mutable bool drift_ = false;  // b fitted, not 0
    mutable int64_t ref_ = 0;
    mutable double a_ = 0, b_ = 0;
    mutable std::vector<double> weights_;
    mutable std::vector<uint32_t> bins_;  // scratch of refit: each sample's bin, counted back from ref
    mutable std::vector<double> binMin_, excess_;
    mutable double mx_ = 0, sxx_ = 0;
    mutable double boundAtMean_ = 0, boundSlope_ = 0;  // bound(x) = at mean + slope * |x - mx|
    mutable int kept_ = 0;
};

}  // namespace veksock
