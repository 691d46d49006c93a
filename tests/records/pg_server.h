// A private PostgreSQL server for tests and benchmarks: initdb into a new
// temporary folder, the server listening only on a socket in that folder
// (no TCP at all), stopped and removed at the end.  initdb refuses to run
// as root, so under root the server runs as the user "postgres" that
// Debian's package creates.
#pragma once

#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace orn::test {

class TPgServer {
public:
    ~TPgServer() { Remove(); }

    // The folder of initdb and pg_ctl (the newest installed), empty when none.
    static std::string BinDir() {
        std::string best;
        if (DIR* d = opendir("/usr/lib/postgresql")) {
            while (dirent* e = readdir(d)) {
                const std::string bin = std::string("/usr/lib/postgresql/") + e->d_name + "/bin";
                if (e->d_name[0] != '.' && access((bin + "/initdb").c_str(), X_OK) == 0 && bin > best) best = bin;
            }
            closedir(d);
        }
        return best;
    }

    // Makes the cluster and starts it; false with `error`.  Not `durable`:
    // without fsync, which tests do not need.
    bool Create(std::string& error, bool durable = false) {
        durable_ = durable;
        bin_ = BinDir();
        if (bin_.empty()) {
            error = "no PostgreSQL server installed (Debian package postgresql)";
            return false;
        }
        char dir[] = "/tmp/orn10-pg-XXXXXX";
        if (!mkdtemp(dir)) {
            error = "mkdtemp failed";
            return false;
        }
        dir_ = dir;
        if (geteuid() == 0) {
            const passwd* pg = getpwnam("postgres");
            if (!pg || chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0) {
                error = "running as root needs the user postgres to run the server";
                return false;
            }
            as_ = "runuser -u postgres -- ";
        }
        if (!Run(bin_ + "/initdb -D " + dir_ + "/data -U orn10 -A trust --no-sync -E UTF8 --no-locale",
                 "initdb.log")) {
            error = "initdb failed: see " + dir_ + "/initdb.log";
            return false;
        }
        return Start(error);
    }

    bool Start(std::string& error) {
        if (Run(bin_ + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/server.log -w -t 120 -o \"-k " + dir_ +
                    " -c listen_addresses=''" + (durable_ ? "" : " -c fsync=off") + "\" start",
                "pg_ctl.log"))
            return true;
        error = "the server did not start: see " + dir_ + "/server.log";
        return false;
    }

    void Stop() { Run(bin_ + "/pg_ctl -D " + dir_ + "/data -m fast -w -t 120 stop", "pg_ctl.log"); }

    std::string Conninfo() const { return "host=" + dir_ + " user=orn10 dbname=postgres"; }
    const std::string& Dir() const { return dir_; }

private:
    bool Run(const std::string& command, const char* log) {
        return std::system((as_ + command + " >>" + dir_ + "/" + log + " 2>&1").c_str()) == 0;
    }
    void Remove() {
        if (dir_.empty()) return;
        Stop();
        if (std::system(("rm -rf " + dir_).c_str()) != 0) return;
        dir_.clear();
    }

    std::string bin_, dir_, as_;
    bool durable_ = false;
};

} // namespace orn::test
