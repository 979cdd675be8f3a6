// The interactive send flows: the send dialog chooses the recipients and the options, then the
// documents of the document list go to the queue through the one send road of the library
// (SF_faxfolderto: spooled copies, a cover page per recipient, one job per recipient, the holds
// of the delete list).
#include <cstring>
#include <string>
#include <vector>

#include "cover/cover.h"
#include "frame/frame.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/recipients.h"
#include "qorlib2.h"
#include "send/dialogs/senddlg.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr uint32_t kOwnerWindowOffset = 608;

// The library-wide default of the alternative document keyword (the send dialog has no control
// for it; it is carried from send to send).
uint16_t& altDocumentDefault() {
    static uint16_t value = 0;
    return value;
}

// The host's owner window: the 32-bit window value at byte 608 of the host's block, else the
// window the host registered as 101.
HWND ownerWindow(uint32_t host) {
    HWND owner = nullptr;
    void* block = nullptr;
    if (host && UL_handlesize(host) >= kOwnerWindowOffset + 4 && UL_lockhandle(host, &block) == 0) {
        uint32_t value = 0;
        std::memcpy(&value, static_cast<char*>(block) + kOwnerWindowOffset, sizeof value);
        UL_unlockhandle(host);
        HWND w = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
        if (value && IsWindow(w)) owner = w;
    }
    if (!owner) UL_getwindow(host, kNotifyWindow, &owner);
    return owner ? GetLastActivePopup(owner) : nullptr;
}

// Whether the document list holds a document that can be sent.
bool anyUsableDocument(uint32_t host) {
    int16_t count = 0;
    if (FN_doccount(host, &count) != 0 || count <= 0) return false;
    int32_t current = 0;
    FN_docinfo(host, 3, &current);
    bool usable = false;
    if (FN_firstdoc(host) == 0) {
        for (int16_t i = 0; i < count && !usable; ++i) {
            int32_t type = 0;
            char path[UL_MAXPATH] = {};
            int16_t pages = 0;
            char text1[80], text2[80];
            if (FN_docinfo(host, 1, &type) == 0 && FN_getdocname(host, path, sizeof path) == 0 &&
                SF_checkdocument(host, path, static_cast<int16_t>(type), &pages, text1, text2) == 0)
                usable = true;
            if (FN_nextdoc(host) != 0) break;
        }
    }
    if (current >= 1) FN_selectdoc(host, static_cast<int16_t>(current));
    return usable;
}

// The memo block of the cover data: the default cover record owns one block at a time. A memo
// the cover page dialog made for this send replaces the default's (which the dialog freed) when
// the send keeps it, and is freed when it does not.
void settleMemo(COVER_SHEET* fallback, const COVER_SHEET& used, bool keep) {
    if (!fallback || used.memo == fallback->memo || used.memo == 0) return;
    if (keep || UL_handlesize(fallback->memo) == 0) {
        if (fallback->memo && UL_handlesize(fallback->memo)) UL_freehandle(fallback->memo);
        fallback->memo = used.memo;
    } else {
        UL_freehandle(used.memo);
    }
}

}  // namespace

int16_t SF_getphoneopen(uint32_t host, SendOptions* options, uint16_t flags, int16_t* recipientCount,
                        int16_t* haveDocuments) {
    if (!options || !recipientCount || !haveDocuments) return UL_E_BADARG;
    SendDialogState& s = senddialog();
    *recipientCount = 0;
    *haveDocuments = 0;
    s.host = host;
    s.options = options;
    recipientCursor().position = 0;
    s.documentsPresent = (flags & 2) ? 1 : 0;
    s.waitMode = s.captionSaved = s.inCommand = s.timerActive = s.edited = false;
    s.savedCaption[0] = '\0';
    s.selectedName[0] = '\0';
    s.documentCount = 0;
    s.schedule = ScheduleState{};
    form_reset();

    if (int16_t st = UT_listfree(host, &recipientList())) return st;
    HWND owner = ownerWindow(host);
    SF_epilog(host);

    UL_now(&s.schedule.now);
    options->sendTime = s.schedule.now;
    options->fineResolution = frame().word2200;
    options->altDocumentKeyword = altDocumentDefault();
    options->deleteAfterSend = frame().word2201;
    if (SF_PARAMS* p = params()) SF_readgeneral(host, p);
    if (s.defaultName[0] == '\0') UL_loadstring(host, s.defaultName, kLangModule, kTextDefaultName);

    int16_t instance = 0;
    if (int16_t st = UL_getvalue(host, 13, &instance)) return st;
    uint16_t layout = 0;
    SF_getparm(host, 9, &layout);
    const uint16_t number = layout == 1 ? kSendTemplateAlt : kSendTemplate;
    const INT_PTR result = DialogBoxParamA(reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instance)),
                                           MAKEINTRESOURCEA(number), owner, ::WN_fsgetphone, 0);
    s.options = nullptr;
    s.timerActive = false;
    if (result == -1) return SF_NODIALOG;
    if (result == 1) return SF_CANCELLED;
    if (result == 2) return 0;  // Cancel in wait mode: no recipients, so the flow ends cancelled
    if (result != 0) return static_cast<int16_t>(result);
    char* first = frame().area[9];
    if (first && first[0] == '\0') UL_strcopy(first, 80, SF_nametext());
    SF_numbertext()[0] = '\0';
    options->coverPerRecipient = frame().sendState ? 1 : 0;
    frame().word2200 = options->fineResolution;
    frame().word2201 = options->deleteAfterSend;
    altDocumentDefault() = options->altDocumentKeyword;
    *haveDocuments = static_cast<int16_t>(s.documentsPresent);
    *recipientCount = static_cast<int16_t>(UT_listcount(&recipientList()));
    return 0;
}

