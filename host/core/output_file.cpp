#include "host/core/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/core/host_error.h"

namespace {

constexpr std::size_t kBufferBytes = 1 << 16;

std::string SystemMessage(int error) { return std::strerror(error); }

// mkstemp makes files readable by their owner only; a written animation gets
// the permissions any new file of the user would have.
void GiveUsualPermissions(int fd) {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void MemorySink::Write(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), p, p + size);
}

OutputFile::OutputFile(int fd, std::string workPath, std::string target)
    : fd_(fd), workPath_(std::move(workPath)), target_(std::move(target)) {
    buffer_.reserve(kBufferBytes);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      workPath_(std::move(other.workPath_)),
      target_(std::move(other.target_)),
      buffer_(std::move(other.buffer_)),
      committed_(std::exchange(other.committed_, true)) {}

OutputFile::~OutputFile() { Discard(); }

OutputFile OutputFile::Replacing(const std::string& target) {
    if (target.empty()) throw HostError("No output file was named.");
    // Found now, before the whole animation is made, rather than at the rename.
    struct stat existing;
    if (::stat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        throw HostError("Cannot save " + target + ": a folder has that name.");
    std::string pattern = target + ".XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) {
        int error = errno;
        throw HostError("Cannot create a file in " + FolderOf(target) + ": " + SystemMessage(error));
    }
    GiveUsualPermissions(fd);
    return OutputFile(fd, pattern, target);
}

OutputFile OutputFile::Temporary(const std::string& prefix, const std::string& suffix) {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = (folder && *folder ? std::string(folder) : std::string("/tmp")) + "/" + prefix +
                          "XXXXXX" + suffix;
    int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        int error = errno;
        throw HostError("Cannot create a temporary file " + pattern + ": " + SystemMessage(error));
    }
    GiveUsualPermissions(fd);
    // The work file already carries the final name; Commit only closes it.
    return OutputFile(fd, pattern, pattern);
}

void OutputFile::WriteThrough(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd_, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            throw HostError("Cannot write " + target_ + ": " + SystemMessage(error));
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
}

void OutputFile::Write(const void* bytes, std::size_t size) {
    if (fd_ < 0) throw HostError("Cannot write " + target_ + ": the file is already closed");
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    if (buffer_.size() + size > kBufferBytes) {
        WriteThrough(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    if (size >= kBufferBytes)
        WriteThrough(p, size);
    else
        buffer_.insert(buffer_.end(), p, p + size);
}

void OutputFile::Commit() {
    if (committed_) return;
    if (fd_ < 0) throw HostError("Cannot write " + target_ + ": the file is already closed");
    WriteThrough(buffer_.data(), buffer_.size());
    buffer_.clear();
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) {
        int error = errno;
        throw HostError("Cannot write " + target_ + ": " + SystemMessage(error));
    }
    if (workPath_ != target_ && std::rename(workPath_.c_str(), target_.c_str()) != 0) {
        int error = errno;
        throw HostError("Cannot save " + target_ + ": " + SystemMessage(error));
    }
    committed_ = true;
}

void OutputFile::Discard() noexcept {
    if (committed_) return;
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!workPath_.empty()) ::unlink(workPath_.c_str());
    committed_ = true;
}
