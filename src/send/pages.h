// Fax pages in the send flows: documents that are not fax images as they are become page
// files in the spool before a job is queued; manual send and receive.
#pragma once

#include <cstdint>

#include "qorlib1.h"
#include "qorsf.h"

namespace qorsf {

// The page settings of a send: paper, coding and page limit from the settings, fine resolution
// from the options (or the fax parameters when options is null).
int16_t SF_pageinfo(uint32_t host, const SendOptions* options, L1_PAGEINFO* info);
// The document reader's check of a document bound for the spool: 0 when it can be faxed
// (`convertible` set when it is made into page files rather than copied), else its status.
int16_t SF_documentcheck(uint32_t host, const char* path, bool* convertible, int16_t* pages);
// Spools one document: a fax image is copied as it is (SF_makecopy, one entry); anything else
// is made into page files under a spool base of its own, one entry (type 1) each. `added` gets
// the number of entries filled from `destination`; no more than `capacity` (13001 beyond).
int16_t SF_spooldocument(uint32_t host, const SendOptions* options, const char* path, int16_t type,
                         int16_t index, DocumentEntry* destination, int capacity, int16_t* added);

// ---- Manual send and receive
int16_t SF_manualsend(uint32_t host, char* pageNameOut /* 80 */, int16_t* pageCountOut, uint16_t noConfirm);
int16_t SF_manualrecv(uint32_t host);
int16_t SF_makepages(uint32_t host, const char* document, const char* outName, int16_t type, int16_t pagesSoFar,
                     int16_t* pages);
int16_t SF_deletepages(uint32_t host, const char* outName, int16_t count);

constexpr int16_t kProductWindow = 4096;
constexpr uint32_t kManualReceiveMessage = 28644;

}  // namespace qorsf
