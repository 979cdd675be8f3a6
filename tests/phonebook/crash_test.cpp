// The phone book killed at every single change of its files, and with the disk full at every
// single write: it opens again, passes the check walk, and holds exactly the operations that
// ended before, the one under way wholly there or wholly absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pbfixture.h"
#include "qorul_control.h"
#include "store/store.h"

namespace qortest {


namespace {

using Op = std::function<int16_t()>;

class PhoneBookCrash : public PhoneBookTest {
protected:
    // The scenario: the first creation, adds, updates, deletes, group joins, an import of 40
    // names with groups, and more changes on the bigger book.
    std::vector<Op> scenario() {
        std::vector<Op> ops;
        ops.push_back([] {  // the first use creates the store
            char name[31];
            uint16_t found = 0;
            return qorsf::SF_getfirstname(kHost, name, &found);
        });
        for (int i = 0; i < 4; ++i)
            ops.push_back([this, i] { return add("Name " + std::to_string(i), Details{"0201-555-01" + std::to_string(i), "", "", "", std::string(200 + i * 100, 'c')}); });
        ops.push_back([this] { return update("Name 1", Details{"0301-555-0999", "12345", "", "", "Updated"}); });
        ops.push_back([] { return qorsf::SF_addnametogroup(kHost, "", "Team"); });
        ops.push_back([] { return qorsf::SF_addnametogroup(kHost, "Name 2", "Team"); });
        ops.push_back([] { return qorsf::SF_addnametogroup(kHost, "Name 3", "Team"); });
        ops.push_back([] { return qorsf::SF_deletephone(kHost, "Name 0"); });
        ops.push_back([this] { return qorsf::SF_importphonebook(kHost, importPath.c_str()); });
        ops.push_back([this] { return update("Import 17", Details{"0401-555-1717", "", "", "", std::string(600, 'u')}); });
        ops.push_back([] { return qorsf::SF_removenamefromgroup(kHost, "Name 2", "Team"); });
        ops.push_back([this] { return add("Late", Details{"0501-555-0001"}); });
        return ops;
    }

    void writeImport() {
        importPath = profile.path("import.LST");
        std::string names, groups;
        for (int i = 0; i < 40; ++i) {
            names += "\"Import " + std::to_string(i) + "\",\"0601-555-" + std::to_string(1000 + i) + "\",\"Company " +
                     std::to_string(i) + "\",\"\",\"\",\"\",\"" + std::string(static_cast<size_t>(i * 7 % 80), 'x') +
                     "\",\"\",\"\"\r\n";
            if (i % 5 == 0) groups += "\"Imported\",\"Import " + std::to_string(i) + "\"\r\n";
        }
        writeFile(importPath, names);
        writeFile(profile.path("import.GLS"), groups);
    }

    // Every record of the store file, as name|group|info lines in order (read with the store
    // itself, not through the phone book); "absent" when there is no file.
    std::string contents() {
        qorsf::SF_epilog(kHost);  // a reading operation leaves the store open
        if (!fileExists(bookPath())) return "absent";
        storetestBook b;
        if (qorsf::DB_open(&b.h, bookPath().c_str(), b.recbuf, 736) != 0) return "unreadable";
        std::vector<std::string> lines;
        for (int16_t st = qorsf::DB_move(&b.h, 19, qorsf::DB_FIRST); st == 0; st = qorsf::DB_move(&b.h, 19, qorsf::DB_NEXT)) {
            if (qorsf::DB_read(&b.h, b.table) != 0) lines.push_back("unreadable record");
            else lines.push_back(std::string(b.rec.name) + "|" + b.rec.group + "|" + b.rec.info);
        }
        qorsf::DB_close(&b.h);
        std::sort(lines.begin(), lines.end());
        std::string all;
        for (const auto& l : lines) all += l + "\n";
        return all.empty() ? "empty" : all;
    }

    std::vector<std::string> problems() {
        storetestBook b;
        qorsf::DB_CHECKREPORT r;
        if (!fileExists(bookPath())) return {};
        qorsf::DB_check(bookPath().c_str(), b.table, b.recbuf, 736, &r);
        return r.problems;
    }

    // What a killed process leaves: nothing more reaches the files; then the library of a new
    // process starts on the same profile.
    void restart() {
        SF_close(kHost);  // with the crash armed, its writes do nothing
        qorsf::storeReset();
        qorul::resetFaults();
        qorsf::frame_reset();
        qorsf::recipientCursor() = {};
        ASSERT_EQ(SF_open(kHost), 0);
    }

    void removeBook() {
        UL_delete(bookPath().c_str());
        UL_delete((bookPath() + "-journal").c_str());
    }

    struct storetestBook {
        qorsf::DB_HANDLE h{};
        PB_RECORD rec{};
        qorsf::DB_FIELD table[4]{};
        uint8_t recbuf[800]{};
        storetestBook() {
            table[0] = {'S', 'S', 'D', 31, 1, rec.name};
            table[1] = {'S', 'S', 'D', 31, 2, rec.group};
            table[2] = {'S', 'N', 'N', 661, 0, rec.info};
            table[3] = {'E', 0, 0, 0, 0, nullptr};
        }
    };

