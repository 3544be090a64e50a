// Draws Pathlark's icons and flag pictures with cairo and writes them as PNG,
// and the application icon for desktop menus as PNG and SVG.
// Build and run through scripts/make-icons.sh; the files it writes are committed,
// so this only needs to run again when a picture is changed on purpose.
//
// All icons share one look: a 2-pixel dark slate outline, flat fills from a
// small palette, transparent background, sized to the inner area of the button
// that shows them (so they are drawn 1:1, without scaling):
//   32x30 buttons -> 24x22 icons, 32x24 buttons -> 24x16 icons.
// Flags are 32x24 with the pole in the middle of the bottom edge, because the
// map renderer anchors them there.

#include <cairo.h>
#include <cairo-svg.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb Slate{0.17, 0.23, 0.29};
constexpr Rgb Blue{0.16, 0.47, 0.85};
constexpr Rgb Green{0.20, 0.66, 0.33};
constexpr Rgb Red{0.86, 0.24, 0.20};
constexpr Rgb Orange{0.96, 0.55, 0.10};
constexpr Rgb Purple{0.55, 0.33, 0.80};
constexpr Rgb Wood{0.55, 0.38, 0.22};
constexpr Rgb White{1, 1, 1};
constexpr Rgb Glass{0.86, 0.93, 1.0};

void set(cairo_t* cr, Rgb c, double a = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void fillStroke(cairo_t* cr, Rgb fill, Rgb line, double width)
{
    set(cr, fill);
    cairo_fill_preserve(cr);
    set(cr, line);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

bool write(const std::string& dir, const char* name, int w, int h, const std::function<void(cairo_t*)>& paint)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    paint(cr);
    cairo_destroy(cr);
    const std::string path = dir + "/" + name;
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", path.c_str(), w, h);
    return ok;
}

// Bold text centred on (cx, cy), using cairo's own font selection.
void centredText(cairo_t* cr, const char* text, double cx, double cy, double size, Rgb colour)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    cairo_move_to(cr, cx - e.width / 2 - e.x_bearing, cy - e.height / 2 - e.y_bearing);
    set(cr, colour);
    cairo_show_text(cr, text);
}

// --- Cursor stepping: a dotted track with a big arrowhead in the direction of travel.
void cursorStep(cairo_t* cr, bool forward)
{
    if (!forward) {
        cairo_translate(cr, 24, 0);
        cairo_scale(cr, -1, 1);
    }
    set(cr, Slate, 0.55);
    for (int i = 0; i < 3; ++i) {
        cairo_arc(cr, 2.5 + i * 4.5, 11, 1.5, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    cairo_move_to(cr, 12, 3.5);
    cairo_line_to(cr, 22, 11);
    cairo_line_to(cr, 12, 18.5);
    cairo_close_path(cr);
    fillStroke(cr, Blue, Slate, 1.5);
}

// --- Jump to start: a signpost pointing left.
void signpost(cairo_t* cr)
{
    cairo_rectangle(cr, 11, 3, 2.5, 18);
    fillStroke(cr, Wood, Slate, 1);
    cairo_move_to(cr, 2, 8);
    cairo_line_to(cr, 6, 4);
    cairo_line_to(cr, 21, 4);
    cairo_line_to(cr, 21, 12);
    cairo_line_to(cr, 6, 12);
    cairo_close_path(cr);
    fillStroke(cr, Green, Slate, 1.5);
    set(cr, White);
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, 9, 8);
    cairo_line_to(cr, 18, 8);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 10, 20.5);
    cairo_line_to(cr, 15, 20.5);
    set(cr, Slate);
    cairo_stroke(cr);
}

