// A library on its own temporary profile, opened and closed as a host does.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "frame/frame.h"
#include "qorsf.h"
#include "qorwin32.h"
#include "testprofile.h"

namespace qortest {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { qorsf::frame_reset(); }
    void TearDown() override {
        SF_close(kHost);
        qorsf::frame_reset();
    }

    static constexpr uint32_t kHost = 0;

    std::string settings() const { return profile.path("qorfax.ini"); }
    std::string datFile() const { return profile.path("data/sf.dat"); }
    std::string get(const char* section, const char* key) const {
        char buf[256];
        GetPrivateProfileStringA(section, key, "<missing>", buf, sizeof buf, settings().c_str());
        return buf;
    }
    void put(const char* section, const char* key, const char* value) const {
        ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, settings().c_str()));
    }
    // The settings key name of a parameter number.
    static std::string keyName(uint16_t number) {
        char buf[80] = {};
        UL_loadstring(0, buf, "QORLANG", number);
        return buf;
    }
    std::string fax(uint16_t number) const { return get("FAX OPERATION", keyName(number).c_str()); }
    void putFax(uint16_t number, const char* value) const {
        put("FAX OPERATION", keyName(number).c_str(), value);
    }

    TempProfile profile;
};

}  // namespace qortest
