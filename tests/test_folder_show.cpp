// A folder without a slide list: which files become slides, and a whole show
// of such a folder on the headless desktop.
#include "app/folder_show.h"

#include "heif_files.h"
#include "show.h"

#include <cstdlib>

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
    {"side by side by name, and no name that would break its line in config.txt",
     {"a.Left-Right.jpg", "b_SBS.png", "c-sbs.jpeg", "d_lr.jpg", "e-LR.png", "f_rl.jpg", "g-rl.PNG", "sbs.jpg",
      "h.left-right.bmp", "i_sbs.heic", "jlr.jpg", "k_sbs.jpg.txt", "two\nlines.mpo"},
     {{"a.Left-Right.jpg", "a.Left-Right.jpg"}, {"b_SBS.png", "b_SBS.png"}, {"c-sbs.jpeg", "c-sbs.jpeg"},
      {"d_lr.jpg", "d_lr.jpg"}, {"e-LR.png", "e-LR.png"}, {"f_rl.jpg", "f_rl.jpg"}, {"g-rl.PNG", "g-rl.PNG"}}},
    {"the partner of the same type first, each file once",
     {"m_L.jpg", "m_R.png", "m_R.jpg", "m_L.bmp", "n_L.png", "n_R.bmp"},
     {{"m_L.bmp", "m_R.png"}, {"m_L.jpg", "m_R.jpg"}, {"n_L.png", "n_R.bmp"}}},
    {"HEIC files: a stereo pair alone, any other one paired by name",
     {"pair.HEIC", "pair_L.heic", "trip_L.heif", "trip_R.hif", "lake_L.heic", "lake_R.jpg", "mono.heic"},
     {{"lake_L.heic", "lake_R.jpg"}, {"pair.HEIC", "pair.HEIC"}, {"pair_L.heic", "pair_L.heic"},
      {"trip_L.heif", "trip_R.hif"}}},
};

// Which HEIC files of the listings hold a stereo pair.
bool named_pair(const std::string& name) { return name.find("pair") != std::string::npos; }

// Red for a left eye, blue for a right one; green tells the slide.
Rgb eye_colour(int slide, int eye) {
    return {static_cast<uint8_t>(eye ? 0 : 255), static_cast<uint8_t>(25 * slide), static_cast<uint8_t>(eye ? 255 : 0)};
}

// Lossy compression leaves a colour within a few steps of what was written.
bool near(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) < 16 && std::abs(a.g - b.g) < 16 && std::abs(a.b - b.b) < 16;
}

class FolderShow : public Show {};

}  // namespace

TEST(FolderListing, NamesGiveSlidePairs) {
    for (const Listing& listing : LISTINGS) {
        std::vector<std::pair<std::string, std::string>> slides;
        for (const StereoPair& pair : folder_stereo_pairs(listing.names, named_pair))
            slides.emplace_back(pair.left, pair.right);
        EXPECT_EQ(slides, listing.slides) << listing.what;
    }
}

// Every kind of stereo file in one folder, side by side: each slide shows its
// left eye in the left half, for eight seconds, in natural name order; names
// beginning with a blank survive the save and open the same files next time.
TEST_F(FolderShow, FolderWithoutSlideListShowsItsStereoPicturesAndSavesThem) {
    desktop(64, 64);
    headless::state().frame_ticks = headless::state().frequency;  // one second a frame
    write_file(" img0_L.jpg", jpeg(32, 32, solid(eye_colour(0, 0))));
    write_file(" img0_R.jpg", jpeg(32, 32, solid(eye_colour(0, 1))));
    write_file("img1.mpo", mpo(jpeg(32, 32, solid(eye_colour(1, 0))), jpeg(32, 32, solid(eye_colour(1, 1))), true));
    write_file("img2.jps", jpeg(64, 32, [](int x, int) { return eye_colour(2, x < 32); }));
    write_file("img3_L.jpg", jpeg(32, 32, solid(eye_colour(3, 0))));
    write_file("img3_R.jpg", jpeg(32, 32, solid(eye_colour(3, 1))));
    write_file("img10-left.png", png(32, 32, solid(eye_colour(5, 0))));
    write_file("img10-right.png", png(32, 32, solid(eye_colour(5, 1))));
    write_file("IMG9_l.bmp", bmp24(32, 32, solid(eye_colour(4, 0))));
    write_file("img9_R.bmp", bmp24(32, 32, solid(eye_colour(4, 1))));
    write_file("img11.heic", spatial_heic(hevc(64, 64, solid(eye_colour(6, 0))), hevc(64, 64, solid(eye_colour(6, 1)))));
    write_file("img12_L.heic", heif_file({{{hevc(64, 64, solid(eye_colour(7, 0)))}}}));
    write_file("img12_R.heic", heif_file({{{hevc(64, 64, solid(eye_colour(7, 1)))}}}));
    // Side by side by name: the left eye's view on the left, or cross-eyed.
    write_file("img13.left-right.jpg", jpeg(64, 32, [](int x, int) { return eye_colour(8, x >= 32); }));
    write_file("img14_RL.png", png(64, 32, [](int x, int) { return eye_colour(9, x < 32); }));
    write_file("photo.jpg", jpeg(32, 32, solid({255, 255, 255})));
    write_file("config.txt", "Stereo mode: 2\n");
    ASSERT_EQ(run(82), 0);
    ASSERT_EQ(frames.size(), 82u);
    for (int f = 0; f < 82; ++f) {
        const int slide = f / 8 % 10;
        for (int eye : {0, 1})
            EXPECT_TRUE(near(pixel_at(frames[f], 64, 16 + 32 * eye, 32), eye_colour(slide, eye)))
                << "frame " << f << " eye " << eye << ": " << pixel_at(frames[f], 64, 16 + 32 * eye, 32);
    }
    EXPECT_EQ(read_file("config.txt"),
              text_mode("Stereo mode: 2\n" + DESCRIPTIVE +
                        "Slide time (seconds, pause included): 8\nSlide pause before zoom (seconds): 2\n"
                        "Align pairs automatically (Y/N): Y\nLeft image: \" img0_L.jpg\"\n"
                        "Right image: \" img0_R.jpg\"\nLeft image: img1.mpo\nRight image: img1.mpo\nLeft image: img2.jps\nRight image: img2.jps\n"
                        "Left image: img3_L.jpg\nRight image: img3_R.jpg\nLeft image: IMG9_l.bmp\n"
                        "Right image: img9_R.bmp\nLeft image: img10-left.png\nRight image: img10-right.png\n"
                        "Left image: img11.heic\nRight image: img11.heic\nLeft image: img12_L.heic\n"
                        "Right image: img12_R.heic\nLeft image: img13.left-right.jpg\n"
                        "Right image: img13.left-right.jpg\nLeft image: img14_RL.png\nRight image: img14_RL.png\n"));
    restart();
    desktop(64, 64);
    ASSERT_EQ(run(1), 0);
    for (int eye : {0, 1}) EXPECT_TRUE(near(pixel_at(frames[0], 64, 16 + 32 * eye, 32), eye_colour(0, eye))) << eye;

}
