// The rigid body editor: the 3D view of the markers above six spinners
// (position and rotation of the pending transform) and the buttons
// Center, Reset, Apply, Save and Quit.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <veksock.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fltk/fltk_view_window.h"
#include "int_spinner.h"
#include "quillon_view_core.h"
#include "view_session.h"

class Fl_Box;

using QuillonView = FltkViewWindow<QuillonViewCore>;

// The editor step's period.
constexpr double kStepSeconds = 0.033333335;

class EditorWindow : public Fl_Double_Window {
public:
    // `markers` as read from `file` (id = line number, frame = LED).
    EditorWindow(int w, int h, const std::string& file, std::vector<MarkerRecord> markers);

    void resize(int x, int y, int w, int h) override;

    // One step of the main loop: shows the markers under the pending
    // transform, then waits out the rest of the step's period in FLTK.
    void step();
    // Shows the markers under the pending transform.
    void updateDisplay();

    void center();
    void reset();
    void apply();
    bool save();

    QuillonView& view() { return *view_; }
    IntSpinner& positionInput(int i) { return *position_[static_cast<std::size_t>(i)]; }
    IntSpinner& rotationInput(int i) { return *rotation_[static_cast<std::size_t>(i)]; }
    Fl_Button& button(int i) { return *buttons_[static_cast<std::size_t>(i)]; }
    const std::vector<MarkerRecord>& markers() const { return markers_; }
    const std::vector<MarkerRecord>& displayed() const { return session_.markers; }

    // Button order.
    enum { kCenter, kReset, kApply, kSave, kQuit, kButtonCount };

private:
    void layout(int w, int h);
    void setAllInputs(const char* text);

    vektk::ViewSession session_{1.0f};  // holds the displayed markers
    QuillonView* view_;
    Fl_Box* positionLabel_;
    Fl_Box* rotationLabel_;
    std::array<IntSpinner*, 3> position_{};
    std::array<IntSpinner*, 3> rotation_{};
    std::array<Fl_Button*, kButtonCount> buttons_{};
    std::vector<MarkerRecord> markers_;  // as last applied
    uint32_t lastStep_ = 0;
};
