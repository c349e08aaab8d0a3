// The loader thread and the hand-over of its slides to the frame loop.
#include "app/loader.h"

#include "display/display.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

SlideLoader::SlideLoader() : thread_([this] { work(false); }), urgent_thread_([this] { work(true); }) {}

SlideLoader::~SlideLoader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (const auto& job : jobs_) job->cancelled = true;
    }
    changed_.notify_all();
    thread_.join();
    urgent_thread_.join();
    if (!display.quit_requested) delete_spares(0);
}

void SlideLoader::delete_spares(size_t keep) {
    if (spares_.size() <= keep) return;
    // The oldest go first.
    const GLsizei count = static_cast<GLsizei>(spares_.size() - keep);
    glDeleteTextures(count, spares_.data());
    spares_.erase(spares_.begin(), spares_.begin() + count);
}

void SlideLoader::make_spares_like(const Slide& slide) {
    most_spares_ = 0;
    for (const TextureLevels& levels : slide.levels) {
        if (levels.level_offset.empty()) continue;
        TextureLevels shape = levels;
        shape.texels = {};
        spares_to_make_.push_back(std::move(shape));
        ++most_spares_;
    }
}

void SlideLoader::yield_to_frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    yielding_ = true;
}

void SlideLoader::work(bool urgent) {
    bool lowered = false;
    const auto for_this_thread = [urgent](const std::shared_ptr<Job>& j) { return !j->started && (j->urgent || !urgent); };
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock,
                      [&] { return stopping_ || std::any_of(jobs_.begin(), jobs_.end(), for_this_thread); });
        if (stopping_) return;
        std::shared_ptr<Job> job = *std::find_if(jobs_.begin(), jobs_.end(), for_this_thread);
        job->started = true;
        const bool lower = !urgent && yielding_ && !lowered;
        lock.unlock();
        if (lower) plat_lower_thread_priority(), lowered = true;  // the frames come first
        std::unique_ptr<Slide> slide;
        std::exception_ptr error;
        try {
            slide = prepare_slide(job->request, &job->cancelled);
        } catch (...) {
            // Handed to the frame loop, which ends the show as if it had failed itself.
            error = std::current_exception();
        }
        lock.lock();
        // A job forgotten meanwhile is dropped with its last reference.
        job->slide = std::move(slide);
        job->error = error;
        changed_.notify_all();
    }
}

std::deque<std::shared_ptr<SlideLoader::Job>>::iterator SlideLoader::find(int n, bool preview) {
    return std::find_if(jobs_.begin(), jobs_.end(),
                        [&](const auto& j) { return j->request.number == n && j->request.preview == preview; });
}

void SlideLoader::want(const SlideRequest& request) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (find(request.number, request.preview) != jobs_.end()) return;
        auto job = std::make_shared<Job>();
        job->request = request;
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void SlideLoader::keep(std::unique_ptr<Slide> slide) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto job = std::make_shared<Job>();
    job->request.number = slide->number;
    job->started = true;
    job->slide = std::move(slide);
    jobs_.push_back(std::move(job));
}

void SlideLoader::keep_only(const std::vector<int>& numbers) {
    std::vector<std::shared_ptr<Job>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto unwanted = [&](const std::shared_ptr<Job>& job) {
            return job->request.preview ||
                   std::find(numbers.begin(), numbers.end(), job->request.number) == numbers.end();
        };
        for (const auto& job : jobs_)
            if (unwanted(job)) dropped.push_back(job), job->cancelled = true;
        jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(), unwanted), jobs_.end());
    }
    // On the frame loop's thread, outside the lock: the textures with storage are kept.
    for (const auto& job : dropped) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!job->slide) continue;
        for (GLuint& texture : job->slide->textures)
            if (texture && texture_has_storage(texture)) spares_.push_back(texture), texture = 0;
        job->slide.reset();
    }
    delete_spares(most_spares_);
}

void SlideLoader::upload_some(size_t budget) {
    // New storage costs a frame as much as a full budget of uploads.
    if (!spares_to_make_.empty() && budget > 0) {
        spares_.push_back(texture_create(spares_to_make_.back()));
        spares_to_make_.pop_back();
        return;
    }
    std::vector<std::shared_ptr<Job>> decoded;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& job : jobs_)
            if (job->slide) decoded.push_back(job);
    }
    // Once decoded, a slide is touched by this thread alone.
    for (const auto& job : decoded)
        if (!job->uploaded) job->uploaded = job->slide->upload_some(&budget, &spares_);
}

std::unique_ptr<Slide> SlideLoader::take_if_uploaded(int n) {
    std::shared_ptr<Job> job;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = find(n, false);
        if (it == jobs_.end() || !(*it)->slide || !(*it)->uploaded) return nullptr;
        job = *it;
        jobs_.erase(it);
    }
    return std::move(job->slide);
}

std::unique_ptr<Slide> SlideLoader::take(int n, bool preview, const std::function<bool()>& keep_waiting) {
    std::shared_ptr<Job> job;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        auto it = find(n, preview);
        if (it == jobs_.end()) return nullptr;
        job = *it;
        // Ahead of every slide not yet begun, on the thread that does not yield.
        if (!job->started) {
            jobs_.erase(it);
            jobs_.push_front(job);
            job->urgent = true;
            changed_.notify_all();
        }
        const auto ready = [&] { return job->slide != nullptr || job->error; };
        while (!changed_.wait_for(lock, std::chrono::milliseconds(5), ready)) {
            lock.unlock();
            const bool waiting = keep_waiting();
            lock.lock();
            if (!waiting) return nullptr;
        }
        const auto at = std::find(jobs_.begin(), jobs_.end(), job);
        if (at != jobs_.end()) jobs_.erase(at);
    }
    if (job->error) std::rethrow_exception(job->error);
    // The frame waits anyway: the storage still to make is made now, for this slide to use.
    for (const TextureLevels& shape : spares_to_make_) spares_.push_back(texture_create(shape));
    spares_to_make_.clear();
    size_t budget = SIZE_MAX;
    job->slide->upload_some(&budget, &spares_);
    return std::move(job->slide);
}

size_t SlideLoader::count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.size();
}
