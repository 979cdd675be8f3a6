// The printed listings of the phone book, by name and by group, written through the report
// writer with the layouts named by language texts 2005 and 2006.
#pragma once

#include <cstdint>
#include <functional>

#include "qorsf.h"

namespace qorsf {

constexpr int kListingColumns = 10;
constexpr std::size_t kListingColumnSize = 120;

// Builds the rows of a listing from the records of a walk in key order. A row has ten columns:
// 0 name, 1 group, 2 number, 3 voice, 4 company, 5 text1, 6 text2, 7 text3, 8 altnumber,
// 9 othernumber.
//
// By name (records with a name): a name's own record gives its details; each group of the
// name gives one row of the name, the group and the name's details; a name without groups
// gives one row with an empty group. By group (records with a group): a group's own row, then
// one row per member, each of the name and the group only.
class ListingRows {
public:
    using Writer = std::function<int16_t(const char* const* columns)>;
    ListingRows(uint32_t host, bool byGroup, Writer write) : host_(host), byGroup_(byGroup), write_(std::move(write)) {}
    // Takes the next record of the walk; writes the row it completes.
    int16_t add(const PB_RECORD& record);
    // Writes the row still pending.
    int16_t finish();

private:
    int16_t addByName(const PB_RECORD& r);
    int16_t addByGroup(const PB_RECORD& r);
    int16_t writeRow();
    void fill(const PB_RECORD& r);
    void details(const PB_RECORD& r);
    void clearDetails();
    void set(int column, const char* text);

    uint32_t host_;
    bool byGroup_;
    Writer write_;
    char columns_[kListingColumns][kListingColumnSize] = {};
    bool pending_ = false;
};

// Writes the listing into `reportPath` (by group when byGroup): the report opened on the
// listing's layout, the phone book walked, the report closed. printAfterwards tells whether
// the layout leaves the printing to the caller (it names no output file of its own).
int16_t SF_writelisting(uint32_t host, bool byGroup, const char* reportPath, int16_t* printAfterwards);
// The listings as the phone book window prints them: written to a new spool file, printed
// (FN_printdoc) when the layout asks for it, the spool file deleted. `status` gets the result
// too.
int16_t SF_printbyname(uint32_t host, int16_t* status);
int16_t SF_printbygroup(uint32_t host, int16_t* status);

}  // namespace qorsf
