// The whole life of the slideshow: start-up, the frame loop, the exit.
#include "app/parallaxon.h"

#include "app/command_line.h"
#include "app/folder_show.h"
#include "app/loader.h"
#include "app/slides.h"
#include "base/rand15.h"
#include "base/report.h"
#include "config/display_settings.h"
#include "display/display.h"
#include "render/gl.h"
#include "render/interlace.h"
#include "render/screenshot.h"
#include "text/captions.h"
#include "text/bitmapfonts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

const char* const WINDOW_TITLE = "Parallaxon [Qorvath 2014-15]";

// Texture bytes uploaded per second of show for the slides prepared ahead,
// shared out over the frames by their time: small enough that no frame
// stalls, large enough that a camera-size pair is up within two seconds,
// however few frames a second the renderer makes.
constexpr double UPLOAD_BYTES_PER_SECOND = 96.0 * (1 << 20);
// The size of a picture file from which the first slide is shown as a preview first.
constexpr int64_t PREVIEW_FROM_BYTES = int64_t(1) << 20;
constexpr int32_t PREVIEW_MAX_SIDE = 1024;
// How long a wait for a slide lets the window's messages wait in turn.
constexpr uint32_t WAIT_SLICE_MS = 5;

struct SlideShow {
    ConfigList settings;
    StereoMode stereo_mode = StereoMode::none;
    bool stereo_mode_changed = false;  // by M at the screen: saved at the end
    double mode_label_until = 0;       // the wall clock's reading when the mode's name goes
    int32_t swap_stereo = 0;
    int slides_left = 0;          // 0 or less: no limit
    int randomise = 0;            // 0: file order
    double slide_duration = 0, pause_before_zoom = 0;
    double n_over_32768 = 0, inverse_zoom_time = 0;
    int number = 1;
    std::unique_ptr<Slide> slide;  // on the screen
    float scale_x = 0, scale_y = 0, offset_x = 0, offset_y = 0;
    int paused = 0;
    bool ended = false;     // by "Slides to show": the process ends without saving
    bool quitting = false;  // Esc, Q or the window closed while a slide was awaited
    bool spares_made = false;
    double clock = 0, last_reading = 0;
    double last_upload = 0;  // the clock's reading at the last frame's uploads
    // Read-ahead: the slide the timed advance goes to next, drawn in advance
    // in random order (the generator's state before that draw is kept, so the
    // draw can be made again when an arrow changes the slide it is compared with).
    SlideLoader loader;
    int next_number = 1;
    uint32_t random_before_next = 0;
    // A word for the viewer while slide notice_slide is on the screen first.
    std::string notice;
    int notice_slide = 0;
};

// While a slide is awaited the window's messages are dispatched, and Esc, Q
// or closing the window ends the show at once.
bool keep_waiting(SlideShow& show) {
    gfx_wait_messages(WAIT_SLICE_MS);
    if (display.quit_requested || key_asked_while_waiting(VK_KEY_ESCAPE) || key_asked_while_waiting('Q'))
        show.quitting = true;
    return !show.quitting;
}

// Slide m (or its preview) for the screen: prepared ahead, or asked for now
// and awaited; null when the show ends meanwhile.
std::unique_ptr<Slide> fetch_slide(SlideShow& show, int m, bool preview = false) {
    show.loader.want(slide_request(&show.settings, m, show.stereo_mode, preview));
    return show.loader.take(m, preview, [&show] { return keep_waiting(show); });
}

// A preview pays where the whole picture takes long to decode: a camera's
// JPEG is several megabytes.
bool worth_a_preview(const SlideShow& show, int m) {
    const ConfigEntry* left = find_nth_entry(&show.settings, "Left image", m);
    return left && plat_regular_file_size(left->value) >= PREVIEW_FROM_BYTES;
}

