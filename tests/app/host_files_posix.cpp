#include "host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orn::test {

std::string DeviceFile() { return "/dev/full"; }

std::string MakeFifo(const std::string& dir) {
    const std::string path = dir + "/fifo.csv";
    return ::mkfifo(path.c_str(), 0644) == 0 ? path : std::string();
}

void OpenFifoReader(const std::string& fifo) { ::close(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK)); }

bool DeletionSeenWhileOpen() { return true; }

bool DeletedNameIsFree() { return true; }

bool TextWidthsComparable() { return true; }

} // namespace orn::test
