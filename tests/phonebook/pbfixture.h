// A phone book on its own temporary profile, with the library open as a host opens it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/phonebook.h"
#include "phonebook/recipients.h"
#include "qorsf.h"
#include "testprofile.h"

namespace qortest {

struct Details {
    std::string fax{}, voice{}, alt{}, other{}, company{}, text1{}, text2{}, text3{};
};

class PhoneBookTest : public ::testing::Test {
public:
    static PB_ENTRY entry(const std::string& name, const Details& d);

protected:
    static constexpr uint32_t kHost = 0;

    void SetUp() override {
        qorsf::frame_reset();
        qorsf::recipientCursor() = {};
        ASSERT_EQ(SF_open(kHost), 0);
    }
    void TearDown() override {
        SF_close(kHost);
        EXPECT_FALSE(qorsf::pbworkAllocated());
        qorsf::frame_reset();
    }

    std::string bookPath() const { return profile.path("data/personal.pbk"); }

    static PB_ENTRY entryOf(const std::string& name, const Details& d) {
        PB_ENTRY e{};
        auto put = [](char* f, std::size_t n, const std::string& v) { UL_strcopy(f, n, v.c_str()); };
        put(e.name, sizeof e.name, name);
        put(e.number, sizeof e.number, d.fax);
        put(e.voice, sizeof e.voice, d.voice);
        put(e.altnumber, sizeof e.altnumber, d.alt);
        put(e.othernumber, sizeof e.othernumber, d.other);
        put(e.company, sizeof e.company, d.company);
        put(e.text1, sizeof e.text1, d.text1);
        put(e.text2, sizeof e.text2, d.text2);
        put(e.text3, sizeof e.text3, d.text3);
        return e;
    }
    // Adds (or replaces) a name as a host does: entry -> info -> record -> SF_addphone.
    int16_t add(const std::string& name, const Details& d) {
        PB_ENTRY e = entry(name, d);
        PB_RECORD r{};
        UL_strcopy(r.name, name.c_str());
        SF_entrytoinfo(kHost, &e, r.info);
        return SF_addphone(kHost, name.c_str(), &r);
    }
    int16_t add(const std::string& name, const std::string& fax) { return add(name, Details{fax}); }
    int16_t update(const std::string& name, const Details& d) {
        PB_ENTRY e = entry(name, d);
        char info[660];
        SF_entrytoinfo(kHost, &e, info);
        return SF_updatephone(kHost, name.c_str(), info);
    }
    // The details of a name's own record (empty entry when it has none).
    PB_ENTRY details(const std::string& name, int16_t* status = nullptr) {
        char info[660] = {};
        int16_t st = SF_nametophone(kHost, name.c_str(), info);
        if (status) *status = st;
        PB_ENTRY e{};
        if (info[0]) SF_infotoentry(kHost, info, &e);
        return e;
    }

    std::vector<std::string> names() {
        std::vector<std::string> out;
        char name[31];
        uint16_t found = 0;
        EXPECT_EQ(SF_getfirstname(kHost, name, &found), 0);
        while (found) {
            out.emplace_back(name);
            EXPECT_EQ(SF_getnextname(kHost, name, &found), 0);
        }
        return out;
    }
    // Every record with a name (name records and memberships), as the record walk gives them.
    std::vector<PB_ENTRY> records() {
        std::vector<PB_ENTRY> out;
        PB_ENTRY e;
        uint16_t found = 0;
        EXPECT_EQ(SF_getfirstpbrec(kHost, &e, &found), 0);
        while (found) {
            out.push_back(e);
            EXPECT_EQ(SF_getnextpbrec(kHost, &e, &found), 0);
        }
        return out;
    }
    std::vector<std::string> groups() {
        std::vector<std::string> out;
        char group[31];
        uint16_t found = 0;
        EXPECT_EQ(qorsf::SF_getfirstgroup(kHost, group, &found), 0);
        while (found) {
            out.emplace_back(group);
            EXPECT_EQ(qorsf::SF_getnextgroup(kHost, group, &found), 0);
        }
        return out;
    }
    // The member walk as it stands: the group's own record gives an empty name.
    std::vector<std::string> members(const std::string& group, int16_t* status = nullptr) {
        std::vector<std::string> out;
        char name[31];
        uint16_t found = 0;
        int16_t st = qorsf::SF_getfirstmember(kHost, group.c_str(), name, &found);
        while (st == 0 && found) {
            out.emplace_back(name);
            st = qorsf::SF_getnextmember(kHost, group.c_str(), name, &found);
        }
        if (status) *status = st;
        return out;
    }
    int16_t join(const std::string& group, const std::string& name) {
        return qorsf::SF_addnametogroup(kHost, name.c_str(), group.c_str());
    }
    // The messages the UI driver was given.
    std::string shownText() const {
        std::string all;
        for (const auto& s : const_cast<TempProfile&>(profile).ui().shown()) all += s.text + "\n";
        return all;
    }

    TempProfile profile;
};

inline PB_ENTRY PhoneBookTest::entry(const std::string& name, const Details& d) { return entryOf(name, d); }

using Names = std::vector<std::string>;

}  // namespace qortest
