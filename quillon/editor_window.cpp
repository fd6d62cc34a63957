#include "editor_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "editor_transform.h"
#include "rigid_body_file.h"

namespace {

constexpr int kControlsHeight = 125;
constexpr int kMinWidth = 160, kMinHeight = 300;
constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};
constexpr const char* kButtonLabels[EditorWindow::kButtonCount] = {"Center", "Reset", "Apply", "Save",
                                                                   "Quit"};

std::array<float, 3> Read(const std::array<IntSpinner*, 3>& inputs) {
    return {static_cast<float>(std::atof(inputs[0]->text())),
            static_cast<float>(std::atof(inputs[1]->text())),
            static_cast<float>(std::atof(inputs[2]->text()))};
}

bool SamePositions(const std::vector<MarkerRecord>& a, const std::vector<MarkerRecord>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t j = 0; j < a.size(); ++j)
        if (a[j].id != b[j].id || a[j].x != b[j].x || a[j].y != b[j].y || a[j].z != b[j].z) return false;
    return true;
}

}  // namespace

EditorWindow::EditorWindow(int w, int h, const std::string& file, std::vector<MarkerRecord> markers)
    : Fl_Double_Window(w, h, "Rigid Body Editor"), markers_(std::move(markers)) {
    view_ = new QuillonView(0, 0, w, h - kControlsHeight);
    view_->session = &session_;
    view_->rigidFiles.push_back(file);
    positionLabel_ = new Fl_Box(0, 0, 0, 0, "Position:");
    rotationLabel_ = new Fl_Box(0, 0, 0, 0, "Rotation:");
    for (Fl_Box* label : {positionLabel_, rotationLabel_}) label->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    for (std::size_t i = 0; i < 3; ++i) {
        position_[i] = new IntSpinner(0, 0, 56, 25, kAxisNames[i]);
        rotation_[i] = new IntSpinner(0, 0, 56, 25, kAxisNames[i]);
    }
    for (int i = 0; i < kButtonCount; ++i) {
        Fl_Button* b = buttons_[static_cast<std::size_t>(i)] = new Fl_Button(0, 0, 70, 25, kButtonLabels[i]);
        b->callback(
            [](Fl_Widget* pressed, void* window) {
                auto* self = static_cast<EditorWindow*>(window);
                if (pressed == self->buttons_[kCenter]) self->center();
                if (pressed == self->buttons_[kReset]) self->reset();
                if (pressed == self->buttons_[kApply]) self->apply();
                if (pressed == self->buttons_[kSave]) self->save();
                if (pressed == self->buttons_[kQuit]) self->view_->quit();
            },
            this);
    }
    end();
    resizable(view_);
    size_range(kMinWidth, kMinHeight);
    layout(w, h);
}

void EditorWindow::layout(int w, int h) {
    view_->resize(0, 0, w, h - kControlsHeight);
    positionLabel_->resize(0, h - 115, 70, 25);
    rotationLabel_->resize(0, h - 65, 70, 25);
    for (std::size_t i = 0; i < 3; ++i) {
        const int x = 100 + 90 * static_cast<int>(i);
        position_[i]->resize(x, h - 115, 56, 25);
        rotation_[i]->resize(x, h - 65, 56, 25);
    }
    buttons_[kCenter]->resize(w - 155, h - 115, 70, 25);
    buttons_[kReset]->resize(w - 80, h - 115, 70, 25);
    buttons_[kApply]->resize(w - 80, h - 90, 70, 25);
    buttons_[kSave]->resize(w - 80, h - 65, 70, 25);
    buttons_[kQuit]->resize(w - 80, h - 40, 70, 25);
}

void EditorWindow::resize(int x, int y, int w, int h) {
    Fl_Double_Window::resize(x, y, w, h);
    layout(w, h);
}

void EditorWindow::updateDisplay() {
    const std::vector<MarkerRecord> before = session_.markers;
    TransformMarkers(markers_, EditorTransform(Read(position_), Read(rotation_)), session_.markers);
    // Drawn again only when something moved: an idle editor costs no frames.
    if (!SamePositions(before, session_.markers) || view_->moving()) view_->redraw();
}

void EditorWindow::step() {
    updateDisplay();
    const uint32_t now = view_->stopwatch().now();
    const double elapsed = (now - lastStep_) / 1e6;
    lastStep_ = now;
    if (elapsed < kStepSeconds) Fl::wait(kStepSeconds - elapsed);
}

void EditorWindow::setAllInputs(const char* text) {
    for (std::size_t i = 0; i < 3; ++i) {
        position_[i]->setText(text);
        rotation_[i]->setText(text);
    }
}

void EditorWindow::center() {
    if (markers_.empty()) return;
    double sum[3] = {0, 0, 0};
    for (const MarkerRecord& m : markers_) {
        sum[0] += m.x;
        sum[1] += m.y;
        sum[2] += m.z;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        char text[64];
        std::snprintf(text, sizeof text, "%.0f", -sum[i] / static_cast<double>(markers_.size()));
        position_[i]->setText(text);
    }
}

void EditorWindow::reset() {
    std::cout << "Reset" << std::endl;
    setAllInputs("0");
}

void EditorWindow::apply() {
    // The transform as the inputs hold it now, also when no step ran since.
    updateDisplay();
    assert(markers_.size() == session_.markers.size());
    for (std::size_t j = 0; j < markers_.size(); ++j) {
        markers_[j].x = session_.markers[j].x;
        markers_[j].y = session_.markers[j].y;
        markers_[j].z = session_.markers[j].z;
    }
    setAllInputs("0");
}

bool EditorWindow::save() {
    updateDisplay();
    return SaveRigidBodyFile(view_->rigidFiles.front(), session_.markers, std::cout, std::cerr);
}
