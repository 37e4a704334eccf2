// Kept apart: the kernel's termios2 header clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace velkar {

int SetCustomRate(int fd, int baud) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ospeed = static_cast<speed_t>(baud);
    t.c_ispeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &t) != 0 ? errno : 0;
}

int CurrentRate(int fd) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0) return -1;
    return static_cast<int>(t.c_ospeed);
}

}  // namespace velkar
