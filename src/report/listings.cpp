// The phone book listings: the rows of a name or group walk, written through the report writer.
#include "report/listings.h"

#include <cstring>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/phonebook.h"
#include "report/report.h"

namespace qorsf {

namespace {

// A text that the listing treats as empty: NUL, a blank or a control character first.
bool emptyText(const char* s) { return !s || static_cast<unsigned char>(s[0]) <= ' '; }

// A record's info is present when it begins with a fax number.
bool infoPresent(const PB_RECORD& r) { return !SF_isblank(r.info); }

}  // namespace

void ListingRows::set(int column, const char* text) {
    UL_strcopy(columns_[column], kListingColumnSize, text ? text : "");
}

void ListingRows::clearDetails() {
    for (int c = 2; c < kListingColumns; ++c) columns_[c][0] = '\0';
}

// Columns 2 to 9 from the record's info.
void ListingRows::details(const PB_RECORD& r) {
    PB_ENTRY e{};
    char info[kPbInfoWidth + 1];
    std::memset(info, ' ', kPbInfoWidth);
    info[kPbInfoWidth] = '\0';
    std::memcpy(info, r.info, strnlen(r.info, kPbInfoWidth));
    qorsf::SF_infotoentry(host_, info, &e);
    set(2, e.number);
    set(3, e.voice);
    set(4, e.company);
    set(5, e.text1);
    set(6, e.text2);
    set(7, e.text3);
    set(8, e.altnumber);
    set(9, e.othernumber);
}

// The row from a record: its name and group, and its details only when the group is empty.
void ListingRows::fill(const PB_RECORD& r) {
    set(0, r.name);
    set(1, r.group);
    if (emptyText(columns_[1])) {
        details(r);
    } else {
        clearDetails();
    }
}

int16_t ListingRows::writeRow() {
    const char* cols[kListingColumns];
    for (int c = 0; c < kListingColumns; ++c) cols[c] = columns_[c];
    return write_(cols);
}

int16_t ListingRows::add(const PB_RECORD& record) {
    // The record comes from a store: make sure its texts end within their fields.
    PB_RECORD r = record;
    r.name[sizeof r.name - 1] = '\0';
    r.group[sizeof r.group - 1] = '\0';
    r.info[sizeof r.info - 1] = '\0';
    return byGroup_ ? addByGroup(r) : addByName(r);
}

// Rows by name. The details of a name come from its own record; a group of the name only puts
// the group into the row, whichever order the name's records come in and whether or not a
// group's record holds a copy of the name's details, so that every group of a name gets one
// row with the name's details and no row is written twice.
int16_t ListingRows::addByName(const PB_RECORD& r) {
    if (SF_isblank(r.name)) return 0;
    const bool membership = !SF_isblank(r.group);
    if (!pending_ || std::strcmp(r.name, columns_[0]) != 0) {
        if (pending_ && !SF_isblank(columns_[0]))
            if (int16_t st = writeRow()) return st;
        set(0, r.name);
        set(1, membership ? r.group : "");
        if (!membership && infoPresent(r)) {
            details(r);
        } else {
            clearDetails();
        }
        pending_ = true;
        return 0;
    }
    if (!membership) {
        if (!infoPresent(r)) return 0;
        if (SF_isblank(columns_[2])) {
            details(r);  // the name's groups came first: they get its details
        } else {
            if (int16_t st = writeRow()) return st;
            set(1, "");
            details(r);
        }
        return 0;
    }
    if (std::strcmp(r.group, columns_[1]) == 0) return 0;
    if (!SF_isblank(columns_[1]))
        if (int16_t st = writeRow()) return st;
    set(1, r.group);
    return 0;
}

// Rows by group: a group's own record starts the group's row with an empty name, and its
// first member takes that row over; only a group without members keeps a row of its own
// record. Then one row per member, each of the name and the group only.
int16_t ListingRows::addByGroup(const PB_RECORD& r) {
    if (SF_isblank(r.group)) return 0;
    const bool sameGroup = pending_ && std::strcmp(r.group, columns_[1]) == 0;
    if (sameGroup) {
        if (SF_isblank(r.name)) {
            if (!infoPresent(r)) return 0;
            if (int16_t st = writeRow()) return st;
        } else {
            if (std::strcmp(r.name, columns_[0]) == 0) return 0;
            // The row of the group's own record is taken over, not written.
            if (!SF_isblank(columns_[0]))
                if (int16_t st = writeRow()) return st;
        }
    } else if (pending_ && !SF_isblank(columns_[1])) {
        if (int16_t st = writeRow()) return st;
    }
    fill(r);
    pending_ = true;
    return 0;
}

int16_t ListingRows::finish() {
    if (!pending_) return 0;
    pending_ = false;
    return writeRow();
}

namespace {

// The phone book store of the walk, closed on every return.
struct OpenBook {
    uint32_t host;
    bool open = false;
    ~OpenBook() {
        if (open) qorsf::SF_epilog(host);
    }
};

}  // namespace

int16_t SF_writelisting(uint32_t host, bool byGroup, const char* reportPath, int16_t* printAfterwards) {
    if (printAfterwards) *printAfterwards = 0;
    if (!reportPath || !*reportPath) return UL_E_BADARG;
    char layout[80] = {};
    if (int16_t st = UL_loadstring(host, layout, kLangModule, byGroup ? 2006 : 2005)) return st;

    RPT_CONTEXT ctx{};
    struct Release {
        uint32_t host;
        RPT_CONTEXT* ctx;
        ~Release() { SF_rptfree(host, ctx); }
    } release{host, &ctx};
    if (int16_t st = SF_rptopen(host, reportPath, layout, &ctx)) return st;

    OpenBook book{host};
    SF_PBCONTEXT* pb = nullptr;
    if (int16_t st = qorsf::SF_prolog(host, &pb, kPbModeExclusive)) return st;
    book.open = true;
    PbWorkArea* area = nullptr;
    if (int16_t st = SF_pbgetarea(host, &area)) return st;

    ListingRows rows(host, byGroup, [&](const char* const* cols) {
        return SF_rptline(host, &ctx, nullptr, 0, kListingColumns, cols);
    });
    const int16_t key = byGroup ? kPbKeyGroup : kPbKeyName;
    // A move that finds no further record ends the walk.
    uint32_t records = 0;
    for (int16_t dir = DB_FIRST; SF_dbmove(host, &area->context.db, key, dir) == 0; dir = DB_NEXT) {
        if (int16_t st = SF_dbread(host, &area->context.db, area->context.table)) return st;
        if (int16_t st = rows.add(area->record)) return st;
        UL_progress(host, "listing", ++records, 0);
        UL_yield(host);
    }
    UL_progress(host, "listing", UL_PROGRESS_END, 0);
    if (int16_t st = rows.finish()) return st;
    if (int16_t st = SF_rptclose(host, &ctx)) return st;
    if (printAfterwards) *printAfterwards = ctx.printAfterwards;  // close, then ask, as callers do
    return 0;
}

namespace {

int16_t printListing(uint32_t host, bool byGroup, int16_t* status) {
    char path[UL_MAXPATH];
    int16_t st = UL_getpath(host, path, 22);
    if (st == 0) {
        int16_t print = 0;
        st = SF_writelisting(host, byGroup, path, &print);
        if (st == 0 && print) st = FN_printdoc(host, path, 0);
        UL_fdelete(host, path);
    }
    if (status) *status = st;
    return st;
}

}  // namespace

int16_t SF_printbyname(uint32_t host, int16_t* status) { return printListing(host, false, status); }
int16_t SF_printbygroup(uint32_t host, int16_t* status) { return printListing(host, true, status); }

}  // namespace qorsf
