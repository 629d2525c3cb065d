#include "util/file_io.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvel::util {

std::string os_name(std::string_view name) {
    std::string s(name);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

bool file_exists(std::string_view name) {
    struct stat st {};
    return ::stat(os_name(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool file_id(std::string_view name, FileId& id) {
    struct stat st {};
    if (::stat(os_name(name).c_str(), &st) != 0) return false;
    id = FileId{st.st_dev, st.st_ino};
    return true;
}

std::unique_ptr<File> File::open(std::string_view name, FileKind kind) {
    const std::string path = os_name(name);
    const bool output = kind == FileKind::text_out || kind == FileKind::bytes_out;
    int fd = output ? ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                    : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = e;
        return nullptr;
    }
    std::unique_ptr<File> f(new File(fd, std::string(name), kind));
    f->id_ = FileId{st.st_dev, st.st_ino};
    f->size_ = output ? 0 : static_cast<std::uint64_t>(st.st_size);
    if (!output) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return f;
}

File::File(int fd, std::string name, FileKind kind)
    : fd_(fd), name_(std::move(name)), kind_(kind), buffer_(kBufferSize) {}

File::~File() {
    if (fd_ >= 0) close();
}

bool File::refill() {
    if (next_ < fill_) std::memmove(buffer_.data(), buffer_.data() + next_, fill_ - next_);
    fill_ -= next_;
    next_ = 0;
    while (fill_ < buffer_.size()) {
        ssize_t got = ::read(fd_, buffer_.data() + fill_, buffer_.size() - fill_);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) failed_ = true;
            break;
        }
        fill_ += static_cast<std::size_t>(got);
        file_pos_ += static_cast<std::uint64_t>(got);
        if (fill_ > 0) break;
    }
    return fill_ > next_;
}

bool File::read(void* dst, std::size_t n) {
    char* out = static_cast<char*>(dst);
    std::size_t have = fill_ - next_;
    if (have >= n) {
        std::memcpy(out, buffer_.data() + next_, n);
        next_ += n;
        return true;
    }
    std::memcpy(out, buffer_.data() + next_, have);
    next_ = fill_ = 0;
    out += have;
    n -= have;
    // Large requests go straight into the caller's memory.
    while (n >= buffer_.size()) {
        ssize_t got = ::read(fd_, out, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) failed_ = true;
            return false;
        }
        out += got;
        n -= static_cast<std::size_t>(got);
        file_pos_ += static_cast<std::uint64_t>(got);
    }
    while (n > 0) {
        if (!refill()) return false;
        std::size_t take = std::min(n, fill_ - next_);
        std::memcpy(out, buffer_.data() + next_, take);
        next_ += take;
        out += take;
        n -= take;
    }
    return true;
}

bool File::skip(std::uint64_t n) {
    std::uint64_t have = fill_ - next_;
    if (have >= n) {
        next_ += static_cast<std::size_t>(n);
        return true;
    }
    std::uint64_t target = position() + n;
    next_ = fill_ = 0;
    if (target > size_) {
        // Past the end: stop at the end, as a read there would.
        struct stat st {};
        if (::fstat(fd_, &st) == 0) size_ = static_cast<std::uint64_t>(st.st_size);
        if (target > size_) {
            file_pos_ = static_cast<std::uint64_t>(::lseek(fd_, 0, SEEK_END));
            return false;
        }
    }
    off_t at = ::lseek(fd_, static_cast<off_t>(target), SEEK_SET);
    if (at < 0) {
        failed_ = true;
        return false;
    }
    file_pos_ = static_cast<std::uint64_t>(at);
    return true;
}

bool File::at_end() { return next_ == fill_ && !refill(); }

bool File::read_line(std::string& line) {
    line.clear();
    for (;;) {
        if (next_ == fill_ && !refill()) return !line.empty();
        const char* begin = buffer_.data() + next_;
        const char* end = buffer_.data() + fill_;
        const char* nl = static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
        if (nl) {
            line.append(begin, nl);
            next_ += static_cast<std::size_t>(nl - begin) + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        line.append(begin, end);
        next_ = fill_;
    }
}

void File::flush_buffer() {
    const char* p = buffer_.data();
    std::size_t n = next_;
    next_ = 0;
    if (failed_) return;
    while (n > 0) {
        ssize_t put = ::write(fd_, p, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            failed_ = true;
            return;
        }
        p += put;
        n -= static_cast<std::size_t>(put);
    }
}

void File::write(const void* src, std::size_t n) {
    const char* in = static_cast<const char*>(src);
    if (next_ + n <= buffer_.size()) {
        std::memcpy(buffer_.data() + next_, in, n);
        next_ += n;
        return;
    }
    flush_buffer();
    if (n >= buffer_.size()) {
        while (n > 0 && !failed_) {
            ssize_t put = ::write(fd_, in, n);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                failed_ = true;
                return;
            }
            in += put;
            n -= static_cast<std::size_t>(put);
        }
        return;
    }
    std::memcpy(buffer_.data(), in, n);
    next_ = n;
}

bool File::close() {
    if (fd_ < 0) return !failed_;
    if (is_output()) flush_buffer();
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    return !failed_;
}

void File::discard() {
    if (fd_ >= 0) {
        next_ = 0;
        ::close(fd_);
        fd_ = -1;
    }
    if (is_output()) ::unlink(os_name(name_).c_str());
}

}  // namespace zorvel::util
