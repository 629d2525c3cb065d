#include "util/file_io.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "util/begun_outputs.hpp"
#include "util/console.hpp"
#include "util/memory_cap.hpp"
#include "util/run_files.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::util {

namespace {

// The Files that a fault handler must know of: the outputs (to take back what the run
// wrote).
constexpr int kWatchSlots = 256;
std::atomic<File*> g_watched[kWatchSlots];

}  // namespace

void say_at_fault(const char* text, std::size_t n) {
    flush_console_at_fault();
    while (n > 0) {
        const ssize_t put = ::write(STDOUT_FILENO, text, n);
        if (put <= 0) return;
        text += put;
        n -= static_cast<std::size_t>(put);
    }
}

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
    std::string path = os_name(name);
    const bool output = kind == FileKind::text_out || kind == FileKind::bytes_out;
    int fd = -1;
    bool created = false;
    int begun = -1;
    if (!output) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } else if (existing == Existing::replace) {
        // A replaced output is written to a temporary file of its own, moved onto the name
        // when the run has completed its outputs.
        std::string temp;
        begun = begin_output(name, true, temp, &fd);
        if (begun < 0) return nullptr;
        path = temp;
        created = true;
    } else {
        const int access = (read_write ? O_RDWR : O_WRONLY) | O_CLOEXEC |
                           (existing == Existing::append ? O_APPEND : 0);
        // Kept files are written in place; whether this open made the file decides what an
        // error end removes. A made file is entered at once, before a stop signal can end the
        // run without knowing of it.
        std::optional<HoldStopSignals> hold;
        if (existing != Existing::require) {
            hold.emplace();
            fd = ::open(path.c_str(), access | O_CREAT | O_EXCL, 0666);
            created = fd >= 0;
            if (created) begun = enter_begun_output(name);
            hold.reset();
        }
        if (fd < 0 && (existing == Existing::require || errno == EEXIST))
            fd = ::open(path.c_str(), access | O_NONBLOCK);
    }
    if (fd < 0) {
        remove_begun_output(begun);
        return nullptr;
    }
    struct stat st {};
    const bool stated = ::fstat(fd, &st) == 0;
    // Nothing but a regular file is written (a kept output may have found something else).
    if (!stated || S_ISDIR(st.st_mode) || (output && !S_ISREG(st.st_mode))) {
        const int e = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        remove_begun_output(begun);
        errno = e;
        return nullptr;
    }
    // A regular byte-stream input reads its records straight into the reader's memory; its
    // buffer serves only small reads (a header, the cards), so a small one is enough.
    const bool binary = kind == FileKind::bytes_in && S_ISREG(st.st_mode);
    std::unique_ptr<File> f(new File(fd, std::string(name), kind, binary ? kBinaryBufferSize : kBufferSize));
    f->id_ = FileId{st.st_dev, st.st_ino};
    f->created_ = created;
    f->begun_entry_ = begun;
    f->readable_ = !output || read_write;
    f->writable_ = output;
    f->size_ = output && !read_write ? 0 : static_cast<std::uint64_t>(st.st_size);
    if (output && !read_write) {
        f->writing_ = true;
        f->out_limit_ = f->buffer_size_;
    }
    if (existing == Existing::append && output) {
        f->file_pos_ = static_cast<std::uint64_t>(st.st_size);
        if (!created) f->append_origin_ = static_cast<std::int64_t>(st.st_size);
    }
    if (!output) {
        // The run's memory cap makes room for what the input holds before it is read, and a
        // file read, whatever name led to it (a typed one too), is never one of its outputs.
        count_read_file(f->id_, f->size_);
        note_read(f->id_);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        f->regular_input_ = S_ISREG(st.st_mode);
    } else {
        f->os_path_ = path;
        f->watch();
    }
    return f;
}

