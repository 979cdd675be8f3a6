// Shared pieces of the report writer's tests: a profile with a layout file of the test's own,
// and reading a written report back line by line.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qorwin32.h"
#include "report/report.h"
#include "testprofile.h"

namespace reporttest {

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        handlesBefore = UL_handlecount();
        gdiBefore = qorwin::liveGdiObjects();
    }
    void TearDown() override {
        qorsf::SF_rptfree(0, &ctx);
        EXPECT_EQ(UL_handlecount(), handlesBefore);
        EXPECT_EQ(qorwin::liveGdiObjects(), gdiBefore);
    }

    std::string layoutPath() const { return profile.path("layouts.rpt"); }
    void layout(const std::string& text) { qortest::writeFile(layoutPath(), text); }
    std::string out() const { return profile.path("report.txt"); }

    // Opens `name` on out(), writes each row (one column text per element), closes.
    int16_t report(const char* name, const std::vector<std::vector<std::string>>& rows) {
        if (int16_t st = qorsf::SF_rptopen(0, out().c_str(), name, &ctx)) return st;
        for (const auto& row : rows)
            if (int16_t st = line(row)) return st;
        return qorsf::SF_rptclose(0, &ctx);
    }
    int16_t line(const std::vector<std::string>& row, const char* running = nullptr, int16_t runningLines = 0) {
        std::vector<const char*> cols;
        for (const auto& c : row) cols.push_back(c.c_str());
        return qorsf::SF_rptline(0, &ctx, running, runningLines, static_cast<int16_t>(cols.size()), cols.data());
    }

    // The lines of a written file; every line must end with CR LF.
    static std::vector<std::string> lines(const std::string& path) {
        std::string bytes = qortest::readFile(path);
        std::vector<std::string> result;
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            std::size_t end = bytes.find("\r\n", pos);
            if (end == std::string::npos) {
                ADD_FAILURE() << "a line without CR LF at the end of " << path;
                result.push_back(bytes.substr(pos));
                break;
            }
            result.push_back(bytes.substr(pos, end - pos));
            pos = end + 2;
        }
        return result;
    }

    qortest::TempProfile profile;
    qorsf::RPT_CONTEXT ctx{};
    uint32_t handlesBefore = 0;
    std::size_t gdiBefore = 0;
};

}  // namespace reporttest
