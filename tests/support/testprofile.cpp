#include "testprofile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "qorul.h"
#include "qorul_control.h"

namespace qortest {

namespace {
std::time_t fixedTime() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 14;
    t.tm_hour = 9;
    t.tm_min = 26;
    t.tm_sec = 53;
    return timegm(&t);  // the clock keeps local time in a UTC calendar
}
}  // namespace

TempProfile::TempProfile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qorfax-test-XXXXXX";
    std::string buf = pattern;
    if (!mkdtemp(buf.data())) {
        ADD_FAILURE() << "cannot make a temporary directory";
    }
    root_ = buf + "/";
    qorul::reset();
    qorul::setSyncs(false);  // syncs are counted by the store, not waited for
    qorul::resetFaults();
    qorul::setClock(fixedTime());
    int16_t st = qorul::setProfileRoot(root_);
    if (st != 0) ADD_FAILURE() << "profile root not accepted: " << st;
    // A dialog left idle with nothing scripted, or a question nobody answers, fails the test.
    ui_.onFailure([](const std::string& what) { ADD_FAILURE() << "UI driver: " << what; });
    previous_ = qorui::install(&ui_);
}

TempProfile::~TempProfile() {
    qorui::install(previous_);
    qorul::resetFaults();
    qorul::reset();
    qorul::resetProfile();
    qorul::useWallClock();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::string shellQuote(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

namespace {
// Runs a shell command line; its standard output is collected.
CommandResult runShell(const std::string& cmd) {
    CommandResult r;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
        const int status = pclose(p);
        r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
}
}  // namespace

CommandResult runQorfax(const std::string& binary, const std::string& profile, const std::string& args) {
    char errName[] = "/tmp/qorfax-stderr-XXXXXX";
    const int errFd = mkstemp(errName);
    if (errFd < 0) return {};
    close(errFd);
    CommandResult r = runShell(binary + " --profile " + shellQuote(profile) + " " + args + " 2>" + shellQuote(errName));
    r.err = readFile(errName);
    unlink(errName);
    return r;
}

CommandResult runQorfaxMerged(const std::string& binary, const std::string& profile, const std::string& args) {
    return runShell(binary + " --profile " + shellQuote(profile) + " " + args + " 2>&1");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace qortest
