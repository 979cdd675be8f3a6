// Check and repair of a store file.
//
// The check reads every page as bytes (frame, entries, the zero tail), follows every level of
// the tree from its leftmost page along the neighbour links, and then, through the store's own
// operations, reads every record image, finds every index entry of every record, and finds the
// record of every index entry and every free number. The repair reads every page of the file
// as bytes, whatever the tree says, gathers the pieces of record images (key 19), keeps each
// image whose pieces follow each other and whose checksum and field table are right, and adds
// those records to a new store that then takes the damaged file's place; the damaged file stays
// beside it under another name.
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "qorul.h"
#include "store/btree.h"
#include "store/journal.h"
#include "store/pagefile.h"
#include "store/store.h"

namespace qorsf {

namespace {

struct RawEntry {
    std::string text;  // stored text, key-number byte first
    uint32_t rec = 0;
    uint8_t seg = 0;
    int16_t child = 0;
    std::vector<uint8_t> data;
};

// Parses the entries of a page; false (with the entries read so far) at the first that lies.
bool parseEntries(const DB_PAGE& pg, std::vector<RawEntry>& out, std::string* why) {
    out.clear();
    const bool interior = pg.level != 0;
    int off = 0;
    const int count = pg.count < 0 ? 0 : pg.count;
    for (int i = 0; i < count; ++i) {
        if (off >= DB_AREASIZE) {
            if (why) *why = "entry " + std::to_string(i) + " starts past the entry area";
            return false;
        }
        const int len = pg.area[off];
        const int tail = interior ? 7 : 5;
        if (off + 1 + len > DB_AREASIZE || len < 2 + tail) {
            if (why) *why = "entry " + std::to_string(i) + " has a length that does not fit";
            return false;
        }
        const uint8_t* t = pg.area + off + 1;
        int n = 0;
        while (n < len - tail && t[n] != 0) ++n;
        if (n >= len - tail || n < 1 || (interior && len != n + 8)) {
            if (why) *why = "entry " + std::to_string(i) + " has no proper key text";
            return false;
        }
        RawEntry e;
        e.text.assign(reinterpret_cast<const char*>(t), static_cast<size_t>(n));
        std::memcpy(&e.rec, t + n + 1, 4);
        e.seg = t[n + 5];
        if (interior) std::memcpy(&e.child, t + n + 6, 2);
        else e.data.assign(t + n + 6, pg.area + off + 1 + len);
        out.push_back(std::move(e));
        off += len + 1;
    }
    if (pg.freebytes != DB_AREASIZE - off) {
        if (why) *why = "the free byte count says " + std::to_string(pg.freebytes) + ", the entries leave " +
                        std::to_string(DB_AREASIZE - off);
        return false;
    }
    for (int i = off; i < DB_AREASIZE; ++i) {
        if (pg.area[i] != 0) {
            if (why) *why = "bytes after the last entry are not zero";
            return false;
        }
    }
    return true;
}

int compare(const RawEntry& a, const RawEntry& b) {
    int c = std::memcmp(a.text.data(), b.text.data(), std::min(a.text.size(), b.text.size()));
    if (c != 0) return c < 0 ? -1 : 1;
    if (a.text.size() != b.text.size()) return a.text.size() < b.text.size() ? -1 : 1;
    int32_t d = static_cast<int32_t>(a.rec - b.rec);
    if (d != 0) return d < 0 ? -1 : 1;
    if (a.seg != b.seg) return a.seg < b.seg ? -1 : 1;
    return 0;
}

std::string describe(const RawEntry& e) {
    std::string s = "key " + std::to_string(e.text.empty() ? 0 : static_cast<uint8_t>(e.text[0]));
    if (e.text.size() > 1) s += " \"" + e.text.substr(1) + "\"";
    return s + " record " + std::to_string(e.rec);
}

class Checker {
public:
    Checker(DB_HANDLE* h, DB_FIELD* table, DB_CHECKREPORT* r) : h_(h), table_(table), r_(r) {}