int16_t SF_wndsend(uint32_t host, uint16_t flags) {
    if (!params()) return SF_WRONGSTATE;  // the library is not open
    if (char* first = frame().area[9]) std::memset(first, 0, 80);
    COVER_SHEET* fallback = defaultCover();
    SendOptions options;
    std::memset(&options, 0, sizeof options);
    if (const SF_PARAMS* p = params()) {
        char sender[33] = {};
        UL_strcopy(sender, p->sendera);
        UL_strcopy(options.sender, sender);
    }
    if (fallback) std::memcpy(&options.coverInfo, fallback, sizeof options.coverInfo);

    int16_t recipients = 0, haveDocuments = 0;
    int16_t st = SF_getphoneopen(host, &options, flags, &recipients, &haveDocuments);
    struct Cleanup {
        uint32_t host;
        bool ran;
        ~Cleanup() {
            if (ran) SF_clearrecipients(host);
        }
    } cleanup{host, st == 0 || st == SF_CANCELLED};
    if (st == 0 && recipients <= 0) st = SF_CANCELLED;
    const bool withCover = st == 0 && options.coverPerRecipient;
    settleMemo(fallback, options.coverInfo, withCover);
    if (st) return st;
    if (withCover && fallback) {
        // The next send starts from the cover data just chosen.
        std::memcpy(fallback, &options.coverInfo, sizeof *fallback);
    }

    // The document list is held until the jobs are queued: no other send crosses it.
    if ((st = FN_lockdocs(host))) return st;
    struct Unlock {
        uint32_t host;
        ~Unlock() { FN_unlockdocs(host); }
    } unlock{host};
    if (!withCover && !anyUsableDocument(host)) {
        UL_message(host, kLangModule, kTextNoDocuments);
        return 0;
    }

    // The recipients in list order, up to the first without a number.
    std::vector<FolderRecipient> list;
    recipientCursor().position = 0;
    for (int16_t i = 0; i < recipients; ++i) {
        PB_ENTRY e{};
        uint16_t end = 0;
        if ((st = SF_getphone(host, &e, &end))) return st;
        if (end) break;
        e.number[sizeof e.number - 1] = '\0';
        e.name[sizeof e.name - 1] = '\0';
        e.company[sizeof e.company - 1] = '\0';
        e.voice[sizeof e.voice - 1] = '\0';
        if (e.number[0] == '\0') break;
        list.push_back(FolderRecipient{e.number, e.name, e.company, e.voice});
    }
    if (list.empty()) return SF_CANCELLED;
    int16_t queued = 0;
    if ((st = SF_faxfolderto(host, list, &options, &queued))) return st;
    if (frame().word2203) FN_aftersend(host);
    return 0;
}

int16_t SF_sendfolder(uint32_t host, uint32_t) { return SF_wndsend(host, 2); }

int16_t SF_wnddsend(uint32_t host, const char* file, int16_t pages) {
    if (!file) return UL_E_BADARG;
    if (int16_t st = FN_adddocument(host, file, pages, 2048)) return st;
    return SF_wndsend(host, 2);
}

}  // namespace qorsf
