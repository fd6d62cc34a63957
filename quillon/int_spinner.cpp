#include "int_spinner.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Int_Input.H>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

IntSpinner::IntSpinner(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {
    input_ = new Fl_Int_Input(x, y, w - kSpinnerArrowWidth, h);
    input_->value("0");
    input_->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
    up_ = new Fl_Button(x + w - kSpinnerArrowWidth, y, kSpinnerArrowWidth, h / 2, "@8->");
    down_ = new Fl_Button(x + w - kSpinnerArrowWidth, y + h / 2, kSpinnerArrowWidth, h / 2, "@2->");
    for (Fl_Widget* part :
         {static_cast<Fl_Widget*>(input_), static_cast<Fl_Widget*>(up_), static_cast<Fl_Widget*>(down_)})
        part->callback(changed, this);
    align(FL_ALIGN_LEFT);
    end();
}

void IntSpinner::resize(int x, int y, int w, int h) {
    Fl_Widget::resize(x, y, w, h);
    input_->resize(x, y, w - kSpinnerArrowWidth, h);
    up_->resize(x + w - kSpinnerArrowWidth, y, kSpinnerArrowWidth, h / 2);
    down_->resize(x + w - kSpinnerArrowWidth, y + h / 2, kSpinnerArrowWidth, h / 2);
}

const char* IntSpinner::text() const { return input_->value(); }

void IntSpinner::setText(const char* text) { input_->value(text); }

void IntSpinner::adjust(int step) {
    // Read wide (a text beyond int's range clamps instead of overflowing);
    // what is not a number reads as 0.
    const long long read =
        std::clamp<long long>(std::strtoll(input_->value(), nullptr, 10), kSpinnerMin, kSpinnerMax);
    char text[16];
    std::snprintf(text, sizeof text, "%d",
                  static_cast<int>(std::clamp<long long>(read + step, kSpinnerMin, kSpinnerMax)));
    input_->value(text);
}

void IntSpinner::changed(Fl_Widget* part, void* spinner) {
    auto* self = static_cast<IntSpinner*>(spinner);
    self->adjust(part == self->up_ ? 1 : part == self->down_ ? -1 : 0);
}
