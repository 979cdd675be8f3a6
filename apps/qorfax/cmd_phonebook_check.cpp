// qorfax phonebook check | repair: the store file of the phone book walked and, when damaged,
// rebuilt from the records that still read whole; and the words for a store that is damaged
// or held by another program.
#include <cstdio>
#include <string>

#include "frame/pbwork.h"
#include "host.h"
#include "phonebook_common.h"
#include "qorsf.h"
#include "qorul.h"
#include "store/store.h"

namespace qorfax {

namespace {

const char* kHelp =
    "usage: qorfax phonebook [--book PATH] check\n"
    "       qorfax phonebook [--book PATH] repair\n"
    "\n"
    "check   reads every page, entry, record and index of the phone book file and says\n"
    "        what is wrong; exit 0 when nothing is, 1 when the file is damaged\n"
    "repair  builds a new phone book from every record that still reads whole (its checksum\n"
    "        right), puts it in the file's place and keeps the damaged file beside it\n"
    "        (PATH.damaged); says how many records it recovered\n";

// The phone book's field table over a record image of its own.
struct Table {
    PB_RECORD rec{};
    qorsf::DB_FIELD fields[4]{};
    uint8_t recbuf[qorsf::kPbRecordBuffer]{};
    Table() {
        fields[0] = {'S', 'S', 'D', sizeof rec.name, qorsf::kPbKeyName, rec.name};
        fields[1] = {'S', 'S', 'D', sizeof rec.group, qorsf::kPbKeyGroup, rec.group};
        fields[2] = {'S', 'N', 'N', sizeof rec.info, 0, rec.info};
        fields[3] = {'E', 0, 0, 0, 0, nullptr};
    }
};

std::string bookPath(uint32_t h) {
    char path[80] = {};
    qorsf::SF_getphonebookpath(h, path);
    return path;
}

int check(const std::string& path) {
    Table t;
    qorsf::DB_CHECKREPORT r;
    int16_t st = qorsf::DB_check(path.c_str(), t.fields, t.recbuf, qorsf::kPbRecordLength, &r);
    if (st == qorsf::DB_LOCKOPEN) {
        std::fprintf(stderr, "qorfax: %s: the phone book is in use by another program\n", path.c_str());
        return kExitFailed;
    }
    if (st == qorsf::DB_NOTFOUND) {
        int16_t exists = 0;
        UL_fileexists(path.c_str(), &exists);
        if (!exists) {
            std::printf("%s: no phone book file yet (nothing to check)\n", path.c_str());
            return kExitOk;
        }
    }
    std::printf("%s: %u pages, %d levels, %u entries, %u records, %u index entries, %u free numbers\n",
                path.c_str(), r.pages, r.levels, r.entries, r.records, r.indexEntries, r.freeNumbers);
    if (r.problems.empty()) {
        std::printf("no damage found\n");
        return kExitOk;
    }
    for (const std::string& p : r.problems) std::printf("damage: %s\n", p.c_str());
    std::printf("the phone book is damaged: run `qorfax phonebook repair` (it keeps the damaged file)\n");
    return kExitFailed;
}

int repair(const std::string& path) {
    Table t;
    qorsf::DB_REPAIRREPORT r;
    int16_t st = qorsf::DB_repair(path.c_str(), t.fields, t.recbuf, qorsf::kPbRecordLength, &r);
    if (st == qorsf::DB_LOCKOPEN) {
        std::fprintf(stderr, "qorfax: %s: the phone book is in use by another program\n", path.c_str());
        return kExitFailed;
    }
    if (st != 0) {
        std::fprintf(stderr, "qorfax: %s: the phone book could not be rebuilt (store status %d); the file is unchanged\n",
                     path.c_str(), st);
        return kExitFailed;
    }
    std::printf("recovered %u of %u records (%u damaged pages passed over)\n", r.recovered, r.found, r.damagedPages);
    std::printf("the damaged file is kept as %s\n", r.aside.c_str());
    return kExitOk;
}

}  // namespace

std::string phonebookProblem(int16_t status) {
    if (status != SF_STOREFAILED && status != 13002) return "";
    const int16_t code = qorsf::SF_dbproblem();
    if (code == qorsf::DB_LOCKOPEN) return "the phone book is in use by another program";
    if (qorsf::DB_damagecode(code)) return "the phone book is damaged: run `qorfax phonebook check`";
    return "";
}

int phonebookCheck(const Args& all) {
    if (wantsHelp(all)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    Options o;
    if (std::string problem = takeOptions(all, o); !problem.empty()) return usage(kHelp, problem);
    if (o.rest.size() != 1) return usage(kHelp, o.rest.empty() ? "a verb is needed" : o.rest[0] + " takes no arguments");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    if (int rc = useBook(o)) return rc;
    const std::string path = bookPath(host.handle());
    return o.rest[0] == "repair" ? repair(path) : check(path);
}

}  // namespace qorfax
