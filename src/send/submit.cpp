// Submission of one fax job: the job control file, the dial string, the job record, and the
// spooled copies of the documents.
#include <cstring>
#include <string>

#include "queue/queue.h"
#include "frame/services/guards.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr std::size_t kLineBuffer = 100;   // the control file's line buffer
constexpr std::size_t kMaxDial = 49;       // a dial string holds at most 49 characters
constexpr std::size_t kMaxDocumentLine = 78;

struct SendState {
    char spoolBase[UL_MAXPATH] = {};  // the spool base path of the present send (SF_makecopy)
};

SendState& sendState() {
    static SendState s;
    return s;
}



std::string fieldText(const char* field, std::size_t width) { return std::string(field, ::strnlen(field, width)); }

uint16_t documentKeyword(int16_t type, uint16_t altDocumentKeyword) {
    if (type == 1) return 3934;
    if (type == 5) return 3944;
    return altDocumentKeyword ? 3938 : 3936;
}

const char* lastSlash(const char* s) { return std::strrchr(s, '/'); }

}  // namespace

void send_reset() { sendState() = SendState{}; }

std::string SF_dialstring(const char* number, const char* prefix, const char* suffix, char separator) {
    const char sep = separator ? separator : '|';
    const SF_PARAMS* p = params();
    const bool card = p && p->ccardinuse != 0;
    const std::string first = card ? fieldText(p->ccard.first, sizeof p->ccard.first) : std::string();
    const std::string second = card ? fieldText(p->ccard.second, sizeof p->ccard.second) : std::string();
    const std::string pre = prefix ? prefix : "";
    const std::string suf = suffix ? suffix : "";
    const bool needSeparator = !pre.empty() || !suf.empty() || card;
    std::string out = pre;
    if (card && !first.empty() && p->ccard.firstbefore) out += first;
    if (card && !second.empty() && p->ccard.secondbefore) out += second;
    if (needSeparator) out += sep;
    out += number ? number : "";
    if (needSeparator) out += sep;
    if (card && !first.empty() && !p->ccard.firstbefore) out += first;
    if (card && !second.empty() && !p->ccard.secondbefore) out += second;
    out += suf;
    return out;
}

int16_t SF_builddialstring(uint32_t, const char* number, const char* prefix, const char* suffix, char* out,
                           std::size_t outsize, char separator) {
    if (out && outsize) UL_strcopy(out, outsize, SF_dialstring(number, prefix, suffix, separator).c_str());
    return 0;
}

