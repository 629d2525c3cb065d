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
    return open(name, kind, Existing::replace, false);
}

std::unique_ptr<File> File::open(std::string_view name, FileKind kind, Existing existing,
                                 bool read_write) {
    const std::string path = os_name(name);
    const bool output = kind == FileKind::text_out || kind == FileKind::bytes_out;
    int fd = -1;
    bool created = false;
    if (!output) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } else {
        const int access = (read_write ? O_RDWR : O_WRONLY) | O_CLOEXEC |
                           (existing == Existing::append ? O_APPEND : 0);
        if (existing == Existing::replace) {
            fd = ::open(path.c_str(), access | O_CREAT | O_TRUNC, 0666);
            created = true;
        } else {
            // Kept files: whether this open made the file decides what an error end removes.
            if (existing != Existing::require) {
                fd = ::open(path.c_str(), access | O_CREAT | O_EXCL, 0666);
                created = fd >= 0;
            }
            if (fd < 0 && (existing == Existing::require || errno == EEXIST))
                fd = ::open(path.c_str(), access);
        }
    }
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
    f->created_ = created;
    f->readable_ = !output || read_write;
    f->writable_ = output;
    f->size_ = output && !read_write ? 0 : static_cast<std::uint64_t>(st.st_size);
    if (output && !read_write) {
        f->writing_ = true;
        f->out_limit_ = f->buffer_.size();
    }
    if (existing == Existing::append && output) {
        f->file_pos_ = static_cast<std::uint64_t>(st.st_size);
        if (!created) f->append_origin_ = static_cast<std::int64_t>(st.st_size);
    }
    if (!output) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return f;
}

File::File(int fd, std::string name, FileKind kind)
    : fd_(fd), name_(std::move(name)), kind_(kind), buffer_(kBufferSize) {}

File::~File() {
    if (fd_ >= 0) close();
}

bool File::to_reading() {
    if (!readable_) return false;
    flush_buffer();
    writing_ = false;
    out_limit_ = 0;
    next_ = fill_ = 0;
    return true;
}

bool File::to_writing() {
    if (!writable_) {
        failed_ = true;
        return false;
    }
    if (next_ != fill_) {
        // Input read ahead of the position: the next write goes where reading stopped.
        const std::uint64_t at = position();
        if (::lseek(fd_, static_cast<off_t>(at), SEEK_SET) < 0) {
            failed_ = true;
            return false;
        }
        file_pos_ = at;
    }
    next_ = fill_ = 0;
    writing_ = true;
    out_limit_ = buffer_.size();
    return true;
}

bool File::refill() {
    if (writing_ && !to_reading()) return false;
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
    if (writing_ && !to_reading()) return false;
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
    if (writing_ && !to_reading()) return false;
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

bool File::rewind() {
    if (is_output() || fd_ < 0) return false;
    next_ = fill_ = 0;
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        failed_ = true;
        return false;
    }
    file_pos_ = 0;
    struct stat st {};
    if (::fstat(fd_, &st) == 0) size_ = static_cast<std::uint64_t>(st.st_size);
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
    std::size_t n = out_;
    out_ = 0;
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
        file_pos_ += static_cast<std::uint64_t>(put);
    }
    if (file_pos_ > size_ && readable_) size_ = file_pos_;
}

void File::put_slow(char c) {
    if (writing_)
        flush_buffer();
    else if (!to_writing())
        return;
    buffer_[out_++] = c;
}

void File::write(const void* src, std::size_t n) {
    const char* in = static_cast<const char*>(src);
    if (out_ + n <= out_limit_) {
        std::memcpy(buffer_.data() + out_, in, n);
        out_ += n;
        return;
    }
    if (!writing_ && !to_writing()) return;
    if (out_ + n <= buffer_.size()) {
        std::memcpy(buffer_.data() + out_, in, n);
        out_ += n;
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
            file_pos_ += static_cast<std::uint64_t>(put);
        }
        if (file_pos_ > size_ && readable_) size_ = file_pos_;
        return;
    }
    std::memcpy(buffer_.data(), in, n);
    out_ = n;
}

bool File::close() {
    if (fd_ < 0) return !failed_;
    if (out_ > 0) flush_buffer();
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    return !failed_;
}

void File::discard() {
    out_ = 0;
    if (fd_ >= 0) {
        if (append_origin_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(append_origin_)) != 0)
            failed_ = true;
        append_origin_ = -1;
        ::close(fd_);
        fd_ = -1;
    }
    if (is_output() && created_) ::unlink(os_name(name_).c_str());
    created_ = false;  // removed once: a later file under the name is not this run's
}

}  // namespace zorvel::util
