// The loader thread and the hand-over of its slides to the frame loop.
#include "app/loader.h"

#include "gfx_opengl.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {
std::atomic<size_t> prepared_count{0};
}

size_t prepared_slides_in_memory() { return prepared_count; }

PreparedSlide::PreparedSlide() { ++prepared_count; }

PreparedSlide::~PreparedSlide() {
    --prepared_count;
    for (SimpleBitmap& image : images) bitmap_free(&image);
    // Textures exist only on the frame loop's thread, and die with the window.
    for (GLuint& texture : textures)
        if (texture && !quit_requested) glDeleteTextures(1, &texture);
}

namespace {

// A spare that fits texture i, taken from the list. When none does, the
// spares that fit none of the slide's textures still to come are freed, so
// that the new storage does not come on top of theirs.
GLuint take_spare(const PreparedSlide& slide, int i, std::vector<GLuint>* spares) {
    auto fits = [&](GLuint spare, int j) { return !slide.textures[j] && texture_fits(spare, slide.levels[j]); };
    auto spare = std::find_if(spares->begin(), spares->end(), [&](GLuint s) { return fits(s, i); });
    if (spare != spares->end()) {
        const GLuint name = *spare;
        spares->erase(spare);
        return name;
    }
    auto useless = std::stable_partition(spares->begin(), spares->end(), [&](GLuint s) {
        for (int j = i + 1; j < PreparedSlide::TEXTURES; ++j)
            if (fits(s, j)) return true;
        return false;
    });
    if (useless != spares->end()) glDeleteTextures(static_cast<GLsizei>(spares->end() - useless), &*useless);
    spares->erase(useless, spares->end());
    return 0;
}

}  // namespace

bool PreparedSlide::upload_some(size_t* budget, std::vector<GLuint>* spares) {
    const bool limited = *budget != SIZE_MAX;
    for (int i = 0; i < TEXTURES; ++i) {
        // Every eye has a texture, pictureless or not; anaglyph halves only where there are some.
        if (!textures[i] && (i < 2 || !levels[i].level_offset.empty())) {
            if (*budget == 0) return false;
            if (spares) textures[i] = take_spare(*this, i, spares);
            if (!textures[i]) {
                textures[i] = texture_create(levels[i]);
                if (limited) *budget = 0;
            }
        }
        if (!textures[i] || uploaded[i] >= levels[i].texels.size()) continue;
        if (*budget == 0) return false;
        const size_t before = uploaded[i];
        const bool complete = texture_upload_some(textures[i], levels[i], &uploaded[i], *budget);
        *budget -= std::min(*budget, uploaded[i] - before);
        if (!complete) return false;
    }
    for (TextureLevels& l : levels) l.texels = {};  // the texels live on in the textures
    return true;
}

SlideLoader::SlideLoader() : thread_([this] { work(); }) {}

SlideLoader::~SlideLoader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (!quit_requested) delete_spares(0);
}

void SlideLoader::delete_spares(size_t keep) {
    if (spares_.size() <= keep) return;
    // The oldest go first.
    const GLsizei count = static_cast<GLsizei>(spares_.size() - keep);
    glDeleteTextures(count, spares_.data());
    spares_.erase(spares_.begin(), spares_.begin() + count);
}

void SlideLoader::make_spares_like(const PreparedSlide& slide) {
    most_spares_ = 0;
    for (const TextureLevels& levels : slide.levels)
        if (!levels.level_offset.empty()) spares_.push_back(texture_create(levels)), ++most_spares_;
}

void SlideLoader::work() {
    plat_lower_thread_priority();  // the frames come first
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return stopping_ || std::any_of(jobs_.begin(), jobs_.end(), [](const auto& j) { return !j->started; });
        });
        if (stopping_) return;
        std::shared_ptr<Job> job = *std::find_if(jobs_.begin(), jobs_.end(), [](const auto& j) { return !j->started; });
        job->started = true;
        lock.unlock();
        std::unique_ptr<PreparedSlide> slide;
        std::exception_ptr error;
        try {
            slide = prepare_slide(job->request);
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

void SlideLoader::want(const SlideRequest& request) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& job : jobs_)
            if (job->request.number == request.number) return;
        auto job = std::make_shared<Job>();
        job->request = request;
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void SlideLoader::keep(std::unique_ptr<PreparedSlide> slide) {
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
            return std::find(numbers.begin(), numbers.end(), job->request.number) == numbers.end();
        };
        for (const auto& job : jobs_)
            if (unwanted(job)) dropped.push_back(job);
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
    std::vector<std::shared_ptr<Job>> decoded;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& job : jobs_)
            if (job->slide) decoded.push_back(job);
    }
    // Once decoded, a slide is touched by this thread alone.
    for (const auto& job : decoded) job->slide->upload_some(&budget, &spares_);
}

std::unique_ptr<PreparedSlide> SlideLoader::take(int n) {
    std::shared_ptr<Job> job;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        auto it = std::find_if(jobs_.begin(), jobs_.end(), [n](const auto& j) { return j->request.number == n; });
        if (it == jobs_.end()) return nullptr;
        job = *it;
        changed_.wait(lock, [&] { return job->slide != nullptr || job->error; });
        jobs_.erase(std::find(jobs_.begin(), jobs_.end(), job));
    }
    if (job->error) std::rethrow_exception(job->error);
    size_t budget = SIZE_MAX;
    job->slide->upload_some(&budget, &spares_);
    return std::move(job->slide);
}

size_t SlideLoader::count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.size();
}
