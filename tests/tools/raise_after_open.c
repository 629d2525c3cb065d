/* Preloaded into a run of zorvel (LD_PRELOAD): raises SIGTERM as soon as the open that makes an
 * output's temporary file returns from the system, before the run has the descriptor in hand,
 * as a signal that comes in that moment would. It marks that it did so by making the file named
 * by ZORVEL_RAISED_MARK, so a test can tell a run it reached from one it did not (a build whose
 * own open comes before this one, as under the address sanitizer). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int (*open_fn)(const char*, int, ...);

/* The open of the system, then the signal when a temporary output was just made. */
int open(const char* path, int flags, ...) {
    static open_fn real;
    if (real == NULL) real = (open_fn)dlsym(RTLD_NEXT, "open");
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = (mode_t)va_arg(ap, int);
        va_end(ap);
    }
    const int fd = real(path, flags, mode);
    const char* mark = getenv("ZORVEL_RAISED_MARK");
    if (fd >= 0 && (flags & O_EXCL) && mark != NULL && strstr(path, ".zorvel-") != NULL) {
        const int made = real(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (made >= 0) close(made);
        raise(SIGTERM);
    }
    return fd;
}

/* The same open under its large-file name (one function on 64-bit systems). */
int open64(const char* path, int flags, ...) __attribute__((alias("open")));
