#pragma once
// What an output's final name stands for, read as the system reads it when it opens the name:
// the symbolic links in its folders and in the name itself are followed, a relative link target
// from the real folder of the link that holds it, a dangling link to where it points. And
// whether the run may put its completed file there: the checks made where an output is begun,
// so that nothing that could be known then fails only after the work.

#include <string>
#include <string_view>

namespace zorvel::util {

// The file an output's final name stands for.
struct OutputTarget {
    std::string path;     // its real folder and its own name, absolute
    bool exists = false;  // a regular file is there now
    bool writable = true; // false: something other than a regular file is there, or a link loop
    int error = 0;        // why the name leads nowhere (a missing folder, a name too long); else 0
};
// The target of an output's final name.
OutputTarget output_target(std::string_view final_name);

// How a completed output takes the place of the file under its name.
enum class Placing {
    rename,     // moved onto the name: the earlier file is let go
    copy_into,  // written into the earlier file, which the run may write but not replace
};
// Whether the run may put a new file at the target: 0 and how, or the errno that refuses it
// (ENAMETOOLONG a name the folder cannot hold, EACCES or EROFS a file the user may not
// write, EPERM an immutable or append-only file, EBUSY a mount point).
int check_replaceable(const OutputTarget& target, Placing& how);

// The name as the file system resolves it (see output_target), for comparing names of files
// that may not exist yet; "." and ".." of a folder that does not exist are folded away.
std::string normalised(std::string_view name);

}  // namespace zorvel::util
