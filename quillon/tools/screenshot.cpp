// A picture of the editor for the documentation:
//   quillon_screenshot body.rb out.png
// opens the body, centres it, types a turn of 30 degrees about Y, zooms in
// as a user would with the wheel, and writes the whole window as a PNG.
#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "editor_window.h"
#include "rigid_body_file.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool WritePng(const char* path, int w, int h, const std::vector<unsigned char>& rgb) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "wb"));
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) png_write_row(png, &rgb[static_cast<std::size_t>(y * w * 3)]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " body.rb out.png\n";
        return 2;
    }
    std::vector<MarkerRecord> markers;
    if (ReadRigidBodyFile(argv[1], markers, std::cerr) < 1) return 1;
    Fl::visual(FL_DOUBLE);
    EditorWindow window(600, 700, argv[1], markers);
    window.show();
    window.view().make_current();
    window.view().initialise();
    window.view().camera.r = 600;
    window.button(EditorWindow::kCenter).do_callback();
    window.rotationInput(1).setText("30");
    for (int i = 0; i < 30; ++i) window.step();

    // The widgets as the X server shows them, then the view's own pixels
    // over its part of the window (rows of GL count from the bottom).
    const int w = window.w(), h = window.h();
    window.make_current();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w * h * 3));
    fl_read_image(rgb.data(), 0, 0, w, h);
    QuillonView& view = window.view();
    view.make_current();
    view.draw();
    std::vector<unsigned char> gl(static_cast<std::size_t>(view.w() * view.h() * 3));
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, view.w(), view.h(), GL_RGB, GL_UNSIGNED_BYTE, gl.data());
    for (int y = 0; y < view.h(); ++y)
        std::copy_n(&gl[static_cast<std::size_t>((view.h() - 1 - y) * view.w() * 3)], view.w() * 3,
                    &rgb[static_cast<std::size_t>(((view.y() + y) * w + view.x()) * 3)]);
    if (!WritePng(argv[2], w, h, rgb)) {
        std::cerr << "cannot write " << argv[2] << '\n';
        return 1;
    }
    std::cout << "wrote to " << argv[2] << '\n';
    return 0;
}
