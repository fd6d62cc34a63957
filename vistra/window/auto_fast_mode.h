// When the window switches fast mode on by itself: this client got fewer
// than 90 % of the server's frames in several whole measuring periods in a
// row. A machine busy for a moment (a view opening, another program
// starting) slows one period, and the next one, draining what queued up,
// runs ahead of the server: that is no slow client.
#pragma once

class AutoFastMode {
public:
    static constexpr int kSlowPeriods = 3;  // in a row
    static constexpr int kFirstFrames = 1000;

    // One measuring period has ended. rate, frequency: the frames per
    // second received and the server's frequency, both 0 for a period that
    // saw the stream stop or its frequency change; frame: the frame number
    // reached. True when fast mode is to be switched on now.
    bool periodEnded(float rate, float frequency, int frame, bool fastModeOn);

private:
    int slowPeriods_ = 0;
};
