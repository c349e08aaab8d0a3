// A folder without a slide list: which files become slides, and a whole show
// of such a folder on the headless desktop.
#include "app/folder_show.h"
#include "app/parallaxon.h"

#include "bitmapfonts.h"
#include "bmp_files.h"
#include "gfx_opengl.h"
#include "platform/headless.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Listing {
    const char* what;
    std::vector<std::string> names;
    std::vector<std::pair<std::string, std::string>> slides;
};

const Listing LISTINGS[] = {
    {"natural order, stereo files both eyes",
     {"img10.mpo", "img2.MPO", "Img3.jps", "img1.pns", "img02.jps"},
     {{"img1.pns", "img1.pns"}, {"img02.jps", "img02.jps"}, {"img2.MPO", "img2.MPO"},
      {"Img3.jps", "Img3.jps"}, {"img10.mpo", "img10.mpo"}}},
    {"pairs by name, any letter case",
     {"beach_R.jpg", "beach_L.jpg", "harbour-right.png", "harbour-left.png", "DSC0042L.JPG", "dsc0042r.jpg",
      "parkL.jpeg", "parkR.jpeg", "x.l.bmp", "X.R.BMP", "lake left.png", "Lake Right.png"},
     {{"beach_L.jpg", "beach_R.jpg"}, {"DSC0042L.JPG", "dsc0042r.jpg"}, {"harbour-left.png", "harbour-right.png"},
      {"lake left.png", "Lake Right.png"}, {"parkL.jpeg", "parkR.jpeg"}, {"x.l.bmp", "X.R.BMP"}}},
    {"mono pictures and other files left out",
     {"carl.jpg", "carr.jpg", "photo.jpg", "alone_L.jpg", "config.txt", "3dimage_00001.bmp", ".hidden.mpo",
      "notes_L.txt", "notes_R.txt", "a_R.jpg", "b_L.gif", "b_R.gif"},
     {}},
    {"the partner of the same type first, each file once",
     {"m_L.jpg", "m_R.png", "m_R.jpg", "m_L.bmp", "n_L.png", "n_R.bmp"},
     {{"m_L.bmp", "m_R.png"}, {"m_L.jpg", "m_R.jpg"}, {"n_L.png", "n_R.bmp"}}},
};

TEST(FolderShow, ListingsGiveSlidePairs) {
    for (const Listing& listing : LISTINGS) {
        std::vector<std::pair<std::string, std::string>> slides;
        for (const StereoPair& pair : folder_stereo_pairs(listing.names)) slides.emplace_back(pair.left, pair.right);
        EXPECT_EQ(slides, listing.slides) << listing.what;
    }
}

const Rgb RED{255, 0, 0}, GREEN{0, 255, 0}, BLUE{0, 0, 255}, WHITE{255, 255, 255};
const char* const DISPLAY_ENTRIES =
    "Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...'): auto\n"
    "Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,5=two screen vertical,"
    "6-8=coloured): 0\n"
    "Swap stereo (Y/N): N\n";

// A whole show on a 64x64 desktop, one second a frame, Esc before frame
// `frames`; gives the centre pixel of every frame (mode 0: the right eye).
std::vector<Rgb> run_show(int frames) {
    headless::reset();
    font_reset_for_tests();
    stereo_interlace_forget_texture();
    screen_width = screen_height = 0;
    fullscreen_offset_x = fullscreen_offset_y = 0;
    quit_requested = 0;
    headless::State& s = headless::state();
    s.primary_w = s.primary_h = 64;
    s.monitors = {{0, 0, 64, 64}};
    s.frame_ticks = s.frequency;
    std::vector<Rgb> centre;
    s.on_pump = [frames](int pump) {
        if (pump == frames) headless::state().keys[VK_KEY_ESCAPE] = 0x80;
    };
    s.on_swap = [&centre](int) { centre.push_back(pixel_at(headless::read_frame_rgb(), 64, 32, 32)); };
    EXPECT_EQ(app_main("", nullptr), 0);
    headless::reset();
    return centre;
}

TEST(FolderShow, FolderWithoutSlideListShowsItsPairsAndSavesThem) {
    TempDir dir;
    write_solid_bmp("img10-left.bmp", 64, 64, WHITE);
    write_solid_bmp("img10-right.bmp", 64, 64, BLUE);
    write_solid_bmp("img2_L.bmp", 64, 64, WHITE);
    write_solid_bmp("img2_R.bmp", 64, 64, RED);
    write_solid_bmp("photo.bmp", 64, 64, GREEN);
    // Eight-second slides in natural name order, then round again.
    std::vector<Rgb> expected(8, RED);
    expected.insert(expected.end(), 8, BLUE);
    expected.insert(expected.end(), 2, RED);
    EXPECT_EQ(run_show(18), expected);
    EXPECT_EQ(read_file("config.txt"), text_mode(std::string(DISPLAY_ENTRIES) +
                                                 "Slide time (seconds, pause included): 8\n"
                                                 "Slide pause before zoom (seconds): 2\n"
                                                 "Left image: img2_L.bmp\nRight image: img2_R.bmp\n"
                                                 "Left image: img10-left.bmp\nRight image: img10-right.bmp\n"));

    // A slide list of its own keeps the folder's pictures out.
    write_file("config.txt", "Left image: photo.bmp\nRight image: photo.bmp\n");
    EXPECT_EQ(run_show(2), std::vector<Rgb>(2, GREEN));
    EXPECT_EQ(read_file("config.txt"),
              text_mode(std::string("Left image: photo.bmp\nRight image: photo.bmp\n") + DISPLAY_ENTRIES));
}

}  // namespace
