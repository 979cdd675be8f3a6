// The phone book work area: the memory in which the phone book store is opened and closed around
// every phone book operation, and the two operations that do it (SF_prolog, SF_epilog).
//
// The area is one movable block, locked only while an operation runs. Operations that change the
// phone book end with SF_epilog, which closes the store; operations that only read end with
// SF_pbrelease, which unlocks the area and leaves the store open, so that the next call of a walk
// finds the store (and its cursors) where the last call left it.
#pragma once

#include <cstdint>

#include "qorsf.h"
#include "store/store.h"

// The phone book context (opaque in the public header).
struct SF_PBCONTEXT {
    char path[80];             // the phone book store file
    uint16_t reclength;        // 736 while the store is open, 0 when closed
    uint32_t recbufHandle;     // the 800-byte record buffer of the store, 0 = none
    void* recbuf;
    char* name;                // the three field buffers: into the record image
    char* group;
    char* info;
    qorsf::DB_FIELD table[4];  // name, group, info and the end mark 'E'
    qorsf::DB_HANDLE db;
    uint16_t openmode;         // 0 = closed, else the mode letter given to SF_prolog ('E')
};

namespace qorsf {

constexpr uint16_t kPbRecordLength = 736;   // 5 + (2 + 31) + (2 + 31) + (2 + 661) + 2
constexpr uint32_t kPbRecordBuffer = 800;
constexpr uint16_t kPbModeExclusive = 'E';
constexpr int kPbKeyName = 1;
constexpr int kPbKeyGroup = 2;

// The whole work area. The four scratch texts are cleared whenever the store is opened; the
// first two carry the walks from one call to the next: the name the last name walk gave and the
// group the last group walk gave.
struct PbWorkArea {
    SF_PBCONTEXT context;
    PB_RECORD record;          // the field buffers of the field table
    char scratch[4][31];
};

inline char* currentName(PbWorkArea* a) { return a->scratch[0]; }
inline char* currentGroup(PbWorkArea* a) { return a->scratch[1]; }

// Opens the phone book store in the work area (creating an empty store when there is none) and
// gives the context. 0, the allocator's status, the path's status, or 20450.
int16_t SF_prolog(uint32_t host, SF_PBCONTEXT** context, uint16_t mode);
// Closes the store, clears the context and unlocks the work area. Always 0 unless the area
// cannot be had.
int16_t SF_epilog(uint32_t host);
// Gets (locks) the work area without opening anything: what the walks that go on begin with.
int16_t SF_pbgetarea(uint32_t host, PbWorkArea** area);
// Releases the work area: unlocks it when it is marked locked; the store stays open.
void SF_pbrelease(uint32_t host);
// SF_close's share: closes the store if open and frees the work area.
void SF_pbclose(uint32_t host);

// For tests: whether the area exists, is locked, and whether the store is open.
bool pbworkAllocated();
bool pbworkLocked();
bool pbstoreOpen();
// Forgets the work area (tests; frees it when it exists, without closing the store).
void pbwork_reset();

}  // namespace qorsf
