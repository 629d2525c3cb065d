#pragma once
// The file layer under the file units: one open file, read or written through a
// large buffer over a file descriptor. Byte-stream inputs read n bytes in one call
// and skip what they only count; text inputs read whole lines up to kMaxLine bytes. A
// large read goes from the file straight into the caller's memory, and a regular file can
// be read at any offset without moving on (read_at), so that a reader copies each byte
// out of the page cache once, into memory it reuses.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace zorvel::util {

enum class FileKind { text_in, bytes_in, text_out, bytes_out };

// How an output open treats a file already under the name.
enum class Existing {
    replace,  // emptied; created when missing
    append,   // kept and written at its end; created when missing
    keep,     // kept and written from its start; created when missing
    require,  // kept and written from its start; the open fails when it is missing
};

// The byte order a reader or writer of the file converts numbers to or from.
enum class ByteOrder { native, big, little };

// How the numbers and records of a file are laid out. The file layer only records
// it (from the mode code the file was opened with); a reader or writer honours it.
struct Layout {
    ByteOrder order = ByteOrder::native;
    bool records = false;   // unformatted records with length markers
    int record_length = 0;  // direct access: the length of one record; 0 when sequential
};

// What identifies a file whatever its name is spelled: device and inode.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

// The name as the operating system takes it: every "\" becomes "/".
std::string os_name(std::string_view name);

// For a signal handler's last words: writes n bytes of text to the console's descriptor,
// after what the console holds and has not written, with async-signal-safe calls only.
void say_at_fault(const char* text, std::size_t n);
// The same for a text literal.
template <std::size_t N>
void say_at_fault(const char (&text)[N]) {
    say_at_fault(text, N - 1);
}
// For a process that ends in a signal handler: takes back every output of the run as
// File::discard() does (outputs of the file layer, and every begun output of
// begun_outputs.hpp), with async-signal-safe calls only.
void discard_outputs_at_fault();
// True when a regular file (or anything openable for reading) exists under the name.
bool file_exists(std::string_view name);
// The identity of the file under the name; false when there is none.
bool file_id(std::string_view name, FileId& id);

class File {
public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    // The buffer of a regular byte-stream input, whose large reads go straight into the
    // reader's memory: it serves only headers, cards and the like.
    static constexpr std::size_t kBinaryBufferSize = std::size_t{64} << 10;
    // The longest text line read; a longer one ends the run, so that a file without
    // line ends (or a device that never ends) cannot take the memory.
    static constexpr std::size_t kMaxLine = std::size_t{1} << 20;
    // The bytes that may be read past the end of a line of next_line (see there).
    static constexpr std::size_t kLineSlack = 128;

    // Opens the file; nullptr when it cannot be opened (errno tells why). Outputs are written
    // to a temporary file of their own, moved onto the name when the run has completed its
    // outputs (see begun_outputs.hpp); name() stays the name given.
    static std::unique_ptr<File> open(std::string_view name, FileKind kind);
    // Opens an output treating an existing file as given; read_write also lets it be
    // read (reads and writes share one position). Inputs ignore both settings.
    static std::unique_ptr<File> open(std::string_view name, FileKind kind, Existing existing,
                                      bool read_write);

    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    FileKind kind() const { return kind_; }
    bool is_output() const { return kind_ == FileKind::text_out || kind_ == FileKind::bytes_out; }
    const std::string& name() const { return name_; }
    FileId id() const { return id_; }
    // True when this open made the file it writes, so removing it loses nothing.
    bool created() const { return created_; }
    const Layout& layout() const { return layout_; }
    void set_layout(const Layout& layout) { layout_ = layout; }

