// A simulated line served on a pseudo-terminal, in real time.
//
// The master opens the device side (/dev/pts/N, or a link to it) as it would
// a serial port.  The server keeps its own descriptor on the device side so
// that its side never sees a hang-up while the master opens and closes the
// port for every request; it waits in poll() for the master's bytes or the
// next due answer byte, and writes each answer byte when its paced arrival
// time has come, since a pseudo-terminal itself ignores speed.  When the last
// master closes the device side its settings go back to the line's and what
// it sent but the line has not yet carried is dropped, so the next master
// starts from a fresh port as it would on a real one.
#pragma once

#include "sim_line.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace orn::sim {

class PtyServer {
public:
    // The line must outlive the server.  The line's clock becomes real time
    // (microseconds since the server was made).
    explicit PtyServer(SimLine& line);
    ~PtyServer();   // closes the pseudo-terminal and removes the link
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal; false with a message.
    bool open(std::string& error);
    // The device side, e.g. "/dev/pts/3"; empty before open().
    const std::string& devicePath() const { return devicePath_; }
    // Makes `path` a symbolic link to the device, creating its directories
    // and replacing an earlier link (never another kind of file).  A link to
    // the device of another live orn10sim is taken over only when asked to:
    // otherwise that simulator would go on serving a device nobody reaches.
    bool link(const std::string& path, std::string& error, bool takeOver = false);
    // Removes the link if it still leads to this server's device.
    void unlink();
    // The path to give the master: the link, or else the device.
    std::string path() const { return linkPath_.empty() ? devicePath_ : linkPath_; }

    // Serves until stop(); returns 0, or 1 when the pseudo-terminal failed
    // (the message is in error()).
    int run();
    // Ends run().  Safe from any thread and from a signal handler.
    void stop();
    const std::string& error() const { return error_; }

    // Lines of text read from `fd` while the server runs (a program's
    // standard input): each is handed to `onLine` with the line brought up
    // to date and left alone meanwhile.  The end of the input ends only the
    // reading.  Set before run().
    void setCommandInput(int fd, std::function<void(SimLine&, const std::string&)> onLine);

    // Runs f(line) while the server leaves the line alone.
    template <class F> void withLine(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        line_.sync();
        f(line_);
    }

private:
    int64_t nowUs() const;
    void writeAnswer(const uint8_t* data, size_t n);
    // Whether the watch reported a close since the last look.
    bool takeCloseEvents();
    // After a close: when it was the last master's, puts the line's
    // settings back and drops what that master left behind.
    void checkLastClose();
    void takeMasterBytes();
    void toLine(const uint8_t* data, size_t n);
    void takeCommands();

    SimLine& line_;
    std::mutex mutex_;
    int64_t startNs_;
    int ptm_ = -1;         // our side
    int ownPts_ = -1;      // our hold on the device side
    int wake_[2] = {-1, -1};
    int watch_ = -1;       // inotify on the device side: masters closing it
    std::string devicePath_;
    std::string linkPath_;
    std::string error_;
    std::atomic<bool> stopping_{false};
    int commandFd_ = -1;
    std::string commandText_;   // what came of a line not yet ended
    std::function<void(SimLine&, const std::string&)> onCommand_;
};

} // namespace orn::sim
