// Slides prepared ahead: a loader thread reads, decodes and stages the
// slides the show will want next, and the frame loop uploads their textures
// a slice at a time, so that no frame stalls at a slide change.
#pragma once

#include "app/parallaxon.h"
#include "image/picture.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What slide n is made of, read from the settings on the frame loop's thread.
struct SlideRequest {
    int number = 0;
    bool has_left = false, has_right = false;
    std::string left, right;
    int32_t same_image = 0;
    int32_t stereo_mode = 0;
    PictureTarget target{};
};
SlideRequest slide_request(const ConfigList* list, int n, int32_t stereo_mode);

// A slide's pictures and textures, before it is installed in the Slide record
// or after it has left it.
struct PreparedSlide {
    int number = 0;
    int32_t same_image = 0;
    SimpleBitmap images[2]{};
    // The eyes' textures, then in the coloured modes each eye's positive and
    // negative anaglyph halves.
    static constexpr int TEXTURES = 6;
    TextureLevels levels[TEXTURES];
    bool has_parallax = false;
    float parallax_offset_x = 0;
    // Frame loop only: the textures and how much of each is uploaded.
    GLuint textures[TEXTURES] = {};
    size_t uploaded[TEXTURES] = {};

    PreparedSlide();
    PreparedSlide(const PreparedSlide&) = delete;
    PreparedSlide& operator=(const PreparedSlide&) = delete;
    ~PreparedSlide();
    // Uploads some of the textures, made from `spares` where they fit; true
    // once all are complete. Spares that fit none of this slide's textures
    // are freed before new storage is made, which ends the budget of a
    // limited call: one at most in a frame.
    bool upload_some(size_t* budget, std::vector<GLuint>* spares = nullptr);
};

// How many prepared slides exist, wherever they are.
size_t prepared_slides_in_memory();

// Reads, decodes and stages: no GL, no settings; any thread.
std::unique_ptr<PreparedSlide> prepare_slide(const SlideRequest& request);
// Moves a complete prepared slide into the record and fills the rest of the
// record from the settings, as loading slide n does.
void install_slide(Slide* slide, PreparedSlide* prepared, const ConfigList* list, int n);
// Moves the record's pictures and textures out, so the slide can be shown again at once.
std::unique_ptr<PreparedSlide> uninstall_slide(Slide* slide, int n);

class SlideLoader {
public:
    SlideLoader();
    ~SlideLoader();
    SlideLoader(const SlideLoader&) = delete;
    SlideLoader& operator=(const SlideLoader&) = delete;

    // Asks for a slide unless it is held or on its way.
    void want(const SlideRequest& request);
    // Holds a slide that is ready as it is (one that just left the screen).
    void keep(std::unique_ptr<PreparedSlide> slide);
    // Forgets every slide but these; their textures are kept as spares, up
    // to as many as one slide has, for the slides to come.
    void keep_only(const std::vector<int>& numbers);
    // Room for one more slide like this one, made now (at the start, before
    // the frames that must not stall): the spares, and how many to keep.
    void make_spares_like(const PreparedSlide& slide);
    // Uploads up to `budget` bytes of texture rows of the slides decoded so far.
    void upload_some(size_t budget);
    // Slide n, complete: waits for its decoding and uploads what is left;
    // null when it was never asked for.
    std::unique_ptr<PreparedSlide> take(int n);
    // Slides held or on their way.
    size_t count();

private:
    struct Job {
        SlideRequest request;
        std::unique_ptr<PreparedSlide> slide;  // set once decoded
        std::exception_ptr error;              // or this, when preparing it threw
        bool started = false;
    };
    void work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Job>> jobs_;
    // Frame loop only: textures of slides let go, for the slides to come.
    std::vector<GLuint> spares_;
    size_t most_spares_ = 2;
    void delete_spares(size_t keep);
    bool stopping_ = false;
    std::thread thread_;
};
