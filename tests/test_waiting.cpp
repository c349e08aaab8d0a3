// Whole shows where the viewer is quicker than the frames or the slides: keys
// pressed and released between two frames, Esc while a slide is awaited, a
// slide slower to prepare than its predecessor's time, a preview first.
#include "show.h"

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace {

// The picture files read during a show, from whichever thread; one named file takes `ms` of real time to reach.
struct FilesRead {
    std::mutex mutex;
    std::set<std::string> paths;
    explicit FilesRead(const std::string& slow = "", int ms = 0) {
        headless::state().on_file = [this, slow, ms](const char* path) {
            std::unique_lock<std::mutex> lock(mutex);
            paths.insert(path);
            lock.unlock();
            if (path == slow) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
    }
    bool has(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex);
        return paths.count(path) > 0;
    }
};

}  // namespace

// Keys that went down and up again between two frames count in the next one, as often as they went down: five
// Rights land five slides on without reading the slides between that nothing reads ahead; M, Ctrl+S and Q
// each do their work.
TEST_F(Show, KeysTappedBetweenFramesCount) {
    quarter_second_frames();
    write_file("config.txt", slides(5) + "Slide time: 100\n");
    FilesRead files;
    tap(VK_KEY_RIGHT, 1, 4);  // slide 5: slide 2 was read ahead, 4 is then, 3 is not
    bool between_read = true;
    at(2, [&](headless::State&) { between_read = files.has("l3.bmp"); });
    hold(VK_KEY_CONTROL, 2, 3);
    tap('S', 2);             // a screenshot
    tap(VK_KEY_LEFT, 3, 2);  // slide 3
    tap('M', 4);             // top/bottom
    tap('Q', 6);
    ASSERT_EQ(run(100), 0);
    ASSERT_EQ(frames.size(), 6u);
    const std::vector<int> shown = slides_shown();  // until M: its middle row is the halves' boundary
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 4), (std::vector<int>{1, 5, 5, 3}));
    EXPECT_FALSE(between_read);
    const ScreenModel top_bottom{1, 200, 150, 0, false, {{32, 24, false}, {32, 24, false}}, 1, 0, 0};
    EXPECT_GT(check_frame(frames[5], top_bottom, 3), 100);
    EXPECT_EQ(headless::state().programs.size(), 2u);  // one screenshot: magick, then convert
    EXPECT_NE(read_file("config.txt").find("Stereo mode: 1\n"), std::string::npos);
}

// Esc or Q ends the show while a slide is awaited, at the start or at a change, with config.txt written as at
// any end; the slide awaited is abandoned before its second picture is read.
TEST_F(Show, EscWhileASlideIsAwaitedEndsTheShow) {
    const struct { const char* slow; int right_at; uint8_t key; size_t frames; } cases[] = {
        {"l1.bmp", -1, VK_KEY_ESCAPE, 0},  // the first slide: no frame at all
        {"l3.bmp", 2, 'Q', 2},              // slide 3, which nothing read ahead
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slow);
        restart();
        quarter_second_frames();
        const std::string show = slides(3) + "Slide time: 100\n";
        write_file("config.txt", show);
        FilesRead files(c.slow, 400);
        if (c.right_at >= 0) tap(VK_KEY_RIGHT, c.right_at, 2);
        headless::state().on_wait = [key = c.key](int) { headless::state().presses[key] = 1; };
        ASSERT_EQ(run(100), 0);
        EXPECT_EQ(frames.size(), c.frames);
        EXPECT_EQ(read_file("config.txt"), text_mode(show + DESCRIPTIVE));
        EXPECT_FALSE(files.has("r" + std::string(c.slow + 1)));  // its right picture
    }
}

// A slide that keeps the show waiting still gets its whole time on the
// screen: its clock starts when it is shown, not when it was due.
TEST_F(Show, ASlowSlideKeepsItsWholeTime) {
    quarter_second_frames();
    write_file("config.txt", slides(3) + "Slide time: 1\n");
    FilesRead slow("l2.bmp", 500);
    // Every wait for it takes a quarter second of the show's clock.
    headless::state().on_wait = [](int) { headless::state().counter += 250000; };
    ASSERT_EQ(run(12), 0);
    EXPECT_GT(headless::state().waits, 0);
    EXPECT_EQ(slides_shown(), (std::vector<int>{1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}));
}

// A camera-size picture is on the screen at once as a preview, and the whole picture takes its place once it
// is uploaded; the next slide is read only after the first frame. The pictures are checkerboards of 2-pixel
// squares: grey as a preview, black and white once whole.
TEST_F(Show, ALargeFirstPictureShowsAPreviewFirst) {
    const auto checkers = bmp24(1200, 900, [](int x, int y) {
        const uint8_t v = (x / 2 + y / 2) % 2 ? 255 : 0;
        return Rgb{v, v, v};
    });  // 3.2 MB
    write_file("big_l.bmp", checkers);
    write_file("big_r.bmp", checkers);
    write_picture("l2.bmp", 2, 0, 32, 24);
    write_file("config.txt", "Left image: big_l.bmp\nRight image: big_r.bmp\nLeft image: l2.bmp\nSlide time: 100\n");
    FilesRead files;
    bool next_before_first_frame = true;
    at(0, [&](headless::State& st) {
        st.on_swap = [&, read_back = st.on_swap](int k) {
            if (k == 0) next_before_first_frame = files.has("l2.bmp");
            std::this_thread::sleep_for(std::chrono::milliseconds(4));  // time for the loader
            if (k == 0 || k == 149) read_back(k);                       // the first frame and the last
        };
    });
    ASSERT_EQ(run(150), 0);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(next_before_first_frame);
    auto grey_and_stark = [](const std::vector<uint8_t>& frame) {
        int grey = 0, stark = 0;
        for (int y = 300; y < 400; ++y)
            for (int x = 600; x < 700; ++x) {
                const uint8_t v = pixel_at(frame, 1366, x, y).g;
                grey += v > 80 && v < 176, stark += v < 40 || v > 215;
            }
        return std::make_pair(grey, stark);
    };
    const auto preview = grey_and_stark(frames.front()), whole = grey_and_stark(frames.back());
    EXPECT_GT(preview.first, 5000);  // a picture, mostly grey
    EXPECT_GT(whole.second, 4 * preview.second);
}