// The one way from a slide to the screen: installed with the working offset
// carried over, which a slide without an offset of its own keeps. Its clock
// starts now, however long it took to come.
void show_slide(SlideShow& show, std::unique_ptr<Slide> coming, int m) {
    install_slide(coming.get(), &show.settings, m, show.offset_x, show.offset_y);
    if (show.slide && m != show.number) show.notice.clear();
    show.number = m;
    show.slide = std::move(coming);
    show.scale_x = show.slide->texture_scale_x;
    show.scale_y = show.slide->texture_scale_y;
    show.offset_x = show.slide->stereo_offset_x;
    show.offset_y = show.slide->stereo_offset_y;
    show.clock = 0;
    show.last_reading = get_seconds();
}

// Once, when the first whole slide is on the screen: texture storage for a
// slide like it, so that the first changes make none.
void make_room_ahead(SlideShow& show) {
    if (show.spares_made || show.slide->preview) return;
    show.loader.make_spares_like(*show.slide);
    show.spares_made = true;
}

// The whole picture in place of the preview, once it is uploaded: the same
// size on the screen, the clock and offset going on as they were; an offset
// measured on the preview, not moved since, gives way to the whole's finer one.
void replace_preview(SlideShow& show) {
    if (!show.slide->preview) return;
    std::unique_ptr<Slide> whole = show.loader.take_if_uploaded(show.number);
    if (!whole) return;
    install_slide(whole.get(), &show.settings, show.number, show.offset_x, show.offset_y);
    if (show.offset_x == show.slide->stereo_offset_x && show.offset_y == show.slide->stereo_offset_y)
        show.offset_x = whole->stereo_offset_x, show.offset_y = whole->stereo_offset_y;
    show.slide = std::move(whole);
    show.scale_x = show.slide->texture_scale_x;
    show.scale_y = show.slide->texture_scale_y;
    make_room_ahead(show);
}

bool slide_exists(const SlideShow& show, int m) {
    return show.settings.count > 0 && find_nth_entry(&show.settings, "Left image", m) != nullptr;
}

// The slides kept ready: the next one of the timed advance, in random order
// the one after the current (for Right), the one before it (for Left), and
// the whole picture of a preview on the screen. Everything else is let go.
void want_ahead(SlideShow& show) {
    std::vector<int> wanted;
    if (show.slide->preview) wanted.push_back(show.number);
    // In the order they are read: Right is pressed more often than Left.
    wanted.push_back(show.next_number);
    if (show.randomise != 0 && slide_exists(show, show.number + 1)) wanted.push_back(show.number + 1);
    if (show.number > 1) wanted.push_back(show.number - 1);
    show.loader.keep_only(wanted);
    for (int m : wanted) show.loader.want(slide_request(&show.settings, m, show.stereo_mode));
}

// The next slide of the timed advance, drawn in random order, and the slides kept ready.
void plan_ahead(SlideShow& show) {
    if (show.randomise == 0) {
        show.next_number = slide_exists(show, show.number + 1) ? show.number + 1 : 1;
    } else {
        show.random_before_next = rand15_save();
        int m = pick_random_slide(show.randomise, show.n_over_32768);
        if (m == show.number) m = pick_random_slide(show.randomise, show.n_over_32768);
        show.next_number = m;
    }
    want_ahead(show);
}

// Another stereo mode lays each eye out at another size, and the coloured
// modes need textures of their own: the slide on screen is prepared again
// for it, at the same moment of its time, and the slides ready go.
void change_stereo_mode(SlideShow& show, int step) {
    show.stereo_mode = stereo_mode_step(show.stereo_mode, step);
    show.stereo_mode_changed = true;
    show.loader.keep_only({});
    std::unique_ptr<Slide> again = fetch_slide(show, show.number);
    if (!again) return;
    const double clock = show.clock;
    show.slide.reset();
    show_slide(show, std::move(again), show.number);
    show.clock = clock;
    show.mode_label_until = show.last_reading + 2;
    want_ahead(show);
}

