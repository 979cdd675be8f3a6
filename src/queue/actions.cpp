// The queue's job actions: deleting a job with its files, and the purge that hands the files of
// purged jobs back.
//
// The job control file is the token of a job's holds on its spooled documents: its document
// list is read, the control file is deleted, and only then is each hold released. A crash in
// between leaves holds that nobody releases (the spool's recovery pass recounts them), never a
// hold released twice, which would delete a copy that another job still needs.
#include "queue/actions.h"

#include <cstring>
#include <string>
#include <vector>

#include "frame/services/guards.h"
#include "queue/queue.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr int32_t kPurgeLine = static_cast<int32_t>(VQ_PURGELINESIZE);

struct JobList {
    uint32_t host;
    uint32_t handle = 0;
    ~JobList() {
        if (handle) VQ_freejobfile(host, handle);
    }
};

}  // namespace

uint64_t SF_jobnumber(const QUEUE_RECORD& r) {
    return static_cast<uint64_t>(static_cast<uint32_t>(r.jobnumhigh)) * 100000ULL + r.jobnum;
}

int16_t SF_deletejobfiles(uint32_t host, const char* jobfile, bool releaseHolds) {
    if (!jobfile || !*jobfile) return 0;
    char path[UL_MAXPATH];
    UL_strcopy(path, jobfile);
    if (UL_isbarename(path))
        if (int16_t st = UL_fullpath(host, path, sizeof path)) return st;
    int16_t exists = 0;
    UL_fileexists(path, &exists);
    if (!exists) return 0;  // released already: the control file goes last of all
    if (!releaseHolds) {
        if (int16_t st = UL_fdelete(host, path); st != 0 && st != UL_E_NOTFOUND) return st;
        return 0;
    }
    JobList list{host};
    if (int16_t st = VQ_readjobfile(host, path, &list.handle)) return st;
    struct Document {
        std::string path;
        int16_t flag;
    };
    std::vector<Document> documents;
    void* p = nullptr;
    if (int16_t st = UL_lockhandle(list.handle, &p)) return st;
    uint16_t count = 0;
    std::memcpy(&count, p, sizeof count);
    const auto* entries = reinterpret_cast<const VQ_JOBFILE*>(static_cast<const char*>(p) + sizeof count);
    for (uint16_t i = 0; i < count; ++i) {
        const std::size_t n = strnlen(entries[i].path, sizeof entries[i].path);
        documents.push_back({std::string(entries[i].path, n), static_cast<int16_t>(entries[i].flag)});
    }
    UL_unlockhandle(list.handle);
    // The token first (see above).
    if (int16_t st = UL_fdelete(host, path); st != 0 && st != UL_E_NOTFOUND) return st;
    for (const Document& d : documents) {
        if (d.path.empty()) continue;
        int16_t st = SF_releasedelfile(host, d.path.c_str(), d.flag);
        if (st == SF_CANCELLED) st = UL_fdelete(host, d.path.c_str()) == 0 ? 0 : st;
        if (st) {
            UL_errorlog(host, "SF_deletejobfiles", st);
            return st;
        }
    }
    return 0;
}

int16_t SF_findjob(uint32_t host, uint64_t job, QUEUE_RECORD* record, bool* found) {
    *found = false;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    unsigned char cursor[VQ_CURSORSIZE] = {};
    if (int16_t st = VQ_openqueue(host, cursor)) return st;
    int16_t st = 0;
    for (;;) {
        QUEUE_RECORD r;
        std::memset(&r, 0, sizeof r);
        int16_t more = 0;
        if ((st = VQ_readnext(host, cursor, &r, &more)) != 0 || !more) break;
        if (SF_jobnumber(r) == job) {
            *record = r;
            *found = true;
            break;
        }
    }
    VQ_closequeue(host, cursor);
    return st;
}

int16_t SF_deletejob(uint32_t host, QUEUE_RECORD* record) {
    if (!record) return UL_E_BADARG;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    // A job whose holds the engine gave back loses its control file first: the control file is
    // what tells a later purge that holds are outstanding, so a crash in between never gives
    // them back twice.
    if (SF_holdsreleased(*record)) {
        if (int16_t st = SF_deletejobfiles(host, record->jobfile, false)) return st;
    }
    // Marked deleted first: a crash after it leaves the files to the purge, which releases them
    // through the control file, as it does for every deleted job.
    record->status = 'D';
    if (int16_t st = VQ_writejob(host, record, 3)) return st;
    if (int16_t st = SF_deletejobfiles(host, record->jobfile))
        UL_tracevalue(host, "SF_deletejob files", st);  // the job stays deleted
    lock.release();
    SF_notifyqueue(host);
    return 0;
}

int16_t SF_purgejobs(uint32_t host, uint32_t* purged) {
    if (purged) *purged = 0;
    // The engine lock keeps two purges (and the engine) from handing the same files back twice.
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    if (int16_t st = VQ_purgequeue(host)) return st;
    char listPath[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, listPath, 7)) return st;
    int16_t exists = 0;
    UL_fileexists(listPath, &exists);
    if (!exists) return 0;
    HostFile list(host);
    if (int16_t st = UL_fopen(host, listPath, 2, list.out())) return st;
    uint32_t size = 0;
    if (int16_t st = UL_filesize(host, listPath, &size)) return st;
    // Whole lines only; a torn last line is not a job. The lines are taken from the last one
    // back, and the list is cut behind each line done: a crash repeats at most the line under way.
    for (int32_t k = static_cast<int32_t>(size / VQ_PURGELINESIZE) - 1; k >= 0; --k) {
        int32_t at = 0;
        if (int16_t st = UL_fseek(host, list.get(), k * kPurgeLine, 1, &at)) return st;
        char line[VQ_PURGELINESIZE + 1] = {};
        QUEUE_RECORD r;
        if (UL_fread(host, list.get(), line, VQ_PURGELINESIZE) == 0 && SF_recordfrompurgeline(host, line, &r) == 0) {
            if (int16_t st = SF_deletejobfiles(host, r.jobfile)) UL_tracevalue(host, "SF_purgejobs files", st);
            if (purged) ++*purged;
        }
        if (int16_t st = UL_fsetsize(host, list.get(), static_cast<uint32_t>(k * kPurgeLine))) return st;
    }
    if (int16_t st = UL_fsetsize(host, list.get(), 0)) return st;
    return list.close();
}

}  // namespace qorsf