// The buffer is not cleared: its pages cost memory only once they are used. Its slack past
// the end lets a line of next_line be read past its end.
File::File(int fd, std::string name, FileKind kind, std::size_t buffer)
    : fd_(fd), name_(std::move(name)), kind_(kind), buffer_(new char[buffer + kLineSlack]), buffer_size_(buffer) {}

File::~File() {
    if (fd_ >= 0) close();
    unwatch();
}

// Read-write files: turns the buffer over to reading, writing out what waits in it.
bool File::to_reading() {
    if (!readable_) return false;
    flush_buffer();
    writing_ = false;
    out_limit_ = 0;
    next_ = fill_ = 0;
    return true;
}

// Read-write files: turns the buffer over to writing, from where reading stopped.
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
    out_limit_ = buffer_size_;
    return true;
}

// Reads on into the buffer, keeping the bytes not yet handed out; false at the end.
bool File::refill() {
    if (writing_ && !to_reading()) return false;
    if (next_ < fill_) std::memmove(buffer_.get(), buffer_.get() + next_, fill_ - next_);
    fill_ -= next_;
    next_ = 0;
    while (fill_ < buffer_size_) {
        ssize_t got = ::read(fd_, buffer_.get() + fill_, buffer_size_ - fill_);
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
        std::memcpy(out, buffer_.get() + next_, n);
        next_ += n;
        return true;
    }
    if (writing_ && !to_reading()) return false;
    std::memcpy(out, buffer_.get() + next_, have);
    next_ = fill_ = 0;
    out += have;
    n -= have;
    // Large requests go straight into the caller's memory.
    while (n >= buffer_size_) {
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
        std::memcpy(out, buffer_.get() + next_, take);
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
    // The size is taken afresh, as another program may have cut the file short since.
    struct stat st {};
    if (::fstat(fd_, &st) == 0) size_ = static_cast<std::uint64_t>(st.st_size);
    if (target > size_) {
        // Past the end: stop at the end, as a read there would.
        file_pos_ = static_cast<std::uint64_t>(::lseek(fd_, 0, SEEK_END));
        return false;
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
    lines_read_ = 0;
    struct stat st {};
    if (::fstat(fd_, &st) == 0) size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool File::at_end() {
    return next_ == fill_ && !refill();
}

const std::byte* File::view(std::size_t n) {
    if (fill_ - next_ >= n) {
        const std::byte* p = reinterpret_cast<const std::byte*>(buffer_.get() + next_);
        next_ += n;
        return p;
    }
    if (view_buffer_.size() < n) {
        view_buffer_.clear();
        view_buffer_.shrink_to_fit();
        view_buffer_.resize(n);
    }
    return read(view_buffer_.data(), n) ? view_buffer_.data() : nullptr;
}

bool File::read_at(std::uint64_t at, void* dst, std::size_t n) {
    if (!regular_input_ || fd_ < 0) return false;
    char* out = static_cast<char*>(dst);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) failed_ = true;
            return false;
        }
        out += got;
        at += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// Enters the File in the table the fault handlers read (left out when it is full).
void File::watch() {
    if (watch_slot_ >= 0) return;
    for (int i = 0; i < kWatchSlots; ++i) {
        File* none = nullptr;
        if (g_watched[i].compare_exchange_strong(none, this)) {
            watch_slot_ = i;
            return;
        }
    }
}

// Takes the File out of that table.
void File::unwatch() {
    if (watch_slot_ < 0) return;
    g_watched[watch_slot_].store(nullptr);
    watch_slot_ = -1;
}

void File::discard_at_fault() {
    for (std::atomic<File*>& slot : g_watched) {
        const File* f = slot.load();
        if (f == nullptr || !f->is_output() || f->fd_ < 0) continue;
        if (f->append_origin_ >= 0 && ::ftruncate(f->fd_, static_cast<off_t>(f->append_origin_)) != 0) continue;
        if (f->created_) ::unlink(f->os_path_.c_str());
    }
}

void discard_outputs_at_fault() {
    File::discard_at_fault();
    remove_begun_outputs_at_fault();
}

bool File::read_line(std::string& line) {
    line.clear();
    for (;;) {
        if (next_ == fill_ && !refill()) {
            if (line.empty()) return false;
            ++lines_read_;
            return true;
        }
        const char* begin = buffer_.get() + next_;
        const char* end = buffer_.get() + fill_;
        const char* nl = static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
        const std::size_t take = static_cast<std::size_t>((nl ? nl : end) - begin);
        // One byte over the bound may still be the "\r" of a "\r\n" line end.
        if (line.size() + take > kMaxLine + 1) line_too_long();
        line.append(begin, take);
        next_ += take;
        if (nl) {
            ++next_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > kMaxLine) line_too_long();
            ++lines_read_;
            return true;
        }
    }
}

bool File::next_line(std::string_view& line) {
    // A line that lies whole in the buffer is handed out in place, with the bounds of read_line.
    if (next_ < fill_) {
        const char* begin = buffer_.get() + next_;
        const char* nl = static_cast<const char*>(std::memchr(begin, '\n', fill_ - next_));
        if (nl != nullptr) {
            std::size_t length = static_cast<std::size_t>(nl - begin);
            if (length > kMaxLine + 1) line_too_long();
            next_ += length + 1;
            if (length > 0 && begin[length - 1] == '\r') --length;
            if (length > kMaxLine) line_too_long();
            ++lines_read_;
            line = std::string_view(begin, length);
            return true;
        }
    }
    // Otherwise the line is put together where it can grow, followed by a line end and the slack.
    if (!read_line(line_store_)) return false;
    const std::size_t length = line_store_.size();
    line_store_.push_back('\n');
    line_store_.append(kLineSlack, '\0');
    line = std::string_view(line_store_.data(), length);
    return true;
}

// Ends the run on a line longer than kMaxLine, naming the file and the line.
void File::line_too_long() const {
    fail("ERROR - Line too long in file: \"" + trimmed(name_) + "\", line " + std::to_string(lines_read_ + 1));
}

// Writes out the bytes waiting in the buffer; a failed write sets failed().
void File::flush_buffer() {
    const char* p = buffer_.get();
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

// put() when the buffer is full or not yet writing.
void File::put_slow(char c) {
    if (writing_)
        flush_buffer();
    else if (!to_writing())
        return;
    buffer_[out_++] = c;
}

void File::write(const void* src, std::size_t n) {
    const char* in = static_cast<const char*>(src);
    // A write of a quarter of the buffer or more goes to the file from where it is, after
    // what the buffer holds: it would gain nothing from the copy.
    const std::size_t direct = buffer_size_ / 4;
    if (out_ + n <= out_limit_ && n < direct) {
        std::memcpy(buffer_.get() + out_, in, n);
        out_ += n;
        return;
    }
    if (!writing_ && !to_writing()) return;
    if (out_ + n <= buffer_size_ && n < direct) {
        std::memcpy(buffer_.get() + out_, in, n);
        out_ += n;
        return;
    }
    flush_buffer();
    if (n >= direct) {
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
    std::memcpy(buffer_.get(), in, n);
    out_ = n;
}

bool File::close() {
    if (fd_ < 0) return !failed_;
    if (out_ > 0) flush_buffer();
    unwatch();
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    // A whole output goes onto its name (at once, or with the run's other outputs at its end).
    if (!failed_ && is_output() && created_ && begun_entry_ >= 0 && !complete_begun_output(begun_entry_))
        failed_ = true;
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
    unwatch();
    if (is_output() && created_) {
        if (begun_entry_ >= 0)
            remove_begun_output(begun_entry_);
        else
            ::unlink(os_path_.c_str());
    }
    begun_entry_ = -1;
    created_ = false;  // removed once: a later file under the name is not this run's
}

}  // namespace zorvel::util
