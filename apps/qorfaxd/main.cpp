// qorfaxd: the fax engine. Sends the profile's queue over a T.30 session on the configured line
// and files what it receives, until stopped (SIGTERM, SIGINT) or, with --once, until nothing is
// due.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include "engine.h"
#include "line.h"
#include "qorul.h"
#include "qorvq.h"
#include "qorwin32.h"

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop = true; }

const char kHelp[] =
    "usage: qorfaxd [--profile DIR] [--once] [--quiet]\n"
    "\n"
    "The fax engine: sends the jobs of the profile's queue whose time has come, in send-time\n"
    "order, and files the faxes it receives in the profile's recv/ and its log of received faxes.\n"
    "\n"
    "  --profile DIR   use DIR as the profile (default: $QORFAX_HOME, else ~/.qorfax)\n"
    "  --once          stop when no job is due (for tests and cron)\n"
    "  --quiet         no event lines on standard output (the profile's engine.log has them)\n"
    "\n"
    "Settings ([ENGINE] of qorfax.ini):\n"
    "  Line            loopback (default: calls an answering end of its own) or network\n"
    "  Network         the network line's directory (default: qorfax-net in $TMPDIR or /tmp)\n"
    "  Retries         calls after a failed first one (default 3)\n"
    "  RetryInterval   seconds between calls (default 300)\n"
    "  Modems          V17 (default: V.17, V.29 and V.27ter), V29 or V27ter\n"
    "  ECM             1 (default) error correction mode, 0 off\n"
    "[GENERAL] SenderFax is the station id, and the number the network line answers at.\n"
    "SIGTERM or SIGINT ends a call in progress; its job waits again. Exit: 0 done, 1 failure,\n"
    "2 usage.\n";

std::string setting(const std::string& ini, const char* section, const char* key, const char* def) {
    char buf[256] = {};
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, ini.c_str());
    return buf;
}

// A line of the engine's log: "YYYY-MM-DD HH:MM:SS text", appended in one write.
class EventLog {
public:
    EventLog(const std::string& path, bool print) : print_(print) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    ~EventLog() {
        if (fd_ >= 0) ::close(fd_);
    }
    void operator()(const std::string& text) {
        SF_DATETIME now;
        UL_now(&now);
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", now.year, now.month, now.day, now.hour,
                      now.minute, now.second);
        const std::string line = stamp + text + "\n";
        if (fd_ >= 0 && ::write(fd_, line.data(), line.size()) < 0) {
        }
        if (print_) {
            std::printf("qorfaxd: %s\n", text.c_str());
            std::fflush(stdout);
        }
    }

private:
    int fd_ = -1;
    bool print_;
};

// What the engine does, for `qorfax engine status`: written to a temporary file and renamed.
void writeStatus(const std::string& root, const std::string& line, const std::string& doing) {
    const std::string path = root + "engine.status";
    const std::string tmp = path + ".tmp" + std::to_string(getpid());
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) return;
    std::fprintf(f, "pid %ld\nline %s\ndoing %s\n", static_cast<long>(getpid()), line.c_str(), doing.c_str());
    if (std::fclose(f) == 0) std::rename(tmp.c_str(), path.c_str());
    else std::remove(tmp.c_str());
}

// The host block the platform services take: 612 bytes, owner window 0.
class HostBlock {
public:
    HostBlock() {
        void* p = nullptr;
        if (UL_allochandle(&p, 612, &handle_) == 0) {
            std::memset(p, 0, 612);
            UL_unlockhandle(handle_);
        }
    }
    ~HostBlock() {
        if (handle_) UL_freehandle(handle_);
    }
    uint32_t handle() const { return handle_; }

private:
    uint32_t handle_ = 0;
};

