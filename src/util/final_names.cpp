// What an output's final name stands for (see final_names.hpp).

#include "util/final_names.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

#include "util/file_io.hpp"
#include "util/text.hpp"

namespace zorvel::util {

namespace {

// Links followed from a final name before it counts as a loop, as the kernel counts them.
constexpr int kMaxLinkHops = 40;

// The real folder of a name (every link in it followed, "." and ".." taken where the links
// lead), or an empty text with errno set when it cannot be reached.
std::string real_folder(const std::string& folder) {
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real == nullptr) return {};
    std::string out(real);
    std::free(real);
    return out;
}

// The name made absolute and folded lexically: the best reading of a name whose folder does
// not exist.
std::string lexical(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return (ec ? std::filesystem::path(path) : full).lexically_normal().string();
}

// True when the process may remove or replace others' files in a sticky folder.
bool may_override_sticky() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) return ::geteuid() == 0;
    return (data[CAP_TO_INDEX(CAP_FOWNER)].effective & CAP_TO_MASK(CAP_FOWNER)) != 0;
}

}  // namespace

// The name followed to the file it stands for, as the kernel follows it; its path is a lexical
// reading when a folder on the way cannot be reached.
OutputTarget output_target(std::string_view final_name) {
    OutputTarget t;
    std::string path = os_name(final_name);
    for (int hops = 0;; ++hops) {
        const std::size_t slash = path.rfind('/');
        const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::string folder =
            slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
        // A name ending in a separator, "." or ".." names a folder: never a file to write.
        if (leaf.empty() || leaf == "." || leaf == "..") {
            t.path = lexical(path);
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0)
                t.writable = false;
            else
                t.error = EISDIR;
            return t;
        }
        const std::string real = real_folder(folder);
        if (real.empty()) {
            t.error = errno;
            t.path = lexical(path);
            return t;
        }
        t.path = (real == "/" ? real : real + "/") + leaf;
        struct stat st {};
        if (::lstat(t.path.c_str(), &st) != 0) {
            if (errno != ENOENT) t.error = errno;  // ENOENT: nothing there, the file is made new
            return t;
        }
        if (S_ISREG(st.st_mode)) {
            t.exists = true;
            return t;
        }
        if (!S_ISLNK(st.st_mode) || hops == kMaxLinkHops) {
            t.writable = false;
            return t;
        }
        std::error_code ec;
        const std::filesystem::path to = std::filesystem::read_symlink(t.path, ec);
        if (ec || to.empty()) {
            t.writable = false;
            return t;
        }
        // A relative target is read from the real folder of the link.
        path = to.is_absolute() ? to.string() : real + "/" + to.string();
    }
}

int check_replaceable(const OutputTarget& target, Placing& how) {
    how = Placing::rename;
    if (target.error != 0) return target.error;
    if (!target.writable) return EINVAL;
    const std::size_t slash = target.path.rfind('/');
    const std::string folder = slash == 0 ? std::string("/") : target.path.substr(0, slash);
    const std::string leaf = target.path.substr(slash + 1);
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (target.path.size() >= PATH_MAX || leaf.size() > static_cast<std::size_t>(longest > 0 ? longest : NAME_MAX))
        return ENAMETOOLONG;
    if (!target.exists) return 0;

    struct statx sx {};
    if (::statx(AT_FDCWD, target.path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_UID, &sx) != 0) return errno;
    const auto has = [&](std::uint64_t attribute) {
        return (sx.stx_attributes_mask & attribute) != 0 && (sx.stx_attributes & attribute) != 0;
    };
    if (has(STATX_ATTR_IMMUTABLE) || has(STATX_ATTR_APPEND)) return EPERM;
    if (has(STATX_ATTR_MOUNT_ROOT)) return EBUSY;
    // A file the user may not write is kept, as an open for writing would have kept it.
    if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) return errno;
    // In a sticky folder only the owner of the file or of the folder may replace the file; another
    // user who may write it has the completed output written into it.
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) return errno;
    const uid_t me = ::geteuid();
    if ((dir.st_mode & S_ISVTX) != 0 && sx.stx_uid != me && dir.st_uid != me && !may_override_sticky())
        how = Placing::copy_into;
    return 0;
}

std::string normalised(std::string_view name) { return output_target(TRIMF(name)).path; }

}  // namespace zorvel::util