// A chequered cloth inside the rectangle, squares of `cell` pixels.
void chequer(cairo_t* cr, double x, double y, double w, double h, double cell)
{
    cairo_rectangle(cr, x, y, w, h);
    set(cr, White);
    cairo_fill(cr);
    set(cr, Slate);
    for (int row = 0; row * cell < h; ++row)
        for (int col = 0; col * cell < w; ++col)
            if ((row + col) % 2 == 0) {
                cairo_rectangle(cr, x + col * cell, y + row * cell, std::min(cell, w - col * cell),
                                std::min(cell, h - row * cell));
                cairo_fill(cr);
            }
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

// --- Jump to the end: a small chequered finish flag.
void miniFinish(cairo_t* cr)
{
    chequer(cr, 6, 3, 15, 10, 2.5);
    set(cr, Slate);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 5, 2);
    cairo_line_to(cr, 5, 21);
    cairo_stroke(cr);
}

// --- Zoom: a magnifying glass with a plus or minus.
void zoom(cairo_t* cr, bool in)
{
    cairo_set_line_width(cr, 3.5);
    set(cr, Slate);
    cairo_move_to(cr, 14.5, 14.5);
    cairo_line_to(cr, 21, 20.5);
    cairo_stroke(cr);
    cairo_arc(cr, 9.5, 9.5, 7.5, 0, 2 * M_PI);
    fillStroke(cr, Glass, Slate, 2);
    set(cr, Blue);
    cairo_set_line_width(cr, 2.2);
    cairo_move_to(cr, 6, 9.5);
    cairo_line_to(cr, 13, 9.5);
    if (in) {
        cairo_move_to(cr, 9.5, 6);
        cairo_line_to(cr, 9.5, 13);
    }
    cairo_stroke(cr);
}

// --- Rotation about one axis: the axis letter and a round arrow turning
// counterclockwise ("left") or clockwise ("right").
void angle(cairo_t* cr, const char* axis, bool clockwise)
{
    centredText(cr, axis, 5, 8, 11, Slate);
    const double cx = 16.5, cy = 8.5, r = 5.5;
    // The arc opens at the top; the arrowhead sits at the end of travel.
    const double a0 = -M_PI / 2 + 0.75, a1 = -M_PI / 2 - 0.75 + 2 * M_PI;
    cairo_set_line_width(cr, 2);
    set(cr, Blue);
    cairo_new_path(cr);  // show_text leaves a current point the arc would join
    cairo_arc(cr, cx, cy, r, a0, a1);
    cairo_stroke(cr);
    const double end = clockwise ? a1 : a0;
    const double px = cx + r * std::cos(end), py = cy + r * std::sin(end);
    // Tangent in the direction of travel.
    const double dir = clockwise ? end + M_PI / 2 : end - M_PI / 2;
    const double tx = std::cos(dir), ty = std::sin(dir);
    const double nx = -ty, ny = tx;
    cairo_move_to(cr, px + tx * 3.8, py + ty * 3.8);
    cairo_line_to(cr, px - tx * 1.2 + nx * 3.4, py - ty * 1.2 + ny * 3.4);
    cairo_line_to(cr, px - tx * 1.2 - nx * 3.4, py - ty * 1.2 - ny * 3.4);
    cairo_close_path(cr);
    set(cr, Blue);
    cairo_fill(cr);
}

// --- Map flags, 32x24: the pole stands on the bottom centre (the renderer's
// anchor) and the cloth, wide enough for a readable letter, flies to its right.
// The left half stays empty so that the pole, not the picture, is centred.
void flagPole(cairo_t* cr)
{
    cairo_save(cr);
    cairo_translate(cr, 16, 22.5);
    cairo_scale(cr, 5, 1.3);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    set(cr, Slate, 0.3);
    cairo_fill(cr);
    set(cr, Slate);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 16, 1.5);
    cairo_line_to(cr, 16, 23);
    cairo_stroke(cr);
}