void pause(int ms) {
    for (int waited = 0; waited < ms && !g_stop; waited += 50) {
        timespec ts{0, 50 * 1000000L};
        nanosleep(&ts, nullptr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool once = false, quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--once") once = true;
        else if (a == "--quiet") quiet = true;
        else if (a == "--profile" && i + 1 < argc) setenv("QORFAX_HOME", argv[++i], 1);
        else if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "qorfaxd: unknown argument %s\n%s", a.c_str(), kHelp);
            return 2;
        }
    }
    if (int16_t st = UL_profileinit()) {
        std::fprintf(stderr, "qorfaxd: the profile cannot be used (status %d)\n", st);
        return 1;
    }
    const std::string root = UL_profileroot();
    EventLog report(root + "engine.log", !quiet);

    // One engine a profile: it holds this lock while it lives, so a job left sending (I) with
    // the lock free belongs to an engine that died.
    const std::string runPath = root + "engine.run";
    const int runFd = ::open(runPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (runFd < 0 || ::flock(runFd, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "qorfaxd: busy: another engine runs on the profile %s\n", root.c_str());
        return 1;
    }
    if (ftruncate(runFd, 0) == 0) {
        const std::string pid = std::to_string(getpid()) + "\n";
        if (::write(runFd, pid.data(), pid.size()) < 0) {
        }
    }

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    HostBlock host;
    char ini[UL_MAXPATH];
    UL_getpath(host.handle(), ini, 41);
    qorfaxd::Settings s;
    s.retries = std::atoi(setting(ini, "ENGINE", "Retries", "3").c_str());
    s.retryInterval = std::atoi(setting(ini, "ENGINE", "RetryInterval", "300").c_str());
    if (s.retries < 0) s.retries = 0;
    if (s.retryInterval < 0) s.retryInterval = 0;
    const std::string modems = setting(ini, "ENGINE", "Modems", "V17");
    s.modems = modems == "V27ter" || modems == "v27ter"   ? qorfaxd::kV27ter
               : modems == "V29" || modems == "v29" ? qorfaxd::kV27ter | qorfaxd::kV29
                                                    : qorfaxd::kAllModems;
    s.ecm = setting(ini, "ENGINE", "ECM", "1") != "0";
    s.autoPrint = std::atoi(setting(ini, "RECEIVE", "AutoPrint", "0").c_str()) != 0;
    char fax[256] = {};
    VQ_getconfig(host.handle(), 1, "GENERAL", 4154, fax, sizeof fax);
    s.ident = fax;

    qorfaxd::Inbox inbox;
    qorfaxd::AnswerSettings answer;
    answer.ident = s.ident;
    answer.modems = s.modems;
    answer.ecm = s.ecm;
    answer.inbox = &inbox;
    answer.stop = &g_stop;
    {
        char spool[UL_MAXPATH];
        UL_getpath(host.handle(), spool, 22);
        answer.tempDir = spool;
        answer.tempDir.erase(answer.tempDir.rfind('/') + 1);
    }
    // Images of calls an engine was killed in: nobody else writes these names in the spool.
    if (DIR* d = ::opendir(answer.tempDir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() <= 4 || n.substr(n.size() - 4) != ".tif") continue;
            if (n.rfind("tx-", 0) == 0) {
                std::remove((answer.tempDir + n).c_str());
            } else if (n.rfind("rx-", 0) == 0) {
                // The pages that came in whole before the engine died are still a fax.
                qorfaxd::Received r;
                r.tiff = answer.tempDir + n;
                r.leftover = true;
                r.outcome.code = 1;
                r.outcome.text = "the engine stopped during the call";
                inbox.put(std::move(r));
            }
        }
        ::closedir(d);
    }
    const std::string lineKind = setting(ini, "ENGINE", "Line", "loopback");
    std::unique_ptr<qorfaxd::Line> line;
    if (lineKind == "network") {
        const char* tmp = std::getenv("TMPDIR");
        std::string dir = setting(ini, "ENGINE", "Network", "");
        if (dir.empty()) dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/qorfax-net";
        std::string error;
        line = qorfaxd::makeNetworkLine(dir, qorfaxd::digitsOf(s.ident), answer, &error);
        if (!line) {
            report("the network line cannot be used: " + error);
            return 1;
        }
    } else if (lineKind == "loopback") {
        line = qorfaxd::makeLoopbackLine(answer);
    } else {
        report("unknown line \"" + lineKind + "\" in [ENGINE] Line (loopback or network)");
        return 1;
    }

    qorfaxd::Engine engine(host.handle(), s, *line, inbox, g_stop, std::ref(report));
    engine.onDoing = [&](const std::string& doing) { writeStatus(root, line->name(), doing); };
    report("started on " + root + ", " + line->name() + " line, station id \"" + s.ident + "\"");
    writeStatus(root, line->name(), "waiting");
    if (int16_t st = engine.recover()) report("jobs left sending cannot be put back (status " + std::to_string(st) + ")");

    while (!g_stop) {
        engine.fileReceived();
        if (engine.sendNext()) continue;
        if (once) break;
        pause(1000);
    }
    line.reset();  // hangs up: answered calls end and hand over what came in
    engine.fileReceived();
    report(g_stop ? "stopped" : "nothing more is due");
    std::remove((root + "engine.status").c_str());
    VQ_shutdown(host.handle());
    return 0;
}
