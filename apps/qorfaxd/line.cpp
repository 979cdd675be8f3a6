#include "line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qorfaxd {

void Inbox::put(Received r) {
    std::lock_guard<std::mutex> g(mutex_);
    items_.push_back(std::move(r));
}

std::vector<Received> Inbox::take() {
    std::lock_guard<std::mutex> g(mutex_);
    std::vector<Received> out;
    out.swap(items_);
    return out;
}

std::string tempName(const std::string& dir, const char* what) {
    static std::atomic<unsigned> counter{0};
    char name[96];
    std::snprintf(name, sizeof name, "%s-%ld-%u.tif", what, static_cast<long>(getpid()), ++counter);
    return dir + name;
}

std::string digitsOf(const std::string& dial) {
    std::string d;
    for (char c : dial)
        if (c >= '0' && c <= '9') d += c;
    return d;
}

Answerer::Answerer(const AnswerSettings& s)
    : settings_(s), file_(tempName(s.tempDir, "rx")), ep_(false, s.ident, s.modems, s.ecm) {
    ep_.receiveFile(file_);
}

Answerer::~Answerer() {
    ep_.hangUp();
    Received r;
    r.tiff = file_;
    r.outcome = ep_.outcome();
    r.seconds = static_cast<double>(samples_) / kSampleRate;
    if (r.outcome.pages > 0 && settings_.inbox) {
        settings_.inbox->put(std::move(r));
    } else {
        std::remove(file_.c_str());  // nothing came in whole
    }
}

namespace {

// ---- loopback: the far end is an answering endpoint stepped sample for sample with ours.
class LoopbackCall : public Call {
public:
    explicit LoopbackCall(const AnswerSettings& s) : answer_(s) {}
    bool exchange(const int16_t* out, int16_t* in, int n) override {
        Endpoint& far = answer_.endpoint();
        if (far.finished()) {
            std::memset(in, 0, static_cast<std::size_t>(n) * sizeof *in);
            return false;
        }
        far.consume(out, n);
        far.produce(in, n);
        answer_.countSamples(n);
        return true;
    }

private:
    Answerer answer_;
};

class LoopbackLine : public Line {
public:
    explicit LoopbackLine(const AnswerSettings& s) : answer_(s) {}
    Dial dial(const std::string&, std::unique_ptr<Call>* call, std::string*) override {
        *call = std::make_unique<LoopbackCall>(answer_);
        return Dial::Connected;
    }
    std::string name() const override { return "loopback"; }

private:
    AnswerSettings answer_;
};

// ---- network: audio as raw little-endian 16-bit samples over a Unix stream socket. Each end
// writes a block and then reads one, so neither waits for the other forever.
constexpr int kWaitMs = 30000;  // a far end silent this long is gone

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size) {
        const ssize_t w = ::send(fd, p, size, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        size -= static_cast<std::size_t>(w);
    }
    return true;
}

