// Slides prepared ahead: a loader thread reads, decodes and stages the
// slides the show will want next, and the frame loop uploads their textures
// a slice at a time, so that no frame stalls at a slide change. A slide the
// frame loop has to wait for, not yet begun, goes to a second thread that
// keeps the process's priority: there are no frames to yield to then.
#pragma once

#include "app/slides.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class SlideLoader {
public:
    SlideLoader();
    ~SlideLoader();
    SlideLoader(const SlideLoader&) = delete;
    SlideLoader& operator=(const SlideLoader&) = delete;

    // Asks for a slide (or its preview) unless it is held or on its way.
    void want(const SlideRequest& request);
    // Holds a slide that is ready as it is (one that just left the screen).
    void keep(std::unique_ptr<Slide> slide);
    // Forgets every slide but these, and every preview; a decoding under
    // way is abandoned. Their textures are kept as spares, up to as many as
    // one slide has, for the slides to come.
    void keep_only(const std::vector<int>& numbers);
    // Room for one more slide like this one: the spares, made one a frame
    // by upload_some before any upload, and how many to keep.
    void make_spares_like(const Slide& slide);
    // Uploads up to `budget` bytes of texture rows of the slides decoded so far.
    void upload_some(size_t budget);
    // Slide n (or its preview), complete: moves it to the front of the queue,
    // waits for its decoding and uploads what is left. While it waits,
    // keep_waiting is called every few milliseconds; once that says false,
    // or when the slide was never asked for, the result is null.
    std::unique_ptr<Slide> take(int n, bool preview, const std::function<bool()>& keep_waiting);
    // Slide n once it is decoded and uploaded by upload_some, else null.
    std::unique_ptr<Slide> take_if_uploaded(int n);
    // Slides held or on their way.
    size_t count();
    // From the next slide on, the loader yields to the frames. Before the
    // first frame there are none to yield to, and the first picture is wanted
    // soonest.
    void yield_to_frames();

private:
    struct Job {
        SlideRequest request;
        std::unique_ptr<Slide> slide;  // set once decoded
        std::exception_ptr error;      // or this, when preparing it threw
        bool started = false;
        bool urgent = false;           // awaited by the frame loop
        bool uploaded = false;         // its textures complete (frame loop only)
        std::atomic<bool> cancelled{false};
    };
    std::deque<std::shared_ptr<Job>>::iterator find(int n, bool preview);
    void work(bool urgent);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Job>> jobs_;
    // Frame loop only: textures of slides let go, for the slides to come.
    std::vector<GLuint> spares_;
    std::vector<TextureLevels> spares_to_make_;  // their shapes only
    size_t most_spares_ = 2;
    void delete_spares(size_t keep);
    bool stopping_ = false;
    bool yielding_ = false;  // asked for; the thread lowers its own priority once
    std::thread thread_, urgent_thread_;
};