// The caption, and for a while after M the mode's number and name, inside
// each eye's view where the eyes have parts of their own. The name keeps
// clear of the caption: at the bottom when the caption starts in the upper half.
void draw_text_over_frame(const SlideShow& show) {
    const StereoModeRow& row = stereo_mode_row(show.stereo_mode);
    EyeView views[2];
    const int count = text_views(row, display.screen_width, display.screen_height, views);
    std::string label;
    if (get_seconds() < show.mode_label_until)
        label = "Stereo mode " + std::to_string(static_cast<int>(row.mode)) + ": " + row.name;
    for (int i = 0; i < count; ++i) {
        draw_caption(show.slide->caption, views[i]);
        if (!label.empty()) draw_corner_label(label.c_str(), views[i], show.slide->caption.top < 0.5);
        // Where the eyes share the window, a picture that failed for both is told once.
        std::vector<std::string> notices;
        if (show.number == show.notice_slide && !show.notice.empty()) notices.push_back(show.notice);
        for (int eye = count == 2 ? i : 0; eye < (count == 2 ? i + 1 : 2); ++eye) {
            const std::string& failure = show.slide->failure[eye];
            if (!failure.empty() && std::find(notices.begin(), notices.end(), failure) == notices.end())
                notices.push_back(failure);
        }
        for (size_t line = 0; line < notices.size(); ++line)
            draw_notice(notices[line], views[i], static_cast<int>(line));
    }
}

// The slide whose Left or Right image is the named file, or 0.
int slide_of_file(const ConfigList* list, const std::string& file) {
    for (int n = 1; find_nth_entry(list, "Left image", n) || find_nth_entry(list, "Right image", n); ++n)
        for (const char* key : {"Left image", "Right image"}) {
            const ConfigEntry* entry = find_nth_entry(list, key, n);
            if (!entry) continue;
            const char* name = entry->value;
            // "./name" names it too.
            if (name[0] == '.' && name[1] && std::strchr(plat_path_separators(), name[1])) name += 2;
            if (equals_nocase(name, file.c_str())) return n;
        }
    return 0;
}

// A mode chosen at the screen is kept as a plain entry, which is read before
// the self-explaining one; that one keeps its default.
void save_stereo_mode(SlideShow& show) {
    if (!show.stereo_mode_changed) return;
    const std::string number = std::to_string(static_cast<int>(show.stereo_mode));
    for (uint32_t i = 0; i < show.settings.count; ++i) {
        ConfigEntry* entry = config_entry(&show.settings, i);
        if (equals_nocase(entry->key, "Stereo mode")) return config_set_value(entry, number.c_str());
    }
    config_add(&show.settings, "Stereo mode", number.c_str());
}

// Esc, Q or the window closed: the settings are written back.
int end_show(SlideShow& show) {
    save_stereo_mode(show);
    config_save(&show.settings, "config.txt", ':');
    config_free(&show.settings);
    return 0;
}

// The slide leaving the screen stays ready in case it is wanted again (a
// preview does not). When the show ends while the coming one is awaited, the
// screen keeps the slide it has.
void change_slide(SlideShow& show, int m) {
    std::unique_ptr<Slide> coming;
    if (m == show.number && !show.slide->preview) {
        coming = std::move(show.slide);
    } else {
        coming = fetch_slide(show, m);
        if (!coming) return;
    }
    std::unique_ptr<Slide> leaving = std::move(show.slide);
    if (leaving && !leaving->preview) show.loader.keep(std::move(leaving));
    show_slide(show, std::move(coming), m);
}

// The arrows never draw at random: the draw made in advance is made again
// against the slide they lead to.
void step_to(SlideShow& show, int m) {
    change_slide(show, m);
    if (show.quitting) return;
    if (show.randomise != 0) rand15_seed(show.random_before_next);
    plan_ahead(show);
}

// Where the arrows pressed since the last frame lead: each Left a slide back,
// not before the first, each Right one on, not past the last.
int arrows_target(const SlideShow& show, int left, int right) {
    int m = std::max(1, show.number - left);
    for (; right > 0 && slide_exists(show, m + 1); --right) ++m;
    return m;
}

