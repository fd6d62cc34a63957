// Smooths one marker's trajectory: a sliding window of its last records,
// short gaps filled by straight lines, and for the sample in the middle of
// the window a least-squares line fit or a plain average. The output lags
// the input by (n - 1) / 2 frames.
#pragma once

#include <vek_types.h>

#include <deque>

namespace numerics {

class MarkerFilter {
public:
    static constexpr unsigned kInterpolated = 0x40;  // flags bit of a filled-in position
    static constexpr int kLineFit = 1;               // Output mode; any other averages
    static constexpr int kMaxWindow = 1025;          // longest window, odd: about 1 s at 960 Hz

    // Window of int(systemFreq / filterFreq) samples, made odd, at most
    // kMaxWindow. Both must be finite and > 0: otherwise refused with a
    // message, nothing changed, false.
    bool Set(float systemFreq, float filterFreq);
    // Empties the window, then Set; forgets the last good frame.
    bool Reset(float systemFreq, float filterFreq);
    // Appends a record (dropping the oldest) and fills a short gap before it.
    void Push(const MarkerRecord& record);
    // > 0 when `out` holds the filtered record of the window's middle
    // sample; otherwise 0 and out.cond = -1.
    int Output(MarkerRecord& out, int mode) const;

    int n() const { return n_; }                                    // window length, odd; -1 until set
    int lastGood() const { return lastGood_; }                      // newest frame with cond > 0; -1 none
    const std::deque<MarkerRecord>& data() const { return data_; }  // oldest first

private:
    // Sums over the usable records of the window (its last n records), with
    // frames taken relative to base, so that a fit costs no pass.
    struct WindowSums {
        double count = 0, t = 0, tt = 0;
        double p[3] = {0, 0, 0}, tp[3] = {0, 0, 0};
    };

    void FillGap();
    void Rebuild();
    void Account(const MarkerRecord& r, double sign);

    int n_ = -1;
    int lastGood_ = -1;
    std::deque<MarkerRecord> data_;
    WindowSums sums_;
    int base_ = 0;
    int pushesSinceRebuild_ = 0;
};

}  // namespace numerics
