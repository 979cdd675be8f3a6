#include "engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <vector>

#include "qordoc.h"
#include "qorlib1.h"
#include "qorul.h"
#include "qorux.h"
#include "qorvq.h"
#include "qorvq_log.h"
#include "send/send.h"

extern "C" {
#include <spandsp.h>
}

namespace qorfaxd {

namespace {

// The engine lock around one queue or log walk or change, released on every path.
class EngineLock {
public:
    explicit EngineLock(uint32_t host) : host_(host) { status_ = L1_lock(host_, -1); }
    ~EngineLock() {
        if (status_ == 0) L1_lock(host_, 1);
    }
    int16_t status() const { return status_; }

private:
    uint32_t host_;
    int16_t status_;
};

// The job file list of VQ_readjobfile, freed on every path.
class JobFiles {
public:
    explicit JobFiles(uint32_t host) : host_(host) {}
    ~JobFiles() {
        if (handle_) VQ_freejobfile(host_, handle_);
    }
    int16_t read(const char* path, char* dial) {
        if (int16_t st = VQ_readjobfile(host_, path, &handle_, dial)) return st;
        void* p = nullptr;
        if (int16_t st = UL_lockhandle(handle_, &p)) return st;
        uint16_t count = 0;
        std::memcpy(&count, p, 2);
        files_.resize(count);
        if (count) std::memcpy(files_.data(), static_cast<char*>(p) + 2, count * sizeof(VQ_JOBFILE));
        UL_unlockhandle(handle_);
        return 0;
    }
    const std::vector<VQ_JOBFILE>& files() const { return files_; }

private:
    uint32_t host_;
    uint32_t handle_ = 0;
    std::vector<VQ_JOBFILE> files_;
};

uint64_t jobNumber(const QUEUE_RECORD& r) {
    return static_cast<uint64_t>(r.jobnumhigh) * 100000u + r.jobnum;
}

bool asap(const SF_DATETIME& t) {
    return t.year == 0 && t.month == 0 && t.day == 0 && t.hour == 0 && t.minute == 0 && t.second == 0;
}

// Date-times compare field by field, year first.
int compareTime(const SF_DATETIME& a, const SF_DATETIME& b) {
    const int16_t fa[6] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
    const int16_t fb[6] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
    for (int i = 0; i < 6; ++i)
        if (fa[i] != fb[i]) return fa[i] < fb[i] ? -1 : 1;
    return 0;
}

// Now plus `seconds`, as the queue's local date-time.
SF_DATETIME later(int seconds) {
    SF_DATETIME now;
    UL_now(&now);
    std::tm tm{};
    tm.tm_year = now.year - 1900;
    tm.tm_mon = now.month - 1;
    tm.tm_mday = now.day;
    tm.tm_hour = now.hour;
    tm.tm_min = now.minute;
    tm.tm_sec = now.second + seconds;
    tm.tm_isdst = -1;
    std::mktime(&tm);
    SF_DATETIME t;
    t.year = static_cast<int16_t>(tm.tm_year + 1900);
    t.month = static_cast<int16_t>(tm.tm_mon + 1);
    t.day = static_cast<int16_t>(tm.tm_mday);
    t.hour = static_cast<int16_t>(tm.tm_hour);
    t.minute = static_cast<int16_t>(tm.tm_min);
    t.second = static_cast<int16_t>(tm.tm_sec);
    return t;
}

std::string statusText(uint32_t host, uint16_t code) {
    char buf[128] = {};
    VQ_statustext(host, code, buf, sizeof buf);
    return buf;
}

// The fine-resolution flag of a job control file: its third line ends with the digit.
bool fineJob(const char* path) {
    std::ifstream f(path, std::ios::binary);
    std::string line;
    for (int i = 0; i < 3 && std::getline(f, line); ++i) {
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return !line.empty() && line.back() == '1';
}

}  // namespace

struct Engine::CallResult {
    bool stopped = false;     // we were told to stop: the job waits again as it was
    bool sent = false;
    uint16_t error = 0;
    std::string why;          // for the log and the record's text
    int pages = 0, total = 0, bitRate = 0;
    double seconds = 0;
    std::string farIdent;
    std::vector<VQ_JOBFILE> files;
};

Engine::Engine(uint32_t host, const Settings& s, Line& line, Inbox& inbox, const std::atomic<bool>& stop,
               Report report)
    : host_(host), settings_(s), line_(line), inbox_(inbox), stop_(stop), report_(std::move(report)) {}

void Engine::setDoing(const std::string& text) {
    doing_ = text;
    if (onDoing) onDoing(text);
}

int16_t Engine::recover() {
    EngineLock lock(host_);
    if (lock.status()) return lock.status();
    std::vector<QUEUE_RECORD> busy;
    char cursor[VQ_CURSORSIZE] = {};
    cursor[4] = 'I';
    if (int16_t st = VQ_openqueue(host_, cursor)) return st;
    for (;;) {
        QUEUE_RECORD r;
        std::memset(&r, 0, sizeof r);
        int16_t found = 0;
        const int16_t st = VQ_readnext(host_, cursor, &r, &found);
        if (st || !found) break;
        busy.push_back(r);
    }
    VQ_closequeue(host_, cursor);
    for (QUEUE_RECORD& r : busy) {
        r.status = 'Q';
        if (int16_t st = VQ_writejob(host_, &r, 3)) return st;
        report_("job " + std::to_string(jobNumber(r)) + " was left sending by an engine that stopped: it waits again");
    }
    return 0;
}

bool Engine::takeJob(QUEUE_RECORD* job) {
    EngineLock lock(host_);
    if (lock.status()) {
        report_("the engine lock cannot be taken: " + statusText(host_, 0));
        return false;
    }
    SF_DATETIME now;
    UL_now(&now);
    char cursor[VQ_CURSORSIZE] = {};
    UL_strcopy(cursor + 4, VQ_FILTERSIZE, "QW");
    if (int16_t st = VQ_openqueue(host_, cursor)) {
        report_("the queue cannot be read (status " + std::to_string(st) + ")");
        return false;
    }
    bool have = false;
    for (;;) {
        QUEUE_RECORD r;
        std::memset(&r, 0, sizeof r);
        int16_t found = 0;
        if (int16_t st = VQ_readnext(host_, cursor, &r, &found)) {
            report_("the queue cannot be read (status " + std::to_string(st) + ")");
            break;
        }
        if (!found) break;
        if (!asap(r.sendtime) && compareTime(r.sendtime, now) > 0) continue;
        // Earliest send time first; as soon as possible before any time; then job order.
        if (!have || (asap(r.sendtime) && !asap(job->sendtime)) ||
            (asap(r.sendtime) == asap(job->sendtime) && compareTime(r.sendtime, job->sendtime) < 0) ||
            (compareTime(r.sendtime, job->sendtime) == 0 && jobNumber(r) < jobNumber(*job))) {
            *job = r;
            have = true;
        }
    }
    VQ_closequeue(host_, cursor);
    if (!have) return false;
    job->status = 'I';
    if (int16_t st = VQ_writejob(host_, job, 3)) {
        report_("job " + std::to_string(jobNumber(*job)) + " cannot be marked as sending (status " +
                std::to_string(st) + ")");
        return false;
    }
    return true;
}

Outcome runCall(Call& call, const std::string& tiff, const Settings& s, const std::atomic<bool>& stop,
                double* seconds) {
    Endpoint ep(true, s.ident, s.modems, s.ecm);
    ep.sendFile(tiff);
    int16_t out[kBlock], in[kBlock];
    long long samples = 0;
    const long long limit = static_cast<long long>(s.callLimit * kSampleRate);
    bool farUp = true;
    long long afterEnd = 0;
    // After our session ends the far end still hears the last frames; give it up to 4 seconds.
    const long long grace = 4LL * kSampleRate;
    while (samples < limit) {
        if (stop) {
            ep.hangUp();
            break;
        }
        ep.produce(out, kBlock);
        farUp = call.exchange(out, in, kBlock);
        ep.consume(in, kBlock);
        samples += kBlock;
        if (!farUp) {
            ep.hangUp();
            break;
        }
        if (ep.finished() && (afterEnd += kBlock) >= grace) break;
    }
    ep.hangUp();
    *seconds = static_cast<double>(samples) / kSampleRate;
    return ep.outcome();
}

bool Engine::sendNext() {
    QUEUE_RECORD job;
    std::memset(&job, 0, sizeof job);
    if (!takeJob(&job)) return false;
    const std::string number = std::to_string(jobNumber(job));
    CallResult r;

    char jobfile[UL_MAXPATH];
    UL_strcopy(jobfile, job.jobfile);
    UL_fullpath(host_, jobfile, sizeof jobfile);
    JobFiles list(host_);
    char dial[80] = {};
    std::string txFile;
    if (int16_t st = list.read(jobfile, dial)) {
        r.error = kErrJobFile;
        r.why = "the job control file " + std::string(jobfile) + " cannot be read (status " + std::to_string(st) + ")";
    } else {
        r.files = list.files();
        // Every document made into fax pages, in the order of the job.
        L1_PAGEINFO info;
        L1_initpageinfo(host_, &info, fineJob(jobfile) ? 1 : 0);
        qordoc::Format format;
        format.fine = info.ydpi >= 200;
        format.paper = info.paper;
        format.twoD = info.twoD != 0;
        format.pageLimit = info.pageLimit;
        std::vector<qordoc::Page> pages;
        for (const VQ_JOBFILE& f : r.files) {
            std::string bytes;
            if (qordoc::readFile(f.path, &bytes) != 0) {
                r.error = kErrMissing;
                r.why = std::string(f.path) + " cannot be read";
                break;
            }
            qordoc::Info docInfo;
            std::string reason;
            std::vector<qordoc::Page> made;
            int16_t st = qordoc::inspect(bytes, format, &docInfo);
            if (st == 0)
                st = docInfo.faxImage ? qordoc::readFaxBytes(bytes, &made, &reason)
                                      : qordoc::render(bytes, format, &made, &reason);
            else
                reason = docInfo.reason;
            if (st != 0) {
                r.error = kErrDocument;
                r.why = std::string(f.path) + ": " + reason;
                break;
            }
            for (qordoc::Page& p : made) pages.push_back(std::move(p));
        }
        if (!r.error && pages.empty()) {
            r.error = kErrNoPages;
            r.why = "the job has no pages";
        }
        if (!r.error) {
            char spool[UL_MAXPATH];
            UL_getpath(host_, spool, 22);  // a unique spool name: its directory takes our file
            std::string dir = spool;
            dir.erase(dir.rfind('/') + 1);
            txFile = tempName(dir, "tx");
            if (qordoc::writeFax(txFile, pages, false) != 0) {
                r.error = kErrDocument;
                r.why = "the pages cannot be written to " + txFile;
            }
            r.total = static_cast<int>(pages.size());
        }
    }

    if (!r.error) {
        const std::string digits = digitsOf(dial);
        setDoing("sending job " + number + " to " + dial + " (" + std::to_string(r.total) + " pages)");
        report_("job " + number + ": calling " + dial + " on the " + line_.name() + " line, " +
                std::to_string(r.total) + " pages");
        std::unique_ptr<Call> call;
        std::string why;
        const Dial d = line_.dial(digits, &call, &why);
        if (d != Dial::Connected) {
            r.error = d == Dial::NoAnswer ? kErrNoAnswer : kErrLine;
            r.why = (d == Dial::NoAnswer ? "no answer" : "the line cannot be used") + (why.empty() ? "" : ": " + why);
        } else {
            Settings s = settings_;
            s.callLimit = 300.0 + 600.0 * r.total;
            const Outcome o = runCall(*call, txFile, s, stop_, &r.seconds);
            call.reset();  // hangs up; a loopback far end files what it received
            r.pages = o.pages;
            r.bitRate = o.bitRate;
            r.farIdent = o.farIdent;
            if (o.code == 0 && o.pages >= r.total) {
                r.sent = true;
            } else if (stop_) {
                r.stopped = true;
                r.why = "the engine was stopped during the call";
            } else {
                r.error = o.code == T30_ERR_RX_INCAPABLE ? kErrFarCannotReceive
                          : o.code == T30_ERR_CALLDROPPED ? kErrDropped
                                                          : kErrCallFailed;
                r.why = o.text.empty() ? statusText(host_, r.error) : o.text;
            }
        }
    }
    if (!txFile.empty()) std::remove(txFile.c_str());
    finishJob(job, r);
    setDoing("waiting");
    return true;
}

void Engine::finishJob(const QUEUE_RECORD& taken, const CallResult& r) {
    const std::string number = std::to_string(jobNumber(taken));
    EngineLock lock(host_);
    if (lock.status()) {
        report_("job " + number + ": the engine lock cannot be taken; the job stays sending until the next start");
        return;
    }
    QUEUE_RECORD job;
    std::memset(&job, 0, sizeof job);
    if (VQ_readjob(host_, taken.jobnum, &job) != 0 || jobNumber(job) != jobNumber(taken) || job.status != 'I') {
        report_("job " + number + " was changed or removed during the call; it is left as it is");
        return;
    }
    char text[72] = {};
    if (r.stopped) {
        job.status = 'Q';  // not a failed try: it is sent again next time
        report_("job " + number + ": " + r.why + "; it waits again");
    } else if (r.sent) {
        job.status = 'S';
        job.errorcode = 0;
        job.progress1 = static_cast<int16_t>(std::min(r.pages, 99));
        job.progress2 = static_cast<int16_t>(std::min(job.progress2 + 1, 99));
        job.info8 = static_cast<int16_t>(std::min(r.total, 999));
        job.info1 = static_cast<int16_t>(std::min(job.info1 + 1, 99));
        job.info3 = static_cast<int16_t>(std::min(r.bitRate, 32767));
        job.info7 = static_cast<int16_t>(std::min(static_cast<int>(r.seconds + 0.5), 32767));
        UL_strcopy(job.info4, r.farIdent.c_str());
        std::snprintf(text, sizeof text, "%d pages sent at %d bit/s in %.0f s", r.pages, r.bitRate, r.seconds);
        UL_strcopy(job.info6, text);
        report_("job " + number + ": sent " + std::to_string(r.pages) + " pages to \"" + r.farIdent + "\" at " +
                std::to_string(r.bitRate) + " bit/s, " + std::to_string(static_cast<int>(r.seconds + 0.5)) +
                " s of line time");
    } else {
        // Calls since the job was queued: a re-queue (Resend failed) zeroes progress2 and so
        // gives the job its retries again; info1 counts every call.
        const int tries = job.progress2 + 1;
        job.progress2 = static_cast<int16_t>(std::min(tries, 99));
        job.info1 = static_cast<int16_t>(std::min(job.info1 + 1, 99));
        job.errorcode = r.error;
        job.progress1 = static_cast<int16_t>(std::min(r.pages, 99));
        job.info8 = static_cast<int16_t>(std::min(r.total, 999));
        UL_strcopy(job.info6, r.why.c_str());
        // The job file or its documents will not get better by calling again.
        const bool retry = tries <= settings_.retries && r.error != kErrJobFile && r.error != kErrDocument &&
                           r.error != kErrMissing && r.error != kErrNoPages;
        if (retry) {
            job.status = 'Q';
            job.sendtime = later(settings_.retryInterval);
            report_("job " + number + ": " + r.why + "; try " + std::to_string(tries) + " of " +
                    std::to_string(settings_.retries + 1) + ", calling again in " +
                    std::to_string(settings_.retryInterval) + " s");
        } else {
            job.status = 'E';
            report_("job " + number + " failed: " + statusText(host_, r.error) + " (" + r.why + ")");
        }
    }
    const bool releaseHolds = r.sent && job.unused2[kHoldsReleasedAt - 342] != kHoldsReleased;
    if (releaseHolds) job.unused2[kHoldsReleasedAt - 342] = kHoldsReleased;
    if (int16_t st = VQ_writejob(host_, &job, 3)) {
        report_("job " + number + " cannot be written back (status " + std::to_string(st) + ")");
        return;
    }
    if (!releaseHolds) return;
    // The job is done with its documents: release its holds; the last hold deletes a spooled
    // copy, and a document of a delete-after-send job goes even when the list never held it.
    for (const VQ_JOBFILE& f : r.files)
        if (int16_t st = qorsf::SF_releasedelfile(host_, f.path, static_cast<int16_t>(f.flag)))
            report_("job " + number + ": " + f.path + " cannot be released from the delete list (status " +
                    std::to_string(st) + ")");
}

void Engine::fileReceived() {
    for (Received& rx : inbox_.take()) {
        std::vector<qordoc::Page> pages;
        std::string reason;
        if (qordoc::readFax(rx.tiff, &pages, &reason) != 0 || pages.empty()) {
            if (rx.leftover) {  // cut off before its first page was whole
                std::remove(rx.tiff.c_str());
                continue;
            }
            report_("a received fax cannot be read (" + reason + "); it is kept as " + rx.tiff);
            continue;
        }
        char base[UL_MAXPATH];
        if (int16_t st = VQ_recvname(host_, 0, base, sizeof base)) {
            report_("no name for a received fax (status " + std::to_string(st) + "); it is kept as " + rx.tiff);
            continue;
        }
        const int n = static_cast<int>(pages.size());
        bool written = true;
        for (int k = 0; k < n && written; ++k)
            written = qordoc::writeFax(UX_pagefilename(base, k), {pages[static_cast<std::size_t>(k)]}, false, k, n) == 0;
        if (!written) {
            L1_deletepages(host_, base, static_cast<int16_t>(n));
            report_("the pages of a received fax cannot be written; it is kept as " + rx.tiff);
            continue;
        }
        VQ_LOGENTRY e;
        std::memset(&e, 0, sizeof e);
        const std::string page0 = UX_pagefilename(base, 0);
        UL_strcopy(e.faxfile, page0.substr(page0.rfind('/') + 1).c_str());
        e.pages = static_cast<int16_t>(n);
        e.entrystate = rx.outcome.code == 0 ? 'R' : 'P';
        e.viewstate = 'R';
        e.printstate = settings_.autoPrint ? 'R' : 'N';
        e.resolution = static_cast<uint16_t>(rx.outcome.ydpi ? rx.outcome.ydpi : pages[0].ydpi >= 150 ? 196 : 98);
        e.duration = static_cast<uint16_t>(std::min(rx.seconds + 0.5, 65535.0));
        e.result = static_cast<uint16_t>(rx.outcome.code < 0 ? 0 : rx.outcome.code);
        UL_strcopy(e.stationid, rx.outcome.farIdent.c_str());
        LOG_RECORD record;
        std::memcpy(&record, &e, sizeof record);
        int16_t st = 0;
        {
            EngineLock lock(host_);
            st = lock.status() ? lock.status() : VQ_addlog(host_, 0, &record);
        }
        if (st) {
            L1_deletepages(host_, base, static_cast<int16_t>(n));
            report_("a received fax cannot be entered in the log (status " + std::to_string(st) + "); it is kept as " +
                    rx.tiff);
            continue;
        }
        std::remove(rx.tiff.c_str());
        int32_t entry = 0;
        std::memcpy(&entry, reinterpret_cast<const char*>(&record) + 74, 4);
        report_("received " + std::to_string(n) + " pages from \"" + rx.outcome.farIdent + "\"" +
                (rx.outcome.code ? " (in part: " + rx.outcome.text + ")" : "") + ", log entry " +
                std::to_string(entry));
    }
}

}  // namespace qorfaxd