void clothFlag(cairo_t* cr, Rgb colour, const char* letter)
{
    flagPole(cr);
    cairo_move_to(cr, 17, 1.5);
    cairo_line_to(cr, 31, 1.5);
    cairo_line_to(cr, 28, 8);
    cairo_line_to(cr, 31, 14.5);
    cairo_line_to(cr, 17, 14.5);
    cairo_close_path(cr);
    fillStroke(cr, colour, Slate, 1.2);
    if (letter)
        centredText(cr, letter, 22.5, 8, 10, White);
}

void finishFlag(cairo_t* cr)
{
    flagPole(cr);
    chequer(cr, 17, 2, 15, 12, 3);
}

// --- The logo: a winding track from a start dot to a finish flag, and the name.
void logo(cairo_t* cr)
{
    cairo_set_line_width(cr, 3);
    set(cr, Blue);
    cairo_move_to(cr, 8, 38);
    cairo_curve_to(cr, 18, 12, 26, 40, 34, 24);
    cairo_curve_to(cr, 40, 12, 44, 14, 46, 10);
    cairo_stroke(cr);
    cairo_arc(cr, 8, 38, 3.5, 0, 2 * M_PI);
    fillStroke(cr, Green, Slate, 1.5);
    set(cr, Slate);
    cairo_set_line_width(cr, 1.8);
    cairo_move_to(cr, 46, 4);
    cairo_line_to(cr, 46, 16);
    cairo_stroke(cr);
    chequer(cr, 47, 4, 8, 6, 2);

    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 27);
    set(cr, Slate);
    cairo_move_to(cr, 62, 31);
    cairo_show_text(cr, "Path");
    cairo_text_extents_t e;
    cairo_text_extents(cr, "Path", &e);
    set(cr, Blue);
    cairo_move_to(cr, 62 + e.x_advance, 31);
    cairo_show_text(cr, "lark");
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 9);
    set(cr, Slate, 0.8);
    cairo_move_to(cr, 63, 43);
    cairo_show_text(cr, "GPS track viewer");
}

// --- The toolkit's built-in button picture: a small framed landscape.
void buttonDefault(cairo_t* cr)
{
    cairo_rectangle(cr, 1.5, 2.5, 17, 13);
    fillStroke(cr, Glass, Slate, 1.5);
    cairo_move_to(cr, 2.5, 14.5);
    cairo_line_to(cr, 8, 8);
    cairo_line_to(cr, 11.5, 11.5);
    cairo_line_to(cr, 13.5, 9.5);
    cairo_line_to(cr, 17.5, 14.5);
    cairo_close_path(cr);
    set(cr, Green);
    cairo_fill(cr);
    cairo_arc(cr, 14, 6.5, 1.8, 0, 2 * M_PI);
    set(cr, Orange);
    cairo_fill(cr);
}

// --- The application icon, on a 256-unit canvas: a map tile with a river and
// two roads, and the logo's winding track from a start dot to a finish flag.
void appIcon(cairo_t* cr)
{
    auto roundedSquare = [cr](double x, double y, double size, double r) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, x + size - r, y + r, r, -M_PI / 2, 0);
        cairo_arc(cr, x + size - r, y + size - r, r, 0, M_PI / 2);
        cairo_arc(cr, x + r, y + size - r, r, M_PI / 2, M_PI);
        cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
        cairo_close_path(cr);
    };
    roundedSquare(12, 12, 232, 44);
    cairo_set_source_rgb(cr, 0.93, 0.95, 0.89);
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip(cr);
    cairo_set_line_width(cr, 16);
    cairo_set_source_rgb(cr, 0.62, 0.80, 0.93);
    cairo_move_to(cr, 150, 0);
    cairo_curve_to(cr, 170, 80, 230, 110, 256, 180);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 7);
    cairo_set_source_rgb(cr, 0.80, 0.78, 0.74);
    cairo_move_to(cr, 0, 150);
    cairo_line_to(cr, 256, 110);
    cairo_move_to(cr, 90, 0);
    cairo_line_to(cr, 120, 256);
    cairo_stroke(cr);
    cairo_restore(cr);
    roundedSquare(12, 12, 232, 44);
    set(cr, Slate);
    cairo_set_line_width(cr, 8);
    cairo_stroke(cr);

    // The track, white-edged so it reads on any part of the map.
    cairo_move_to(cr, 62, 200);
    cairo_curve_to(cr, 80, 120, 130, 210, 150, 140);
    cairo_curve_to(cr, 165, 90, 180, 100, 190, 76);
    cairo_set_line_width(cr, 26);
    set(cr, White);
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 15);
    set(cr, Blue);
    cairo_stroke(cr);
    cairo_arc(cr, 62, 200, 18, 0, 2 * M_PI);
    fillStroke(cr, Green, Slate, 7);

    cairo_set_line_width(cr, 9);
    set(cr, Slate);
    cairo_move_to(cr, 190, 34);
    cairo_line_to(cr, 190, 88);
    cairo_stroke(cr);
    chequer(cr, 194, 36, 40, 30, 10);
}

