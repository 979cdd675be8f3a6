#include "testprofile.h"

#include <gtest/gtest.h>

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
