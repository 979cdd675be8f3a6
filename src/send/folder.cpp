// The non-interactive send of the document list (SF_faxfolder) and the pieces it shares with
// the window flows: collecting and checking the documents, the delete list holds of a batch,
// and the notification of the host's queue window.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "qorwindow.h"
#include "frame/services/guards.h"
#include "cover/cover.h"
#include "send/recovery.h"
#include "send/pages.h"
#include "send/send.h"

namespace qorsf {

namespace {


class DocumentArea {
public:
    explicit DocumentArea(uint32_t host) : host_(host) {}
    ~DocumentArea() { release(); }
    DocumentArea(const DocumentArea&) = delete;
    DocumentArea& operator=(const DocumentArea&) = delete;
    int16_t take() {
        void* p = nullptr;
        int16_t st = UL_getarea(host_, FN_AREA_DOCLIST, &p);
        if (st == 0) area_ = static_cast<FN_DOCAREA*>(p);
        return st;
    }
    int16_t release() {
        if (!area_) return 0;
        area_ = nullptr;
        return UL_releasearea(host_, FN_AREA_DOCLIST);
    }
    FN_DOCAREA* get() const { return area_; }

private:
    uint32_t host_;
    FN_DOCAREA* area_ = nullptr;
};

// The text of a document entry up to its first blank: the file's path.
std::string entryPath(const DocumentEntry& d) {
    const std::string text(d.text, ::strnlen(d.text, sizeof d.text));
    return text.substr(0, text.find(' '));
}

}  // namespace

int16_t SF_notifyqueue(uint32_t host) {
    HWND window = nullptr;
    if (int16_t st = UL_getwindow(host, kNotifyWindow, &window)) return st;
    // Posted, not sent: the host's window handles it when its message loop comes round.
    if (window) PostMessageA(window, kQueueMessage, 0, 0);
    return 0;
}

int16_t SF_checkdocument(uint32_t host, const char* path, int16_t type, int16_t* pages, char* text1, char* text2) {
    if (!path || !pages || !text1 || !text2) return SF_BADARGUMENT;
    *pages = 1;
    text1[0] = '\0';
    text2[0] = '\0';
    // The document reader's verdict first: a document that cannot be faxed fails here, and one
    // that is no fax image yet passes (it is made into fax pages when it is spooled).
    bool convertible = false;
    int16_t readerPages = 1;
    if (type == 1 || type == 2) {
        int16_t exists = 0;
        UL_fileexists(path, &exists);
        if (!exists) return UL_E_NOTFOUND;
        if (int16_t st = SF_documentcheck(host, path, &convertible, &readerPages)) return st;
    }
    if (type == 1) {
        UL_FAXHEADER h;
        if (int16_t st = UL_readfaxheader(host, path, &h)) return st;
        if (h.format != 2 || h.linewidth != 1728) {
            if (!convertible) return SF_BADFAXIMAGE;
            *pages = readerPages;
            return 0;
        }
        UL_strcopy(text1, 80, h.text1);
        UL_strcopy(text2, 80, h.text2);
        return 0;
    }
    if (type == 2) {
        uint32_t text = 0;
        if (int16_t st = UL_textopen(host, path, &text)) return st;
        int16_t count = 0;
        int lines = 0;
        int16_t st = 0;
        for (;;) {
            char line[81];
            int16_t kind = 0;
            if ((st = UL_textline(host, text, line, sizeof line, &kind))) break;
            if (kind == 2) break;
            ++lines;
            if (lines >= 60 || kind == 1) {
                if (count < INT16_MAX) ++count;
                lines = 0;
            }
        }
        UL_textclose(host, text);
        if (st) return st;
        if (lines > 0 && count < INT16_MAX) ++count;
        *pages = count;
        return 0;
    }
    return 0;
}

int16_t SF_collectdocuments(uint32_t host, SendOptions* options, FN_DOCAREA* list, DocumentEntry* destination, int16_t* count,
                            int capacity, bool* stopped) {
    if (!list || !destination || !count) return SF_BADARGUMENT;
    *count = 0;
    if (stopped) *stopped = false;
    if (list->count <= 0) return 0;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    const int16_t savedIndex = list->index;
    char savedName[sizeof list->name];
    UL_strcopy(savedName, list->name);
    struct Restore {
        uint32_t host;
        FN_DOCAREA* list;
        int16_t index;
        const char* name;
        ~Restore() {
            if (index >= 1) FN_selectdoc(host, index);
            list->index = index;
            UL_strcopy(list->name, name);
        }
    } restore{host, list, savedIndex, savedName};

    int16_t collected = 0;
    const int16_t total = list->count;
    for (int16_t i = 1; i <= total; ++i) {
        if (int16_t st = FN_selectdoc(host, i)) return st;
        if (int16_t st = FN_getdocname(host, list->name, sizeof list->name)) return st;
        const int16_t type = list->type;
        int16_t pages = 0;
        char text1[80], text2[80];
        if (SF_checkdocument(host, list->name, type, &pages, text1, text2) != 0) {
            int16_t answer = 0;
            if (int16_t st = UL_askyesno(host, kLangModule, 2091, &answer)) return st;
            if (answer == 1) {
                if (stopped) *stopped = true;
                return 0;  // the collection ends at once with nothing collected
            }
            continue;
        }
        if (collected >= capacity) return SF_TOOMANYDOCS;
        // A fax image is copied into the spool; any other document becomes page files there,
        // one entry a page. The first document collected starts a new spool base: a skipped
        // first document must not leave this send writing over the copies of the last one.
        int16_t added = 0;
        if (int16_t st = SF_spooldocument(host, options, list->name, type, static_cast<int16_t>(collected + 1),
                                          destination + collected, capacity - collected, &added))
            return st;
        collected = static_cast<int16_t>(collected + added);
    }
    *count = collected;
    return lock.release();
}

int16_t SF_holddocuments(uint32_t host, const DocumentEntry* documents, int16_t count, int16_t skipFirst,
                         int16_t recipients) {
    if (count > 0 && !documents) return SF_BADARGUMENT;
    for (int16_t i = skipFirst ? 1 : 0; i < count; ++i) {
        const std::string path = entryPath(documents[i]);
        if (path.empty()) continue;  // an empty entry holds nothing
        if (int16_t st = SF_addtodellist(host, path.c_str(), recipients)) return st;
    }
    return 0;
}

int16_t SF_releasedocuments(uint32_t host, const DocumentEntry* documents, int16_t count) {
    if (count > 0 && !documents) return SF_BADARGUMENT;
    for (int16_t i = 0; i < count; ++i) {
        std::string path = entryPath(documents[i]);
        if (path.empty()) continue;
        char full[UL_MAXPATH];
        UL_strcopy(full, path.c_str());
        if (int16_t st = UL_fullpath(host, full, sizeof full)) return st;
        if (int16_t st = SF_releasedelfile(host, full, 1)) return st;
    }
    return 0;
}

int16_t SF_faxfolder(uint32_t host, const char* const* numbers, uint16_t count, SendOptions* options) {
    if (!options || (count > 0 && !numbers)) return SF_BADARGUMENT;
    std::vector<FolderRecipient> recipients;
    const std::string name(options->recipientName, ::strnlen(options->recipientName, sizeof options->recipientName));
    for (uint16_t i = 0; i < count; ++i) {
        if (!numbers[i]) return SF_BADARGUMENT;
        recipients.push_back(FolderRecipient{numbers[i], name});
    }
    return SF_faxfolderto(host, recipients, options);
}

int16_t SF_faxfolderto(uint32_t host, const std::vector<FolderRecipient>& recipients, SendOptions* options,
                       int16_t* queued, const char* coverSubject) {
    if (queued) *queued = 0;
    if (!options) return SF_BADARGUMENT;
    if (recipients.empty()) return SF_CANCELLED;  // no recipient: nothing to hold the documents for
    if (recipients.size() > static_cast<std::size_t>(INT16_MAX)) return SF_BADARGUMENT;
    const long count = static_cast<long>(recipients.size());

    DocumentArea area(host);
    if (int16_t st = area.take()) return st;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    // From here until the end the spool is being changed: a process killed meanwhile leaves the
    // mark, and the next start (or queue check) reconciles the spool, the holds and the queue.
    SendInProgress mark(host);
    if (int16_t st = mark.begin()) return st;

    std::vector<DocumentEntry> list(kMaxDocuments);
    std::memset(list.data(), 0, list.size() * sizeof(DocumentEntry));
    list[0].type = -1;

    // A cover page per recipient takes entry 0; the documents follow it.
    const int16_t coverSlot = options->coverPerRecipient ? 1 : 0;
    DocumentEntry* documents = list.data() + coverSlot;
    int16_t collected = 0;
    bool stopped = false;
    int16_t status =
        SF_collectdocuments(host, options, area.get(), documents, &collected, kMaxDocuments - coverSlot, &stopped);
    // The spooled documents of this send, with the holds they get.
    std::vector<HoldChange> holds;
    for (int16_t i = 0; i < collected; ++i) {
        const std::string path = entryPath(documents[i]);
        if (!path.empty()) holds.push_back(HoldChange{path, count, true});
    }
    auto dropCopies = [&] {
        // Nothing was queued: the copies go (through the list when they are held).
        for (HoldChange& h : holds) h.delta = -count;
        SF_changeholds(host, holds);
    };
    if (status == 0 && stopped) status = SF_CANCELLED;  // the user chose to stop: send nothing
    if (status) {
        for (HoldChange& h : holds) UL_fdelete(host, h.path.c_str());
        return status;
    }
    // Every document is held for every recipient before the first job can be seen in the
    // queue: no job is ever queued with a document that no hold keeps.
    if (int16_t st = SF_changeholds(host, holds)) {
        for (HoldChange& h : holds) UL_fdelete(host, h.path.c_str());
        return st;
    }

    // Two or more jobs share one spooled copy: none of them may delete it once sent; the delete
    // list releases it with the last job.
    SendOptions job = *options;
    if (count > 1) job.deleteAfterSend = 0;
    char coverBase[UL_MAXPATH] = {};
    if (coverSlot && (status = UL_getpath(host, coverBase, 22)) != 0) {
        dropCopies();
        return status;
    }
    long submitted = 0;
    for (const FolderRecipient& r : recipients) {
        UL_strcopy(job.recipientName, r.name.c_str());
        std::string coverPath;
        if (coverSlot) {
            // The recipient's own cover: BASE.001 for the first recipient, BASE.002 for the next.
            char ext[8];
            std::snprintf(ext, sizeof ext, ".%03ld", (submitted + 1) % 1000);
            coverPath = std::string(coverBase) + ext;
            COVER_SHEET& cover = job.coverInfo;
            PB_ENTRY entry{};
            UL_strcopy(entry.name, r.name.c_str());
            UL_strcopy(entry.company, r.company.c_str());
            UL_strcopy(entry.voice, r.voice.c_str());
            UL_strcopy(entry.number, r.number.c_str());
            if (r.name.empty()) {
                cover.recipient1[0] = cover.recipient2[0] = cover.recipient3[0] = '\0';
                UL_strcopy(cover.recipient4, r.number.c_str());
            }
            SF_fillcoverto(host, &entry, &cover);
            int16_t type = 1;
            status = SF_makecover(host, &cover, coverPath.c_str(), static_cast<int16_t>(collected + coverSlot), job.fineResolution,
                                  &type, coverSubject);
            if (!status) status = SF_changeholds(host, {HoldChange{coverPath, 1, true}});
            if (status) {
                UL_fdelete(host, coverPath.c_str());
                break;
            }
            list[0].type = type;
            UL_strcopy(list[0].text, coverPath.c_str());
        }
        status = qorsf::SF_sendfax(host, list.data(), static_cast<int16_t>(collected + coverSlot), r.number.c_str(), &job);
        if (status) {
            if (coverSlot) SF_changeholds(host, {HoldChange{coverPath, -1, true}});
            break;
        }
        ++submitted;
        options->jobNumber = job.jobNumber;
    }
    if (queued) *queued = static_cast<int16_t>(submitted);
    if (status) {
        // The holds of the jobs that were never queued are given back; with no job queued at
        // all that removes the spooled copies.
        if (submitted == 0) {
            dropCopies();
        } else {
            for (HoldChange& h : holds) h.delta = -(count - submitted);
            SF_changeholds(host, holds);
        }
        return status;
    }
    mark.end();
    if (int16_t st = area.release()) return st;
    if (int16_t st = lock.release()) return st;
    return SF_notifyqueue(host);
}

}  // namespace qorsf