// Writes the application icon at `size` pixels, or as SVG when size is 0.
bool writeAppIcon(const std::string& dir, int size)
{
    const std::string path = dir + (size ? "/pathlark-" + std::to_string(size) + ".png" : "/pathlark.svg");
    cairo_surface_t* s = size ? cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size)
                              : cairo_svg_surface_create(path.c_str(), 256, 256);
    if (!size)
        cairo_svg_surface_set_document_unit(s, CAIRO_SVG_UNIT_PX);  // icon themes size in pixels
    cairo_t* cr = cairo_create(s);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    if (size)
        cairo_scale(cr, size / 256.0, size / 256.0);
    appIcon(cr);
    cairo_destroy(cr);
    const bool ok = size ? cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS
                         : (cairo_surface_finish(s), cairo_surface_status(s) == CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IMAGES_DIR TOOLKIT_RESOURCES_DIR APP_ICON_DIR\n", argv[0]);
        return 2;
    }
    const std::string images = argv[1], toolkit = argv[2], appIcons = argv[3];
    bool ok = true;
    ok &= write(images, "cursor_prev.png", 24, 22, [](cairo_t* cr) { cursorStep(cr, false); });
    ok &= write(images, "cursor_next.png", 24, 22, [](cairo_t* cr) { cursorStep(cr, true); });
    ok &= write(images, "signpost.png", 24, 22, signpost);
    ok &= write(images, "mini_finish.png", 24, 22, miniFinish);
    ok &= write(images, "zoom_in.png", 24, 22, [](cairo_t* cr) { zoom(cr, true); });
    ok &= write(images, "zoom_out.png", 24, 22, [](cairo_t* cr) { zoom(cr, false); });
    for (const char* axis : {"X", "Y", "Z"}) {
        std::string lower(1, char(axis[0] - 'A' + 'a'));
        ok &= write(images, ("angle_" + lower + "_left.png").c_str(), 24, 16,
                    [axis](cairo_t* cr) { angle(cr, axis, false); });
        ok &= write(images, ("angle_" + lower + "_right.png").c_str(), 24, 16,
                    [axis](cairo_t* cr) { angle(cr, axis, true); });
    }
    ok &= write(images, "flag_start.png", 32, 24, [](cairo_t* cr) { clothFlag(cr, Green, nullptr); });
    ok &= write(images, "flag_finish.png", 32, 24, finishFlag);
    ok &= write(images, "flag_mark_a.png", 32, 24, [](cairo_t* cr) { clothFlag(cr, Orange, "A"); });
    ok &= write(images, "flag_mark_b.png", 32, 24, [](cairo_t* cr) { clothFlag(cr, Purple, "B"); });
    ok &= write(images, "logo.png", 190, 47, logo);
    ok &= write(toolkit, "button_default.png", 20, 18, buttonDefault);
    for (int size : {48, 128, 256, 0})
        ok &= writeAppIcon(appIcons, size);
    (void)Red;
    return ok ? 0 : 1;
}