int16_t SF_sendfax(uint32_t host, const DocumentEntry* documents, int16_t documentCount, const char* number,
                   SendOptions* options) {
    if (!number || !options || documentCount < 0 || (documentCount > 0 && !documents)) return SF_BADARGUMENT;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;

    SendJobRecord job;
    std::memset(&job, 0, sizeof job);
    if (int16_t st = UL_getpath(host, job.jobfile, 22)) return st;
    job.sendTime = options->sendTime;
    UL_strcopy(job.note, fieldText(options->note, sizeof options->note).c_str());

    HostFile file(host);
    if (UL_fcreate(host, job.jobfile, 1, file.out())) return SF_WRONGSTATE;
    // A control file of a job that was never queued names nothing the engine will send: it
    // goes again on every failure after its creation.
    struct Unqueued {
        uint32_t host;
        HostFile* file;
        const char* path;
        bool queued = false;
        ~Unqueued() {
            if (queued) return;
            file->close();
            UL_fdelete(host, path);
        }
    } unqueued{host, &file, job.jobfile};

    // Each line is composed whole and measured before it is written, so the limits are checked
    // on the text itself and no line ever has to fit a buffer it might overrun.
    char keyword[kLineBuffer];
    if (int16_t st = UL_loadstring(host, keyword, kLangModule, 3930)) return st;
    const std::string dial = SF_dialstring(number, fieldText(options->dialPrefix, sizeof options->dialPrefix).c_str(),
                                           fieldText(options->dialSuffix, sizeof options->dialSuffix).c_str(), '|');
    if (dial.size() > kMaxDial) return SF_DIALSTRINGLONG;
    if (int16_t st = UL_fputline(host, file.get(), (std::string(keyword) + " " + dial).c_str())) return st;

    if (UL_strcopy(job.number, number) != 0) return SF_DIALSTRINGLONG;  // never reached: the dial string is longer

    if (int16_t st = UL_loadstring(host, keyword, kLangModule, 3933)) return st;
    if (int16_t st = UL_fputline(host, file.get(),
                                 (std::string(keyword) + (options->deleteAfterSend ? "  1" : "  0")).c_str()))
        return st;
    if (int16_t st = UL_loadstring(host, keyword, kLangModule, 3932)) return st;
    if (int16_t st = UL_fputline(host, file.get(),
                                 (std::string(keyword) + (options->fineResolution ? "  1" : "  0")).c_str()))
        return st;

    for (int16_t i = 0; i < documentCount; ++i) {
        const DocumentEntry& d = documents[i];
        if (d.type == -1) continue;
        if (int16_t st = UL_loadstring(host, keyword, kLangModule, documentKeyword(d.type, options->altDocumentKeyword)))
            return st;
        std::string text = fieldText(d.text, sizeof d.text);
        std::string line = std::string(keyword) + " " + text;
        // The name a copy was made from follows its path only when the line holds both: the
        // path is what the engine sends, the name only tells the user what it was.
        if (line.size() > kMaxDocumentLine && text.find(' ') != std::string::npos)
            line = std::string(keyword) + " " + text.substr(0, text.find(' '));
        if (line.size() > kMaxDocumentLine) return SF_JOBLINELONG;
        if (int16_t st = UL_fputline(host, file.get(), line.c_str())) return st;
    }
    if (int16_t st = UL_loadstring(host, keyword, kLangModule, 3931)) return st;
    if (int16_t st = UL_fputline(host, file.get(), keyword)) return st;
    if (int16_t st = file.close()) return st;

    UL_strcopy(job.sender, fieldText(options->sender, sizeof options->sender).c_str());
    UL_strcopy(job.recipientName, fieldText(options->recipientName, sizeof options->recipientName).c_str());
    job.status = 'Q';
    uint32_t jobNumber = 0;
    if (int16_t st = VQ_addjob(host, &job, &jobNumber)) return st;
    unqueued.queued = true;
    options->jobNumber = jobNumber;
    noteJobQueued();
    return lock.release();
}

int16_t SF_makecopy(uint32_t host, char* path, int16_t index, int16_t* copied) {
    if (!path || !copied) return SF_BADARGUMENT;
    *copied = 0;
    if (index < 1 || index > 999) return SF_BADARGUMENT;  // the extension has three digits
    SendState& s = sendState();
    // A send begins with index 1; a copy without a base of its own gets one rather than a
    // name outside the spool directory.
    if (index == 1 || !s.spoolBase[0]) {
        if (int16_t st = UL_getpath(host, s.spoolBase, 22)) return st;
    }
    const std::string source = fieldText(path, 80);
    auto dirOf = [](const std::string& p) {
        const std::size_t slash = p.rfind('/');
        return slash == std::string::npos ? p : p.substr(0, slash);
    };
    if (dirOf(s.spoolBase) == dirOf(source)) return 0;  // already in the spool directory

    const std::string ext = std::to_string(index + 1000).substr(1);
    std::string copy = std::string(s.spoolBase) + "." + ext;
    if (copy.size() >= UL_MAXPATH) return UL_E_PATHLONG;  // a cut name would be another file
    if (int16_t st = UL_fcopy(host, copy.c_str(), source.c_str())) return st;
    if (copy.size() < 52) {
        // The source's name is appended only whole: a cut name would tell the user another one.
        const char* slash = lastSlash(source.c_str());
        const std::string named = copy + " " + (slash ? slash + 1 : source.c_str());
        if (named.size() < 80) copy = named;
    }
    UL_strcopy(path, 80, copy.c_str());
    *copied = 1;
    return 0;
}

}  // namespace qorsf
