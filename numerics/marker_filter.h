// Smooths one marker's trajectory: a sliding window of its last records,
// short gaps filled by straight lines, and for the sample in the middle of
// the window a least-squares line fit or a plain average. The output lags
// the input by (n - 1) / 2 frames.
#pragma once

#include <veksock.h>

#include <deque>

namespace numerics {

class MarkerFilter {
public:
    static constexpr unsigned kInterpolated = 0x40;  // flags bit of a filled-in position
    static constexpr int kLineFit = 1;               // Output mode; any other averages

    // Window of int(systemFreq / filterFreq) samples, made odd. Both must be
    // > 0: otherwise refused with a message, nothing changed, false.
    bool Set(float systemFreq, float filterFreq);
    // Empties the window, then Set; forgets the last good frame.
    bool Reset(float systemFreq, float filterFreq);
    // Appends a record (dropping the oldest) and fills a short gap before it.
    void Push(const MarkerRecord& record);
    // > 0 when `out` holds the filtered record of the window's middle
    // sample; otherwise 0 and out.cond = -1.
    int Output(MarkerRecord& out, int mode) const;

    int n = -1;         // window length, odd; -1 until set
    int lastGood = -1;  // frame of the newest record with cond > 0; -1 none
    std::deque<MarkerRecord> data;  // oldest first

private:
    void FillGap();
    int FitLine(int begin, int end, int now, MarkerRecord& out) const;
    int Average(int begin, int end, int now, MarkerRecord& out) const;
};

}  // namespace numerics
