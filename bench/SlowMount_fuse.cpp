// SlowMount.h with libfuse3's path-based interface: a passthrough that
// sleeps on every request. Attributes are never cached by the kernel (every
// stat reaches the server, as a share's client asks its server), entries for
// libfuse's default second.

#define FUSE_USE_VERSION 31
#include "SlowMount.h"

#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace {

class FuseMount : public SlowMount {
public:
    FuseMount(std::string source, int delayMicros) : source_(std::move(source)), delay_(delayMicros) {}

    ~FuseMount() override
    {
        if (fuse_) {
            fuse_exit(fuse_);
            fuse_unmount(fuse_);
        }
        if (loop_.joinable())
            loop_.join();
        if (fuse_)
            fuse_destroy(fuse_);
    }

    bool start(const std::string& mountPoint, std::string& why)
    {
        static fuse_operations ops = operations();
        char name[] = "readfile_bench";
        char* argv[] = {name, nullptr};
        fuse_args args = FUSE_ARGS_INIT(1, argv);
        fuse_ = fuse_new(&args, &ops, sizeof ops, this);
        if (!fuse_) {
            why = "fuse_new failed";
            return false;
        }
        if (fuse_mount(fuse_, mountPoint.c_str()) != 0) {
            why = "cannot mount at " + mountPoint + " (is /dev/fuse there, and are we root?)";
            fuse_destroy(fuse_);
            fuse_ = nullptr;
            return false;
        }
        loop_ = std::thread([this] { fuse_loop_mt(fuse_, 0); });
        return true;
    }

    RequestCounts countsOf(pid_t tid) const override
    {
        const std::lock_guard<std::mutex> hold(lock_);
        const auto found = counts_.find(tid);
        return found == counts_.end() ? RequestCounts() : found->second;
    }

    void reset() override
    {
        const std::lock_guard<std::mutex> hold(lock_);
        counts_.clear();
    }

private:
    static FuseMount& self() { return *static_cast<FuseMount*>(fuse_get_context()->private_data); }

    // Waits the delay and counts the request in `field` for its thread.
    static FuseMount& request(long RequestCounts::*field)
    {
        FuseMount& mount = self();
        {
            const std::lock_guard<std::mutex> hold(mount.lock_);
            ++(mount.counts_[fuse_get_context()->pid].*field);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(mount.delay_));
        return mount;
    }

    std::string real(const char* path) const { return source_ + path; }

    static fuse_operations operations()
    {
        fuse_operations ops{};
        ops.init = [](fuse_conn_info*, fuse_config* config) -> void* {
            config->attr_timeout = 0;
            config->negative_timeout = 0;
            config->entry_timeout = 1;
            return fuse_get_context()->private_data;
        };
        ops.getattr = [](const char* path, struct stat* info, fuse_file_info*) {
            FuseMount& mount = request(&RequestCounts::statuses);
            return ::stat(mount.real(path).c_str(), info) == 0 ? 0 : -errno;
        };
        ops.opendir = [](const char*, fuse_file_info*) {
            request(&RequestCounts::listings);
            return 0;
        };
        ops.readdir = [](const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                         fuse_readdir_flags) {
            FuseMount& mount = request(&RequestCounts::listings);
            DIR* dir = ::opendir(mount.real(path).c_str());
            if (!dir)
                return -errno;
            while (const dirent* entry = ::readdir(dir)) {
                struct stat info {};
                info.st_ino = entry->d_ino;
                info.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
                fill(buffer, entry->d_name, &info, 0, static_cast<fuse_fill_dir_flags>(0));
            }
            ::closedir(dir);
            return 0;
        };
        ops.releasedir = [](const char*, fuse_file_info*) { return 0; };
        ops.open = [](const char* path, fuse_file_info* file) {
            FuseMount& mount = request(&RequestCounts::opens);
            const int fd = ::open(mount.real(path).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return -errno;
            file->fh = static_cast<std::uint64_t>(fd);
            return 0;
        };
        ops.read = [](const char*, char* into, size_t count, off_t offset, fuse_file_info* file) {
            request(&RequestCounts::reads);
            const ssize_t got = ::pread(static_cast<int>(file->fh), into, count, offset);
            return got < 0 ? -errno : static_cast<int>(got);
        };
        ops.release = [](const char*, fuse_file_info* file) {
            ::close(static_cast<int>(file->fh));
            return 0;
        };
        ops.statfs = [](const char* path, struct statvfs* info) {
            FuseMount& mount = request(&RequestCounts::other);
            return ::statvfs(mount.real(path).c_str(), info) == 0 ? 0 : -errno;
        };
        return ops;
    }

    std::string source_;
    int delay_;
    fuse* fuse_ = nullptr;
    std::thread loop_;
    mutable std::mutex lock_;
    std::map<pid_t, RequestCounts> counts_;
};

}  // namespace

std::unique_ptr<SlowMount> mountSlowly(const std::string& source, const std::string& mountPoint, int delayMicros,
                                       std::string& why)
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        why = "/dev/fuse cannot be opened (FUSE needs it, and root)";
        return nullptr;
    }
    auto mount = std::make_unique<FuseMount>(source, delayMicros);
    if (!mount->start(mountPoint, why))
        return nullptr;
    return mount;
}