    void run() {
        pages();
        if (r_->problems.size() > kMaxProblems) return;
        levels();
        records();
        indexes();
        freeNumbers();
    }

private:
    static constexpr size_t kMaxProblems = 200;

    void problem(const std::string& p) {
        if (r_->problems.size() < kMaxProblems) r_->problems.push_back(p);
        else if (r_->problems.size() == kMaxProblems) r_->problems.push_back("(more problems not listed)");
    }

    bool page(int16_t no, DB_PAGE* pg) {
        int16_t st = pf::readPageDirect(static_cast<int16_t>(h_->file), pg, no);
        if (st != 0) problem("page " + std::to_string(no) + " cannot be read (" + std::to_string(st) + ")");
        return st == 0;
    }

    // Every page the file says it has: a frame and entries that make sense.
    void pages() {
        r_->pages = static_cast<uint32_t>(h_->pagespresent);
        uint32_t length = UL_filelength(static_cast<int16_t>(h_->file));
        if (length != 0xFFFFFFFFu && length < (static_cast<uint32_t>(h_->pagespresent) + 1u) * DB_PAGESIZE)
            problem("the file is shorter than its " + std::to_string(h_->pagespresent) + " pages");
        if (h_->pagecounter > h_->pagespresent)
            problem("the page counter " + std::to_string(h_->pagecounter) + " is past the pages present");
        std::vector<RawEntry> entries;
        for (int16_t p = 0; p < h_->pagespresent && p <= DB_MAXPAGE; ++p) {
            DB_PAGE pg;
            if (!page(p, &pg)) continue;
            if (p >= h_->pagecounter) {
                static const DB_PAGE zero{};
                if (std::memcmp(&pg, &zero, sizeof pg) != 0) problem("page " + std::to_string(p) + " is not in use but not empty");
                continue;
            }
            std::string why;
            if (pg.level < 0 || pg.level >= h_->levels) {
                problem("page " + std::to_string(p) + " has level " + std::to_string(pg.level));
                continue;
            }
            if (pg.count < 0 || pg.count > DB_MAXENTRIES) {
                problem("page " + std::to_string(p) + " claims " + std::to_string(pg.count) + " entries");
                continue;
            }
            if (!parseEntries(pg, entries, &why)) problem("page " + std::to_string(p) + ": " + why);
            for (size_t i = 1; i < entries.size(); ++i)
                if (compare(entries[i - 1], entries[i]) >= 0)
                    problem("page " + std::to_string(p) + ": entries out of order at " + std::to_string(i));
        }
    }

