// An integer input with up and down arrows at its right, kept within
// -10000000 ... 10000000.
#pragma once

#include <FL/Fl_Group.H>

class Fl_Button;
class Fl_Int_Input;

constexpr int kSpinnerMin = -10000000;
constexpr int kSpinnerMax = 10000000;
constexpr int kSpinnerArrowWidth = 16;

class IntSpinner : public Fl_Group {
public:
    IntSpinner(int x, int y, int w, int h, const char* label = nullptr);

    void resize(int x, int y, int w, int h) override;

    const char* text() const;
    void setText(const char* text);
    Fl_Int_Input* input() { return input_; }
    Fl_Button* upArrow() { return up_; }
    Fl_Button* downArrow() { return down_; }

private:
    // The value read from the text, moved by `step`, clamped, written back.
    void adjust(int step);
    static void changed(Fl_Widget* part, void* spinner);

    Fl_Int_Input* input_;
    Fl_Button* up_;
    Fl_Button* down_;
};
