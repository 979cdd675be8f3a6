// Cover pages: the cover templates of the settings file, a form cover (the cover texts gathered
// into the form data block and filled into a cover form by QORCE), a text cover (a text document
// of the cover layout made into fax pages between the header and footer fax files), and the
// cover page the send flow makes for each recipient.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qorce.h"
#include "qorsf.h"
#include "qorwintypes.h"

namespace qorsf {

// One template of the list.
struct CoverTemplate {
    int16_t number = 0;
    std::string value;        // as the settings file holds it
    std::string file;         // the file name, ".001" added when it has no point
    std::string path;         // in the data directory
    std::string description;  // after the comma; empty without one
    bool exists = false;
};
// The templates "template1" upwards of [TEMPLATES], to the first missing or empty key.
std::vector<CoverTemplate> SF_covertemplates(uint32_t host);
// Template n: its path (80 bytes) and description (80 bytes). 13102 when the key is missing or
// empty, or its file does not exist (reported with the path).
int16_t SF_templatelookup(uint32_t host, int16_t number, char* path, char* description);

// The form data block of a cover: the template path, the cover texts, the sender's texts of
// the configuration, the date and time, the memo (at most 3199 characters). `subject` may be
// null (the subject stays empty).
int16_t SF_formdata(uint32_t host, const COVER_SHEET* cover, int16_t documents, const char* subject,
                    CE_FORMDATA* block);
// A form cover of the cover's template at `output` (a fax file).
int16_t SF_formcover(uint32_t host, const COVER_SHEET* cover, const char* output, int16_t documents, int16_t fine,
                     const char* subject = nullptr);
// A text document rendered into fax pages at `output`, between the cover's header and footer
// fax files when `background` is set. The engine lock is held throughout.
int16_t SF_textcover(uint32_t host, const COVER_SHEET* cover, const char* text, const char* output, int16_t fine,
                     int16_t background, HFONT font);
// The cover page of one recipient at `path`; `type` gets 1 (fax image) or 2 (text).
int16_t SF_makecover(uint32_t host, const COVER_SHEET* cover, const char* path, int16_t documents, int16_t fine,
                     int16_t* type, const char* subject = nullptr);
// Recipient texts 1-4 of the cover become the entry's name, company, voice and fax number
// (nothing changes when the name is empty).
void SF_fillcoverto(uint32_t host, const PB_ENTRY* entry, COVER_SHEET* cover);

enum : int16_t {
    SF_NOHEADERFILE = 20231,  // the header fax file named in the cover data does not exist
    SF_NOFOOTERFILE = 20232,  // the footer fax file named in the cover data does not exist
};

}  // namespace qorsf
