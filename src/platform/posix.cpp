#include "platform/posix.h"

#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The program's full path, or an empty text when no absolute PATH folder holds it.
std::string find_on_path(const char* name) {
    const char* variable = std::getenv("PATH");
    const std::string folders = variable ? variable : "/usr/bin:/bin";
    for (size_t begin = 0; begin <= folders.size();) {
        size_t end = folders.find(':', begin);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(begin, end - begin);
        begin = end + 1;
        // Empty and relative entries mean the current folder, which may be anyone's.
        if (folder.empty() || folder[0] != '/') continue;
        const std::string candidate = folder + '/' + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::string();
}

}  // namespace

int posix_run_program(const char* const argv[]) {
    if (!argv || !argv[0] || !argv[0][0] || std::strchr(argv[0], '/')) return -1;
    const std::string program = find_on_path(argv[0]);
    pid_t child = 0;
    if (program.empty() ||
        posix_spawn(&child, program.c_str(), nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    // Like a shell: a program ended by a signal gives 128 and the signal's number.
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void posix_lower_thread_priority() {
#ifdef SYS_gettid
    // Linux gives every thread its own nice value; 10 more than the
    // process's (as `nice` stacks, at most 19) leaves the frame loop about
    // nine tenths of a core it has to share, however nice the process is.
    errno = 0;
    const int process = getpriority(PRIO_PROCESS, 0);
    if (process == -1 && errno != 0) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), process + 10 < 19 ? process + 10 : 19);
#endif
}

bool posix_path_exists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
}

int64_t posix_regular_file_size(const char* path) {
    struct stat info;
    if (!path || stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<int64_t>(info.st_size);
}

const char* const* posix_image_converters() {
    static const char* const names[] = {"magick", "convert", nullptr};
    return names;
}

FILE* plat_open_file(const char* path, const char* mode) { return path && *path ? std::fopen(path, mode) : nullptr; }
bool plat_set_current_folder(const char* path) { return path && *path && chdir(path) == 0; }
const char* plat_path_separators() { return "/"; }
void plat_print(const char* text, bool error) {
    std::fputs(text, error ? stderr : stdout);
    std::fflush(error ? stderr : stdout);
}
