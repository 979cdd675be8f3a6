// A library opened on its own profile for the send tests, with helpers that read the queue
// and the files a send leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame_fixture.h"
#include "queue/queue.h"
#include "qorwindow.h"
#include "queuewalk.h"
#include "send/send.h"

namespace qortest {

class SendTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        qorsf::send_reset();
        qorsf::queue_reset();
        FN_resetsys(0);
        ASSERT_EQ(SF_open(kHost), 0);
    }
    void TearDown() override {
        FrameTest::TearDown();
        FN_resetsys(0);
        qorwin::resetWindows();
    }

    static SendOptions options() {
        SendOptions o;
        std::memset(&o, 0, sizeof o);
        return o;
    }
    static DocumentEntry doc(int16_t type, const std::string& text) {
        DocumentEntry d;
        std::memset(&d, 0, sizeof d);
        d.type = type;
        UL_strcopy(d.text, text.c_str());
        return d;
    }
    std::vector<QUEUE_RECORD> queue() { return qortest::queueRecords(); }
    // The control file of a queued job.
    std::string controlFile(const QUEUE_RECORD& r) {
        char path[80];
        UL_strcopy(path, r.jobfile);
        UL_fullpath(0, path, sizeof path);
        return readFile(path);
    }
    std::vector<DEL_RECORD> delList() {
        const std::string bytes = readFile(profile.path("data/delfile.lis"));
        std::vector<DEL_RECORD> out(bytes.size() / sizeof(DEL_RECORD));
        if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(DEL_RECORD));
        return out;
    }
};

}  // namespace qortest