    // Input: reads exactly n bytes into dst; false when fewer remain (then the
    // bytes that were there are consumed and the rest of dst is unspecified).
    bool read(void* dst, std::size_t n);
    // Input: the next n bytes of the file, valid until the next call on the File; moves
    // on as read(n) does. nullptr when fewer than n bytes remain (the position is then at
    // the end). They lie in the read buffer or in a buffer that the File keeps for views
    // (std::bad_alloc when it cannot grow).
    const std::byte* view(std::size_t n);
    // Input: reads exactly the n bytes from offset at of a regular file into dst without
    // moving the position; false when the file does not hold them (it is shorter now, or
    // no regular file).
    bool read_at(std::uint64_t at, void* dst, std::size_t n);
    // Input: moves n bytes on; false when fewer remain (then it stops at the end). A
    // regular file reads nothing to skip.
    bool skip(std::uint64_t n);
    // Input: the next line without its line end ("\n" or "\r\n"); false at end of file.
    // A line longer than kMaxLine ends the run with "ERROR - Line too long in file: ".
    bool read_line(std::string& line);
    // Input: read_line without a copy: the next line in place, valid until the next call
    // on the File. The line is followed by a "\r" or "\n" and then at least kLineSlack more
    // bytes that may be read (of no meaning), so that a parser may look past a field in
    // whole words and stop at the line end without counting.
    bool next_line(std::string_view& line);
    // Input: the number of lines that read_line has handed out since the open or rewind.
    std::uint64_t lines_read() const { return lines_read_; }
    // Input: true when no byte is left to read.
    bool at_end();
    // Input: goes back to the first byte, so the file can be read again from its start;
    // false when the file cannot be repositioned.
    bool rewind();
    std::uint64_t position() const { return file_pos_ + out_ - (fill_ - next_); }
    std::uint64_t size() const { return size_; }

    // Output: appends bytes; a failed write sets failed() and later writes are dropped.
    void write(const void* src, std::size_t n);
    void write(std::string_view text) { write(text.data(), text.size()); }
    void put(char c) {
        if (out_ >= out_limit_)
            put_slow(c);
        else
            buffer_[out_++] = c;
    }
    bool failed() const { return failed_; }

    // Flushes and closes; false when a write, the flush or the close failed.
    bool close();
    // Output: closes the file and takes back what this run wrote into it (an output
    // that must not be left behind): a created file is removed, an appended one cut
    // back to its old length; a file kept from before is closed as it is.
    void discard();
    bool is_open() const { return fd_ >= 0; }
    // Every output of the file layer taken back from a signal handler (see
    // discard_outputs_at_fault); async-signal-safe.
    static void discard_at_fault();

private:
    File(int fd, std::string name, FileKind kind, std::size_t buffer);
    bool refill();
    void flush_buffer();
    void put_slow(char c);
    bool to_reading();
    bool to_writing();
    void watch();
    void unwatch();
    [[noreturn]] void line_too_long() const;

    int fd_;
    std::string name_;
    FileKind kind_;
    FileId id_;
    std::unique_ptr<char[]> buffer_;
    std::size_t buffer_size_;
    std::size_t next_ = 0;  // reading: next byte to hand out
    std::size_t fill_ = 0;  // reading: bytes in the buffer
    std::size_t out_ = 0;   // writing: bytes waiting in the buffer
    std::size_t out_limit_ = 0;  // the buffer size while writing, else 0
    std::uint64_t file_pos_ = 0;  // the descriptor's offset (after buffered input, before waiting output)
    std::uint64_t size_ = 0;
    std::uint64_t lines_read_ = 0;
    bool failed_ = false;
    bool readable_ = false;
    bool writable_ = false;
    bool writing_ = false;  // the buffer holds output (always for outputs, by turns for read-write)
    bool created_ = false;
    std::int64_t append_origin_ = -1;  // append to an existing file: its length at the open
    Layout layout_;
    std::string os_path_;  // outputs: the name as the operating system takes it

    bool regular_input_ = false;  // a regular file open for input only: read_at reads it
    std::vector<std::byte> view_buffer_;  // views longer than the read buffer holds
    std::string line_store_;              // a line of next_line that did not lie whole in the buffer
    int watch_slot_ = -1;  // an output's entry in the table the fault handlers read
    int begun_entry_ = -1;  // a created output's entry among the run's begun outputs
};

}  // namespace zorvel::util