    // Each level from its leftmost page along the neighbour links: levels, links and order.
    void levels() {
        DB_PAGE pg;
        int16_t leftmost = h_->root;
        std::vector<RawEntry> entries;
        std::set<int16_t> seen;
        for (int level = h_->levels - 1; level >= 0; --level) {
            int16_t p = leftmost, prev = -1;
            RawEntry last;
            bool haveLast = false;
            int16_t nextLeftmost = -1;
            std::set<int16_t> children;
            while (p != -1) {
                if (p < 0 || p >= h_->pagecounter || seen.count(p)) {
                    problem("level " + std::to_string(level) + " links to page " + std::to_string(p) +
                            (seen.count(p) ? " a second time" : ", which is not in use"));
                    break;
                }
                seen.insert(p);
                if (!page(p, &pg)) break;
                if (pg.level != level) problem("page " + std::to_string(p) + " stands at level " + std::to_string(level) + " but says " + std::to_string(pg.level));
                if (pg.prev != prev) problem("page " + std::to_string(p) + " names page " + std::to_string(pg.prev) + " as its left neighbour, not " + std::to_string(prev));
                parseEntries(pg, entries, nullptr);
                if (level > 0) {
                    if (nextLeftmost == -1) nextLeftmost = pg.leftchild;
                    children.insert(pg.leftchild);
                    for (const RawEntry& e : entries) children.insert(e.child);
                }
                for (const RawEntry& e : entries) {
                    if (haveLast && compare(last, e) >= 0) problem("level " + std::to_string(level) + ": " + describe(e) + " on page " + std::to_string(p) + " is out of order");
                    last = e;
                    haveLast = true;
                    if (level == 0) r_->entries++;
                }
                prev = p;
                p = pg.next;
            }
            if (level > 0) {
                // Every child named by this level is a page of the level below.
                std::set<int16_t> below;
                for (int16_t q = nextLeftmost; q >= 0 && q < h_->pagecounter && !below.count(q);) {
                    below.insert(q);
                    DB_PAGE c;
                    if (pf::readPageDirect(static_cast<int16_t>(h_->file), &c, q) != 0) break;
                    q = c.next;
                }
                for (int16_t c : children)
                    if (!below.count(c)) problem("level " + std::to_string(level) + " names page " + std::to_string(c) + " as a child, which is not on the level below");
            }
            leftmost = nextLeftmost;
            if (level > 0 && leftmost < 0) {
                problem("level " + std::to_string(level) + " has no leftmost child");
                break;
            }
        }
        for (int16_t p = 0; p < h_->pagecounter; ++p)
            if (!seen.count(p)) problem("page " + std::to_string(p) + " is in use but no level links to it");
    }

    // Every record image reads, and every index entry of it is there.
    void records() {
        int n = 0;
        while (table_[n].type != 'E' && n < 64) ++n;
        for (int16_t st = DB_move(h_, DB_KEYDATA, DB_FIRST); st == 0; st = DB_move(h_, DB_KEYDATA, DB_NEXT)) {
            const uint32_t rec = h_->current;
            r_->records++;
            if (rec >= h_->recordcounter) problem("record " + std::to_string(rec) + " is above the record counter");
            if (int16_t rs = DB_read(h_, table_)) {
                problem("record " + std::to_string(rec) + " cannot be read (" + std::to_string(rs) + ")");
                continue;
            }
            imageRecords_.insert(rec);
            for (int i = 0; i < n; ++i) {
                const DB_FIELD& f = table_[i];
                if (f.keytype == 'N' || f.type != 'S') continue;
                char text[DB_MAXKEYTEXT + 1];
                std::snprintf(text, sizeof text, "%s", static_cast<const char*>(f.buffer));
                // Find leaves the cursor of the field's key: the walk of key 19 goes on from its own.
                if (bt::search(h_, f.keynum, text, rec, nullptr, 0) != 0)
                    problem("record " + std::to_string(rec) + " has no index entry under key " + std::to_string(f.keynum) + " for \"" + text + "\"");
            }
            h_->current = rec;
        }
        if (h_->laststatus != DB_NOTFOUND) problem("the walk of the records stopped with " + std::to_string(h_->laststatus));
    }

    // Every index entry leads to a record whose field holds its text.
    void indexes() {
        int n = 0;
        while (table_[n].type != 'E' && n < 64) ++n;
        for (int i = 0; i < n; ++i) {
            const DB_FIELD& f = table_[i];
            if (f.keytype == 'N' || f.type != 'S') continue;
            for (int16_t st = DB_move(h_, f.keynum, DB_FIRST); st == 0; st = DB_move(h_, f.keynum, DB_NEXT)) {
                r_->indexEntries++;
                const uint32_t rec = h_->current;
                const std::string text = h_->savedbuf[f.keynum];
                if (!imageRecords_.count(rec)) {
                    problem("index entry \"" + text + "\" under key " + std::to_string(f.keynum) + " leads to record " + std::to_string(rec) + ", which is not there");
                    continue;
                }
                if (DB_read(h_, table_) == 0 && std::strncmp(static_cast<const char*>(f.buffer), text.c_str(), DB_MAXKEYTEXT) != 0)
                    problem("index entry \"" + text + "\" under key " + std::to_string(f.keynum) + " leads to record " + std::to_string(rec) + ", which holds \"" + static_cast<const char*>(f.buffer) + "\"");
            }
            if (h_->laststatus != DB_NOTFOUND) problem("the walk of key " + std::to_string(f.keynum) + " stopped with " + std::to_string(h_->laststatus));
        }
    }

