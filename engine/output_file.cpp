#include "engine/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>

namespace tarnell {
namespace {

// A descriptor that closes itself.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The temporary files being written, for a signal handler to remove. A handler may only touch
// lock-free atomics and memory that stays put, so the paths live in fixed slots: a slot is free,
// being filled (the handler leaves it alone), or holds a path a writer may still leave behind.
// One slot per writing thread is needed; a writer that finds none writes without the guard.
constexpr int PartSlots = 64;
constexpr std::size_t PartPathLength = 4096;
enum SlotState : int { Free, Filling, Held };
std::atomic<int> partState[PartSlots];
char partPath[PartSlots][PartPathLength];
static_assert(std::atomic<int>::is_always_lock_free);
// Set by the handler: no writer starts a file any more, and one that just made its file removes
// it again.
std::atomic<bool> stopping{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void unlinkHeldParts() {
    for (int i = 0; i < PartSlots; ++i) {
        if (partState[i].load() == Held) ::unlink(partPath[i]);
    }
}

extern "C" void removePartFilesAndDie(int signal) {
    stopping.store(true);
    unlinkHeldParts();
    // The other threads run on while this one handles the signal: a file whose creation was
    // under way when the slots were read appears only now. It is held already, so a second pass
    // after a moment removes it too.
    const timespec moment{0, 50'000'000};
    ::nanosleep(&moment, nullptr);
    unlinkHeldParts();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Holds `path` in a slot while the temporary file may exist under that name.
class PartGuard {
public:
    explicit PartGuard(const std::filesystem::path& path) {
        const std::string& text = path.native();
        if (text.size() >= PartPathLength) return;
        for (int i = 0; i < PartSlots; ++i) {
            int expected = Free;
            if (partState[i].compare_exchange_strong(expected, Filling)) {
                std::memcpy(partPath[i], text.c_str(), text.size() + 1);
                partState[i].store(Held);
                slot_ = i;
                return;
            }
        }
    }
    ~PartGuard() {
        if (slot_ >= 0) partState[slot_].store(Free);
    }
    PartGuard(const PartGuard&) = delete;
    PartGuard& operator=(const PartGuard&) = delete;

private:
    int slot_ = -1;
};

}  // namespace

void removePartFilesOnSignals() {
    // A signal the caller ignores (nohup) stays ignored.
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = removePartFilesAndDie;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const std::filesystem::path left = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const std::filesystem::path right = std::filesystem::weakly_canonical(b, error);
    return !error && left == right;
}

bool replaceFile(const std::filesystem::path& path, const std::string& text) {
    // A name of its own beside the target; created exclusively, so that no file or link standing
    // under that name is ever written through. The mode 0666 lets the umask decide, as for any
    // file the program creates.
    if (stopping.load()) return false;
    std::random_device random;
    std::filesystem::path temporary;
    int fd = -1;
    std::optional<PartGuard> guard;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()));
        temporary = path;
        temporary += suffix;
        // Held before the file exists, so that no moment leaves it unguarded.
        guard.emplace(temporary);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    FileDescriptor file(fd);
    if (stopping.load()) {
        ::unlink(temporary.c_str());
        return false;
    }
    // A full disk shows at a write or at the close; no fsync, which would cost a batch more than
    // its calculations, and a power cut is not what this guards against.
    const bool written = writeAll(file.get(), text) && file.close();
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace tarnell