    std::string importPath;
};

TEST_F(PhoneBookCrash, KilledAtEveryChangeTheBookHoldsExactlyTheFinishedOperations) {
    writeImport();
    qorsf::DB_setdurable(1);  // syncs are made (and counted) as on a user's machine
    // The reference run: the state after each operation and where its changes begin.
    std::vector<std::string> state{"absent"};
    std::vector<long> startsAt;
    qorul::crashAt(0);
    for (auto& op : scenario()) {
        startsAt.push_back(qorul::changeCalls() + 1);
        ASSERT_EQ(op(), 0);
        state.push_back(contents());
    }
    const long total = qorul::changeCalls();
    startsAt.push_back(total + 1);
    ASSERT_GT(total, 100);
    restart();
    removeBook();

    int tried = 0, damaged = 0, lost = 0;
    for (long n = 1; n <= total; ++n) {
        SCOPED_TRACE("crash at change " + std::to_string(n));
        qorul::crashAt(n);
        for (auto& op : scenario())
            if (op() != 0) break;
        ASSERT_TRUE(qorul::crashed());
        restart();
        ++tried;
        // The operation under way when the process died.
        size_t k = 0;
        while (k + 1 < startsAt.size() && startsAt[k + 1] <= n) ++k;
        // Opening rolls a journal back; the check and a walk must then find nothing wrong.
        const std::string now = contents();
        const std::vector<std::string> p = problems();
        char name[31];
        uint16_t found = 0;
        const int16_t walk = qorsf::SF_getfirstname(kHost, name, &found);
        qorsf::SF_epilog(kHost);
        if (walk != 0 || !p.empty() || now == "unreadable") {
            ++damaged;
            ADD_FAILURE() << "damaged: walk " << walk << ", " << (p.empty() ? now : p[0]);
        } else if (now != state[k] && now != state[k + 1]) {
            ++lost;
            ADD_FAILURE() << "operation " << k << " is neither absent nor whole:\n" << now;
        }
        EXPECT_FALSE(fileExists(bookPath() + "-journal")) << "the journal outlived the open";
        removeBook();
    }
    std::printf("crash points tried %d, damaged %d, lost %d\n", tried, damaged, lost);
    EXPECT_EQ(damaged, 0);
    EXPECT_EQ(lost, 0);
}

TEST_F(PhoneBookCrash, DiskFullAtEveryWriteLosesNothingAndTheBookGoesOnAfterwards) {
    writeImport();
    qorsf::DB_setdurable(0);
    std::vector<std::string> state{"absent"};
    qorul::failNth(qorul::FaultOp::Write, 0);
    for (auto& op : scenario()) {
        ASSERT_EQ(op(), 0);
        state.push_back(contents());
    }
    const long total = qorul::faultCalls(qorul::FaultOp::Write);
    restart();
    removeBook();
    int failedOps = 0;
    for (long n = 1; n <= total; n += 1) {
        SCOPED_TRACE("write " + std::to_string(n) + " fails");
        qorul::failNth(qorul::FaultOp::Write, n);
        std::vector<Op> ops = scenario();
        size_t k = 0;
        for (; k < ops.size(); ++k)
            if (ops[k]() != 0) break;
        qorul::resetFaults();
        if (k == ops.size()) {
            EXPECT_EQ(contents(), state.back());
        } else {
            ++failedOps;
            // The failed operation left nothing behind, and the book takes it and the rest now.
            qorsf::SF_epilog(kHost);
            EXPECT_EQ(contents(), state[k]) << "operation " << k << " failed but left changes";
            for (; k < ops.size(); ++k) ASSERT_EQ(ops[k](), 0) << "operation " << k << " after space came back";
            EXPECT_EQ(contents(), state.back());
        }
        qorsf::SF_epilog(kHost);
        EXPECT_TRUE(problems().empty());
        restart();
        removeBook();
    }
    EXPECT_GT(failedOps, 0);
    qorsf::DB_setdurable(-1);
}

TEST_F(PhoneBookCrash, ADamagedBookIsSaidToBeDamagedCheckedAndRepaired) {
    for (int i = 0; i < 30; ++i) ASSERT_EQ(add("Person " + std::to_string(i), Details{"0201-555-" + std::to_string(1000 + i)}), 0);
    ASSERT_EQ(qorsf::SF_addnametogroup(kHost, "", "Club"), 0);
    ASSERT_EQ(qorsf::SF_addnametogroup(kHost, "Person 3", "Club"), 0);
    SF_close(kHost);
    const std::string profileDir = profile.root();
    auto run = [&](const std::string& args) { return runQorfaxMerged(QORFAX_BINARY, profileDir, args); };
    ASSERT_EQ(run("phonebook check").exit, 0);
    // The first leaf loses its entries' count: a walk from the first name cannot read it.
    std::string bytes = readFile(bookPath());
    bytes[2 * 1024 + 2] = static_cast<char>(200);
    writeFile(bookPath(), bytes);
    CommandResult list = run("phonebook list");
    EXPECT_EQ(list.exit, 1);
    EXPECT_NE(list.out.find("the phone book is damaged: run `qorfax phonebook check`"), std::string::npos) << list.out;
    CommandResult check = run("phonebook check");
    EXPECT_EQ(check.exit, 1);
    EXPECT_NE(check.out.find("damage: page 1"), std::string::npos) << check.out;
    CommandResult repair = run("phonebook repair");
    EXPECT_EQ(repair.exit, 0) << repair.out;
    EXPECT_NE(repair.out.find("recovered"), std::string::npos) << repair.out;
    EXPECT_TRUE(fileExists(bookPath() + ".damaged"));
    EXPECT_EQ(run("phonebook check").exit, 0);
    EXPECT_EQ(run("phonebook list").exit, 0);
    ASSERT_EQ(SF_open(kHost), 0);
}

}  // namespace
}  // namespace qortest