void timed_advance(SlideShow& show) {
    if (show.slides_left > 0 && --show.slides_left == 0) {
        show.ended = true;
        return;
    }
    change_slide(show, show.next_number);
    if (!show.quitting) plan_ahead(show);
}

void run_frame_steps(SlideShow& show) {
    // Every press counts, however many fell between two frames.
    if (key_press_count('P') % 2) show.paused ^= 1;

    edit_stereo_offset(&show.settings, show.number, show.slide->left_image, &show.offset_x, &show.offset_y);
    if (const int m = key_press_count('M')) change_stereo_mode(show, key_held(VK_KEY_SHIFT) ? -m : m);

    if (!show.paused) show.clock += get_seconds() - show.last_reading;
    show.last_reading = get_seconds();

    const int left = key_press_count(VK_KEY_LEFT), right = key_press_count(VK_KEY_RIGHT);
    if ((left > 0 && show.number > 1) || (right > 0 && slide_exists(show, std::max(1, show.number - left) + 1)))
        step_to(show, arrows_target(show, left, right));
    if (!show.quitting && show.clock >= show.slide_duration) timed_advance(show);
    if (show.ended || show.quitting) return;
    replace_preview(show);

    const double zoom = zoom_factor(show.clock, show.pause_before_zoom, show.inverse_zoom_time);
    draw_eye_views(show.slide->eye_textures(), {show.stereo_mode, static_cast<float>(zoom), show.scale_x,
                                                show.scale_y, show.offset_x, show.offset_y, show.swap_stereo});
    if (stereo_mode_row(show.stereo_mode).compositor == Compositor::interlace_rows) stereo_interlace(show.swap_stereo);
    draw_text_over_frame(show);
    if (key_held(VK_KEY_CONTROL) && key_newly_pressed('S')) gfx_screenshot("3dimage");
    const double now = get_seconds();
    const double frame_time = std::min(std::max(now - show.last_upload, 1.0 / 120), 0.125);
    show.last_upload = now;
    show.loader.upload_some(static_cast<size_t>(UPLOAD_BYTES_PER_SECOND * frame_time));
}

}  // namespace

int pick_random_slide(int n_count, double n_over_32768) {
    if (n_count < 1) return 1;
    const int r1 = rand15();
    const int r2 = rand15();
    const double draw = std::floor((r2 + r1 / 32768.0) * n_over_32768);
    int index = draw >= n_count ? n_count - 1 : static_cast<int>(draw);
    if (index < 0) index = 0;
    return index + 1;
}

double zoom_factor(double slide_clock, double pause_before_zoom, double inverse_zoom_time) {
    double u = (slide_clock - pause_before_zoom) * inverse_zoom_time;
    if (u < 0) u = 0;
    return std::pow(PICTURE_MAX_ZOOM, (1 - std::cos(3.141592653589793 * u)) * 0.5);
}

