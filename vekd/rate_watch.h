// Tells when frames come slower than the set rate: counts the frames made
// over each second and, the first time two seconds in a row fall short,
// answers the rate held. One short second alone (clients connecting at
// start, a stop of the process) is not a rate that cannot be kept. Told
// once per rate set.
#pragma once

namespace vekd {

class RateWatch {
public:
    // A new rate: the next shortfall is told again.
    void rateSet() {
        told_ = false;
        pause();
    }
    // Frames stopped for a while (nobody streams): the second starts anew.
    void pause() {
        startUs_ = -1;
        frames_ = 0;
        shortSeconds_ = 0;
    }
    // A frame made at nowUs for a rate of `hz`: the rate held over the
    // second that just ended when it falls short for the first time, else 0.
    double frameMade(long long nowUs, double hz) {
        if (startUs_ < 0) startUs_ = nowUs;
        ++frames_;
        const long long elapsedUs = nowUs - startUs_;
        if (elapsedUs < 1000000) return 0;
        const double held = (frames_ - 1) * 1e6 / static_cast<double>(elapsedUs);
        startUs_ = nowUs;
        frames_ = 1;
        shortSeconds_ = held < kShortfall * hz ? shortSeconds_ + 1 : 0;
        if (told_ || shortSeconds_ < 2) return 0;
        told_ = true;
        return held;
    }

private:
    static constexpr double kShortfall = 0.95;
    long long startUs_ = -1;
    long long frames_ = 0;
    int shortSeconds_ = 0;
    bool told_ = false;
};

}  // namespace vekd
