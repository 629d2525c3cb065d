#pragma once
// The file layer under the file units: one open file, read or written through a
// large buffer over a file descriptor. Byte-stream inputs read n bytes in one call
// and skip what they only count; text inputs read whole lines of any length.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace zorvel::util {

enum class FileKind { text_in, bytes_in, text_out, bytes_out };

// What identifies a file whatever its name is spelled: device and inode.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

// The name as the operating system takes it: every "\" becomes "/".
std::string os_name(std::string_view name);
// True when a regular file (or anything openable for reading) exists under the name.
bool file_exists(std::string_view name);
// The identity of the file under the name; false when there is none.
bool file_id(std::string_view name, FileId& id);

class File {
public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

    // Opens the file; nullptr when it cannot be opened (errno tells why).
    // Outputs are created or replaced.
    static std::unique_ptr<File> open(std::string_view name, FileKind kind);

    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    FileKind kind() const { return kind_; }
    bool is_output() const { return kind_ == FileKind::text_out || kind_ == FileKind::bytes_out; }
    const std::string& name() const { return name_; }
    FileId id() const { return id_; }

    // Input: reads exactly n bytes into dst; false when fewer remain (then the
    // bytes that were there are consumed and the rest of dst is unspecified).
    bool read(void* dst, std::size_t n);
    // Input: moves n bytes on; false when fewer remain (then it stops at the end).
    bool skip(std::uint64_t n);
    // Input: the next line without its line end ("\n" or "\r\n"); false at end of file.
    bool read_line(std::string& line);
    bool at_end();
    std::uint64_t position() const { return file_pos_ - (fill_ - next_); }
    std::uint64_t size() const { return size_; }

    // Output: appends bytes; a failed write sets failed() and later writes are dropped.
    void write(const void* src, std::size_t n);
    void write(std::string_view text) { write(text.data(), text.size()); }
    void put(char c) {
        if (next_ == buffer_.size()) flush_buffer();
        buffer_[next_++] = c;
    }
    bool failed() const { return failed_; }

    // Flushes and closes; false when a write, the flush or the close failed.
    bool close();
    // Output: closes and removes the file (an output that must not be left behind).
    void discard();
    bool is_open() const { return fd_ >= 0; }

private:
    File(int fd, std::string name, FileKind kind);
    bool refill();
    void flush_buffer();

    int fd_;
    std::string name_;
    FileKind kind_;
    FileId id_;
    std::vector<char> buffer_;
    std::size_t next_ = 0;  // input: next byte to hand out; output: bytes waiting
    std::size_t fill_ = 0;  // input: bytes in the buffer
    std::uint64_t file_pos_ = 0;  // input: file offset just after the buffered bytes
    std::uint64_t size_ = 0;
    bool failed_ = false;
};

}  // namespace zorvel::util