bool readAll(int fd, void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    while (size) {
        pollfd pf{fd, POLLIN, 0};
        const int r = ::poll(&pf, 1, kWaitMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        const ssize_t got = ::recv(fd, p, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool socketExchange(int fd, const int16_t* out, int16_t* in, int n) {
    const std::size_t bytes = static_cast<std::size_t>(n) * sizeof *in;
    if (writeAll(fd, out, bytes) && readAll(fd, in, bytes)) return true;
    std::memset(in, 0, bytes);
    return false;
}

class SocketCall : public Call {
public:
    explicit SocketCall(int fd) : fd_(fd) {}
    ~SocketCall() override { ::close(fd_); }
    bool exchange(const int16_t* out, int16_t* in, int n) override {
        if (!up_) {
            std::memset(in, 0, static_cast<std::size_t>(n) * sizeof *in);
            return false;
        }
        up_ = socketExchange(fd_, out, in, n);
        return up_;
    }

private:
    int fd_;
    bool up_ = true;
};

bool socketAddress(const std::string& path, sockaddr_un* a) {
    std::memset(a, 0, sizeof *a);
    a->sun_family = AF_UNIX;
    if (path.size() >= sizeof a->sun_path) return false;
    std::memcpy(a->sun_path, path.c_str(), path.size() + 1);
    return true;
}

class NetworkLine : public Line {
public:
    NetworkLine(const std::string& dir, const AnswerSettings& s) : dir_(dir), answer_(s) {
        if (!dir_.empty() && dir_.back() != '/') dir_ += '/';
    }
    ~NetworkLine() override {
        stop_ = true;
        if (listener_.joinable()) listener_.join();
        for (Answering& a : calls_) a.thread.join();
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(path_.c_str());
        }
    }

    bool listen(const std::string& digits, std::string* error) {
        ::mkdir(dir_.c_str(), 01777);
        path_ = dir_ + digits;
        sockaddr_un a;
        if (digits.empty()) return fail(error, "the engine has no fax number ([GENERAL] SenderFax) to answer at");
        if (!socketAddress(path_, &a)) return fail(error, "the network directory's path is too long: " + path_);
        // Somebody answering there already is another engine with our number.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe >= 0) {
            const bool taken = ::connect(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            ::close(probe);
            if (taken) return fail(error, "another engine answers at " + path_);
        }
        ::unlink(path_.c_str());  // left behind by an engine that was killed
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 8) != 0)
            return fail(error, "cannot answer at " + path_ + ": " + std::strerror(errno));
        listener_ = std::thread([this] { serve(); });
        return true;
    }

    Dial dial(const std::string& digits, std::unique_ptr<Call>* call, std::string* why) override {
        sockaddr_un a;
        if (digits.empty() || !socketAddress(dir_ + digits, &a)) {
            *why = "no number to dial";
            return Dial::NoAnswer;
        }
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            *why = std::strerror(errno);
            return Dial::Failed;
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            *why = "nobody answers at " + dir_ + digits;
            return Dial::NoAnswer;
        }
        *call = std::make_unique<SocketCall>(fd);
        return Dial::Connected;
    }

    std::string name() const override { return "network " + dir_; }

private:
    static bool fail(std::string* error, const std::string& text) {
        *error = text;
        return false;
    }

    void serve() {
        while (!stop_) {
            pollfd pf{fd_, POLLIN, 0};
            if (::poll(&pf, 1, 100) <= 0) continue;
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            reap();
            auto done = std::make_shared<std::atomic<bool>>(false);
            calls_.push_back({std::thread([this, c, done] {
                                  answer(c);
                                  *done = true;
                              }),
                              done});
        }
    }

    // Joins the threads of calls that have ended, so a long-running engine keeps none.
    void reap() {
        for (auto it = calls_.begin(); it != calls_.end();) {
            if (*it->done) {
                it->thread.join();
                it = calls_.erase(it);
            } else {
                ++it;
            }
        }
    }

    // One answered call: our receiving end against the caller's audio until either hangs up.
    void answer(int fd) {
        Answerer a(answer_);
        Endpoint& ep = a.endpoint();
        int16_t out[kBlock], in[kBlock];
        long long blocks = 0;
        const long long limit = 3600LL * kSampleRate / kBlock;  // an hour of audio at most
        while (!ep.finished() && !(answer_.stop && *answer_.stop) && blocks++ < limit) {
            ep.produce(out, kBlock);
            if (!socketExchange(fd, out, in, kBlock)) break;
            ep.consume(in, kBlock);
            a.countSamples(kBlock);
        }
        ::close(fd);
    }

    std::string dir_, path_;
    AnswerSettings answer_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread listener_;
    struct Answering {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Answering> calls_;  // touched by the listener thread only, joined after it
};

}  // namespace

std::unique_ptr<Line> makeLoopbackLine(const AnswerSettings& answer) {
    return std::make_unique<LoopbackLine>(answer);
}

std::unique_ptr<Line> makeNetworkLine(const std::string& directory, const std::string& ownDigits,
                                      const AnswerSettings& answer, std::string* error) {
    auto line = std::make_unique<NetworkLine>(directory, answer);
    if (!line->listen(ownDigits, error)) return nullptr;
    return line;
}

}  // namespace qorfaxd