namespace {

int run_show(const std::string& start_file, void* instance) {
    SlideShow show;
    show.settings = config_load("config.txt", ':');
    read_stereo_settings(&show.settings, &show.stereo_mode, &show.swap_stereo);
    // After the display entries, so that a saved folder show lists them first.
    add_folder_show(&show.settings);
    show.slides_left = config_get_int(&show.settings, "Slides to show");
    show.randomise = config_get_int(&show.settings, "Randomise");
    const double slide_time = config_get_real(&show.settings, "Slide time");
    show.pause_before_zoom = config_get_real(&show.settings, "Slide pause before zoom");

    rand15_seed(plat_seed_clock());
    show.n_over_32768 = show.randomise / 32768.0;
    show.number = show.randomise != 0 ? pick_random_slide(show.randomise, show.n_over_32768) : 1;
    if (!start_file.empty()) {
        const int m = slide_of_file(&show.settings, start_file);
        show.number = m > 0 ? m : 1;
        if (m == 0) show.notice = start_file + ": in no slide of this show", show.notice_slide = 1;
    }
    // A large first picture is on the screen at once as a preview, read
    // while the window opens (for the size it will have, in a texture any
    // renderer takes); the whole picture follows, and the slides after it
    // are read once the first frame is up.
    const WindowPlacement place = gfx_choose_window_rect(display.resolution);
    const bool preview = place.width > 0 && place.height > 0 && worth_a_preview(show, show.number);
    if (preview) {
        display.screen_width = place.width, display.screen_height = place.height;
        SlideRequest request = slide_request(&show.settings, show.number, show.stereo_mode, true);
        request.target.max_side = PREVIEW_MAX_SIDE;
        show.loader.want(request);
    }
    if (!gfx_open_window(WINDOW_TITLE, instance)) {
        config_free(&show.settings);  // nothing is written
        return 0;
    }
    font_load_glyph_data(caption_glyph_data, caption_glyph_data_length, "caption");
    show.loader.want(slide_request(&show.settings, show.number, show.stereo_mode));
    std::unique_ptr<Slide> first = fetch_slide(show, show.number, preview);
    if (!first) return end_show(show);
    show_slide(show, std::move(first), show.number);
    if (display.screen_width == 0)
        report_inner("parallaxon", 75, REPORT_FATAL,
                     "GRAPHICS() macro not called at LOOP start, or no resolution specified", 0);
    show.slide_duration = std::fmax(show.pause_before_zoom + 0.000001, slide_time);
    gfx_pump_messages();
    show.paused = 0;
    show.inverse_zoom_time = 1.0 / (show.slide_duration - show.pause_before_zoom);
    // Settings too large for a double leave the zoom at rest instead of undefined.
    if (!std::isfinite(show.inverse_zoom_time)) show.inverse_zoom_time = 0;
    show.clock = 0;

    bool first_frame = true;
    for (;;) {
        run_frame_steps(show);
        if (show.ended) {
            config_free(&show.settings);  // nothing is written
            return 0;
        }
        if (show.quitting) break;

        glFinish();
        plat_swap_buffers();
        if (first_frame) {
            glClearColor(0, 0, 0, 0);
            show.loader.yield_to_frames();
            plan_ahead(show);
            make_room_ahead(show);
        }
        first_frame = false;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();

        const int32_t closed = gfx_pump_messages();
        if (key_held(VK_KEY_ESCAPE) || key_held('Q') || key_newly_pressed(VK_KEY_ESCAPE) ||
            key_newly_pressed('Q') || closed)
            break;
    }
    return end_show(show);
}

}  // namespace

int app_main(int argc, const char* const argv[], void* instance) {
    const CommandLine line = read_command_line(argc, argv);
    switch (line.action) {
    case CommandLine::help: plat_print(usage_text().c_str(), false); return 0;
    case CommandLine::version: plat_print(version_text().c_str(), false); return 0;
    case CommandLine::fail: plat_print((line.error + "\n").c_str(), true); return 2;
    case CommandLine::show: break;
    }
    // The show's folder is the working folder: config.txt, the pictures'
    // names and the screenshots are found and written there.
    if (!line.folder.empty() && !plat_set_current_folder(line.folder.c_str())) {
        plat_print(("parallaxon: cannot open the folder '" + line.folder + "'\n").c_str(), true);
        return 2;
    }
    // Running out of memory ends the show like any fatal error: with a message
    // and status 1, config.txt as it was.
    try {
        const int status = run_show(line.file, instance);
        screenshots_wait();
        return status;
    } catch (const std::bad_alloc&) {
        report_inner("parallaxon", __LINE__, REPORT_FATAL, "Out of memory.", 0);
    } catch (const std::exception& error) {
        report_inner("parallaxon", __LINE__, REPORT_FATAL, error.what(), 1);
    }
    return 1;
}