    void freeNumbers() {
        std::set<uint32_t> free;
        for (int16_t st = bt::first(h_, DB_KEYFREE, nullptr, 0); st == 0; st = bt::next(h_, DB_KEYFREE, nullptr, 0)) {
            const uint32_t rec = bt::cursorRecord(h_);
            r_->freeNumbers++;
            if (rec == 0 || rec >= h_->recordcounter) problem("free number " + std::to_string(rec) + " was never given");
            if (imageRecords_.count(rec)) problem("free number " + std::to_string(rec) + " belongs to a record");
            if (!free.insert(rec).second) problem("free number " + std::to_string(rec) + " is listed twice");
        }
    }

    DB_HANDLE* h_;
    DB_FIELD* table_;
    DB_CHECKREPORT* r_;
    std::set<uint32_t> imageRecords_;
};

// Record images gathered from the raw pages: pieces by record number and piece index.
using Pieces = std::map<uint32_t, std::map<int, std::vector<std::vector<uint8_t>>>>;

void gather(int16_t file, uint32_t blocks, Pieces& pieces, uint32_t* damagedPages) {
    std::vector<RawEntry> entries;
    for (uint32_t b = 1; b < blocks && b - 1 <= static_cast<uint32_t>(DB_MAXPAGE); ++b) {
        DB_PAGE pg;
        if (pf::readPageDirect(file, &pg, static_cast<int16_t>(b - 1)) != 0) {
            ++*damagedPages;
            continue;
        }
        if (pg.level != 0) continue;
        std::string why;
        if (!parseEntries(pg, entries, &why)) ++*damagedPages;  // what came before the fault still counts
        for (RawEntry& e : entries) {
            if (e.text.size() != 1 || static_cast<uint8_t>(e.text[0]) != DB_KEYDATA) continue;
            auto& alts = pieces[e.rec][e.seg];
            bool same = false;
            for (const auto& a : alts) same = same || a == e.data;
            if (!same) alts.push_back(std::move(e.data));
        }
    }
}

// Assembles the image of one record from its pieces: indexes 0, 1, ... up to the one marked
// last; among copies of a piece (a damaged file may hold stale ones) the first combination
// whose checksum and table are right wins. Length of the image, or 0.
size_t assemble(DB_HANDLE* h, DB_FIELD* table, const std::map<int, std::vector<std::vector<uint8_t>>>& segs) {
    std::vector<const std::vector<std::vector<uint8_t>>*> order;
    for (int idx = 0; idx < 128; ++idx) {
        const auto* plain = segs.count(idx) ? &segs.at(idx) : nullptr;
        const auto* last = segs.count(idx | 0x80) ? &segs.at(idx | 0x80) : nullptr;
        if (last) {
            order.push_back(last);
            break;
        }
        if (!plain) return 0;
        order.push_back(plain);
    }
    if (order.empty()) return 0;
    std::vector<size_t> pick(order.size(), 0);
    uint8_t* out = static_cast<uint8_t*>(h->recbuf);
    for (int tries = 0; tries < 64; ++tries) {
        size_t len = 0;
        bool fits = true;
        for (size_t i = 0; i < order.size() && fits; ++i) {
            const auto& piece = (*order[i])[pick[i]];
            if (len + piece.size() > h->reclength) fits = false;
            else std::memcpy(out + len, piece.data(), piece.size());
            len += piece.size();
        }
        h->datalength = static_cast<uint16_t>(len > 0xFFFF ? 0xFFFF : len);
        if (fits && DB_unpackimage(h, table, len) == 0) return len;
        // The next combination of copies.
        size_t i = 0;
        while (i < pick.size() && ++pick[i] >= order[i]->size()) pick[i++] = 0;
        if (i == pick.size()) break;
    }
    return 0;
}

}  // namespace

int16_t DB_check(const char* path, DB_FIELD* table, void* recbuf, uint16_t reclength, DB_CHECKREPORT* report) {
    if (!path || !table || !report) return DB_NOTFOUND;
    *report = DB_CHECKREPORT{};
    DB_HANDLE h{};
    int16_t st = DB_open(&h, path, recbuf, reclength);
    report->openStatus = st;
    if (st != 0) {
        report->problems.push_back("the file cannot be opened as a store (" + std::to_string(st) + ")");
        return st;
    }
    report->levels = h.levels;
    Checker(&h, table, report).run();
    DB_close(&h);
    return 0;
}

int16_t DB_repair(const char* path, DB_FIELD* table, void* recbuf, uint16_t reclength, DB_REPAIRREPORT* report) {
    if (!path || !table || !report) return DB_NOTFOUND;
    *report = DB_REPAIRREPORT{};
    // The damaged file stays locked while its records are read and its successor is made.
    DB_HANDLE h{};
    int16_t st = DB_open(&h, path, recbuf, reclength);
    int16_t file = -1;
    if (st == 0) {
        file = static_cast<int16_t>(h.file);
    } else if (st == DB_LOCKOPEN) {
        return st;
    } else {
        file = UL_open(path, 2);
        if (file < 0) return UL_filebusy(path) == 1 ? DB_LOCKOPEN : DB_NOTFOUND;
        h.file = file;
        h.recbuf = recbuf;
        h.reclength = reclength;
    }
    Pieces pieces;
    const uint32_t length = UL_filelength(file);
    gather(file, length == 0xFFFFFFFFu ? 0 : length / DB_PAGESIZE, pieces, &report->damagedPages);
    report->found = static_cast<uint32_t>(pieces.size());

    const std::string fresh = std::string(path) + ".rebuilt";
    UL_delete(fresh.c_str());
    DB_HANDLE nh{};
    uint8_t nbuf[1024];
    st = DB_create(&nh, fresh.c_str(), nbuf, reclength <= sizeof nbuf ? reclength : sizeof nbuf);
    if (st == 0) {
        DB_beginunit(fresh.c_str());
        for (const auto& [rec, segs] : pieces) {
            // The image is unpacked with the damaged file's handle (its buffer), then added anew.
            if (assemble(&h, table, segs) == 0) continue;
            if ((st = DB_add(&nh, table)) != 0) break;
            report->recovered++;
        }
        int16_t cs = DB_close(&nh);
        if (st == 0) st = cs;
        int16_t us = DB_endunit(fresh.c_str(), st == 0);
        if (st == 0) st = us;
    }
    if (st == 0) {
        // The damaged file gets a second name first, so that the store's name is never empty.
        std::string aside = std::string(path) + ".damaged";
        for (int i = 2; UL_linknew(path, aside.c_str()) != 0; ++i) {
            int16_t exists = 0;
            UL_fileexists(aside.c_str(), &exists);
            if (!exists || i > 999) {
                st = DB_WRITEFAIL;
                break;
            }
            aside = std::string(path) + ".damaged-" + std::to_string(i);
        }
        if (st == 0) {
            report->aside = aside;
            if (UL_renameover(fresh.c_str(), path) != 0) st = DB_WRITEFAIL;
            else UL_syncdir(path);
        }
    }
    if (st != 0) UL_delete(fresh.c_str());
    if (h.state == 'O') {
        h.state = 'O';
        // Nothing was written through this handle; the journal must not count anything either.
        DB_close(&h);
    } else {
        UL_close(file);
    }
    return st;
}

}  // namespace qorsf
