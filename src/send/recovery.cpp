// The recovery pass of the spool (see recovery.h).
//
// Files of the send side in spool/: "XXXXXXXX.SPL" (a job control file, eight hex digits),
// "XXXXXXXX.SPL.NNN" (a spooled copy or cover page of a send), and temporaries of a copy being
// made ("XXXXXXXX.SPL.NNN.xxxxxx"). Only names of that form are ever removed, and only when no
// job of the queue names them; anything else in the spool is left alone.
#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "frame/services/guards.h"
#include "phonebook/phonebook.h"
#include "qorul_durable.h"
#include "queue/actions.h"
#include "send/recovery.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr const char* kMark = "send.pending";

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int16_t spoolDir(std::string* dir) {
    if (int16_t st = UL_profileinit()) return st;
    *dir = std::string(UL_profileroot()) + "spool/";
    return 0;
}

// "XXXXXXXX.SPL" followed by nothing (a control file) or by "." and more (a copy or its temporary).
enum class SpoolKind { Other, Control, Copy };
SpoolKind kindOf(const std::string& name) {
    if (name.size() < 12) return SpoolKind::Other;
    for (int i = 0; i < 8; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[static_cast<std::size_t>(i)]))) return SpoolKind::Other;
    if (name.compare(8, 4, ".SPL") != 0) return SpoolKind::Other;
    if (name.size() == 12) return SpoolKind::Control;
    return name[12] == '.' ? SpoolKind::Copy : SpoolKind::Other;
}

// The documents of one control file, or false when it cannot be read.
bool documentsOf(uint32_t host, const std::string& control, std::vector<std::string>* out) {
    out->clear();
    uint32_t list = 0;
    if (VQ_readjobfile(host, control.c_str(), &list) != 0) return false;
    void* p = nullptr;
    if (UL_lockhandle(list, &p) != 0) {
        VQ_freejobfile(host, list);
        return false;
    }
    uint16_t count = 0;
    std::memcpy(&count, p, 2);
    const auto* entries = reinterpret_cast<const unsigned char*>(p) + 2;
    for (uint16_t i = 0; i < count; ++i) {
        VQ_JOBFILE e;
        std::memcpy(&e, entries + i * sizeof(VQ_JOBFILE), sizeof e);
        e.path[sizeof e.path - 1] = '\0';
        out->emplace_back(e.path);
    }
    UL_unlockhandle(list);
    VQ_freejobfile(host, list);
    return true;
}

struct Needs {
    std::map<std::string, std::pair<std::string, long>> documents;  // lower-case path -> path, jobs
    std::set<std::string> controls;                                  // lower-case control file paths
    std::set<std::string> released;  // documents of sent jobs whose holds the engine gave back
    bool allKnown = true;  // every job's control file was read
};

int16_t walkQueue(uint32_t host, Needs* needs, SpoolReport* report) {
    unsigned char cursor[VQ_CURSORSIZE] = {};
    if (int16_t st = VQ_openqueue(host, cursor)) return st;
    struct Close {
        uint32_t host;
        unsigned char* cursor;
        ~Close() { VQ_closequeue(host, cursor); }
    } close{host, cursor};
    std::vector<std::string> docs;
    for (;;) {
        QUEUE_RECORD r;
        std::memset(&r, 0, sizeof r);
        int16_t found = 0;
        if (int16_t st = VQ_readnext(host, cursor, &r, &found)) return st;
        if (!found) break;
        if (r.status == 'D') continue;  // deleted: its holds were released with it
        ++report->jobs;
        char path[UL_MAXPATH];
        UL_strcopy(path, std::string(r.jobfile, ::strnlen(r.jobfile, sizeof r.jobfile)).c_str());
        if (UL_fullpath(host, path, sizeof path) != 0) {
            needs->allKnown = false;
            report->unreadableControlFiles.emplace_back(path);
            continue;
        }
        needs->controls.insert(lower(path));
        int16_t exists = 0;
        UL_fileexists(path, &exists);
        if (!exists) {
            report->missingControlFiles.emplace_back(path);
            continue;
        }
        if (!documentsOf(host, path, &docs)) {
            needs->allKnown = false;
            report->unreadableControlFiles.emplace_back(path);
            continue;
        }
        for (const std::string& d : docs) {
            if (SF_holdsreleased(r)) {  // kept on disk for the job, but no longer held by it
                needs->released.insert(lower(d));
                continue;
            }
            auto& slot = needs->documents[lower(d)];
            if (slot.first.empty()) slot.first = d;
            ++slot.second;
        }
    }
    return 0;
}

bool inDirectory(const std::string& path, const std::string& dir) {
    return path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
           path.find('/', dir.size()) == std::string::npos;
}

int16_t reconcileList(uint32_t host, const Needs& needs, const std::string& spool, SpoolReport* report,
                      std::vector<std::string>* doomed) {
    qorul::FileLock lock;
    if (int16_t st = SF_lockdellist(host, &lock)) return st;
    std::vector<DEL_RECORD> list;
    bool exists = false;
    int16_t st = SF_readdellist(host, &list, &exists);
    if (st == SF_DELLISTDAMAGED) {
        // Rebuilt from the jobs; the damaged list is kept beside it for whoever wants to look.
        char path[UL_MAXPATH];
        if (SF_getdellistpath(host, path, sizeof path) == 0) {
            std::string bytes;
            if (qorul::readWholeFile(path, &bytes) == 0 &&
                qorul::writeWholeFile(std::string(path) + ".damaged", bytes) == 0)
                report->damagedListKept = true;
        }
        list.clear();
        st = 0;
    }
    if (st) return st;

    std::map<std::string, std::pair<std::string, long>> wanted = needs.documents;
    bool changed = false;
    for (DEL_RECORD& r : list) {
        if (r.inuse == 0) continue;
        const std::string key = lower(r.path);
        auto it = wanted.find(key);
        if (it == wanted.end()) {
            if (!needs.allKnown) continue;  // an unreadable job might need it: keep its holds
            // A second record of a needed file goes, the file stays (the first record holds it).
            if (!needs.documents.count(key) && !needs.released.count(key) && inDirectory(r.path, spool))
                doomed->emplace_back(r.path);
            r = DEL_RECORD{};
            ++report->holdsFixed;
            changed = true;
            continue;
        }
        const long want = it->second.second > INT16_MAX ? INT16_MAX : it->second.second;
        if (r.count != want) {
            r.count = static_cast<int16_t>(want);
            ++report->holdsFixed;
            changed = true;
        }
        wanted.erase(it);
    }
    for (const auto& [key, need] : wanted) {
        if (need.first.size() >= sizeof(DEL_RECORD::path)) continue;  // cannot be listed
        DEL_RECORD r{};
        r.count = static_cast<int16_t>(need.second > INT16_MAX ? INT16_MAX : need.second);
        r.inuse = 'n';
        UL_strcopy(r.path, need.first.c_str());
        bool placed = false;
        for (DEL_RECORD& slot : list) {
            if (slot.inuse == 0) {
                slot = r;
                placed = true;
                break;
            }
        }
        if (!placed) list.push_back(r);
        ++report->holdsFixed;
        changed = true;
    }
    if (changed || (!exists && !list.empty())) {
        if (int16_t w = SF_dellistchanging(lock)) return w;
        if (int16_t w = SF_writedellist(host, list)) return w;
    }
    // Temporaries of the list left by a killed process: the lock is held, so none is in use.
    char listPath[UL_MAXPATH];
    if (SF_getdellistpath(host, listPath, sizeof listPath) == 0) {
        const std::string lp = listPath;
        const std::string dataDir = lp.substr(0, lp.rfind('/') + 1);
        const std::string base = lp.substr(lp.rfind('/') + 1);
        if (DIR* d = ::opendir(dataDir.c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name.compare(0, base.size(), base) == 0 && qorul::isWholeFileTemporary(name))
                    doomed->push_back(dataDir + name);
            }
            ::closedir(d);
        }
    }
    return 0;
}

}  // namespace

int16_t SF_recoverspool(uint32_t host, SpoolReport* report) {
    SpoolReport local;
    SpoolReport& rep = report ? *report : local;
    rep = SpoolReport{};
    std::string spool;
    if (int16_t st = spoolDir(&spool)) return st;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;

    Needs needs;
    if (int16_t st = walkQueue(host, &needs, &rep)) return st;
    std::vector<std::string> doomed;
    if (int16_t st = reconcileList(host, needs, spool, &rep, &doomed)) return st;

    std::set<std::string> removed;
    for (const std::string& path : doomed) {
        if (UL_fdelete(host, path.c_str()) == 0 && inDirectory(path, spool)) {
            removed.insert(lower(path));
            ++rep.removedCopies;
        }
    }
    if (needs.allKnown) {
        std::vector<std::pair<std::string, SpoolKind>> unnamed;
        if (DIR* d = ::opendir(spool.c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                const SpoolKind kind = kindOf(name);
                if (kind == SpoolKind::Other) continue;
                const std::string key = lower(spool + name);
                if (needs.controls.count(key) || needs.documents.count(key) || needs.released.count(key) ||
                    removed.count(key))
                    continue;
                unnamed.emplace_back(spool + name, kind);
            }
            ::closedir(d);
        }
        for (const auto& [path, kind] : unnamed) {
            if (UL_fdelete(host, path.c_str()) != 0) continue;
            if (kind == SpoolKind::Control) ++rep.removedControlFiles;
            else ++rep.removedCopies;
        }
    }
    UL_fdelete(host, (spool + kMark).c_str());
    return lock.release();
}

namespace {

int16_t reattach(uint32_t host, const std::string& control) {
    char dial[UL_MAXPATH] = {};
    uint32_t list = 0;
    if (int16_t st = VQ_readjobfile(host, control.c_str(), &list, dial)) return st;
    VQ_freejobfile(host, list);
    char prefix[UL_MAXPATH], suffix[UL_MAXPATH], number[UL_MAXPATH];
    if (int16_t st = SF_decodephonenum(host, dial, prefix, suffix, number)) return st;
    SendJobRecord job;
    std::memset(&job, 0, sizeof job);
    if (UL_strcopy(job.jobfile, control.c_str()) != 0) return UL_E_PATHLONG;
    if (UL_strcopy(job.number, number) != 0) return VQ_E_BADJOB;
    job.status = 'Q';
    uint32_t jobNumber = 0;
    if (int16_t st = VQ_addjob(host, &job, &jobNumber)) return st;
    // Held, not waiting: the job may have been sent already before the queue was damaged; the
    // user releases what is to go.
    QUEUE_RECORD rec;
    std::memset(&rec, 0, sizeof rec);
    if (int16_t st = VQ_readjob(host, jobNumber, &rec)) return st;
    rec.status = 'U';
    return VQ_writejob(host, &rec, 3);
}

}  // namespace

int16_t SF_repairqueue(uint32_t host, RepairReport* report) {
    RepairReport local;
    RepairReport& rep = report ? *report : local;
    rep = RepairReport{};
    std::string spool;
    if (int16_t st = spoolDir(&spool)) return st;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    char kept[256] = {};
    if (int16_t st = VQ_repairqueue(host, kept, sizeof kept, &rep.salvaged)) return st;
    rep.keptAs = kept;

    Needs needs;
    SpoolReport ignored;
    if (int16_t st = walkQueue(host, &needs, &ignored)) return st;
    std::vector<std::string> names;
    if (DIR* d = ::opendir(spool.c_str())) {
        while (const dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (kindOf(name) != SpoolKind::Control || needs.controls.count(lower(spool + name))) continue;
        if (reattach(host, spool + name) == 0) rep.reattached.push_back(spool + name);
        else rep.notReattached.push_back(spool + name);
    }
    // Whatever is still unnamed is kept aside for the user, not removed by the pass.
    needs = Needs{};
    if (int16_t st = walkQueue(host, &needs, &ignored)) return st;
    const std::string aside = spool + "unattached/";
    bool made = false;
    for (std::string& path : rep.notReattached) {
        if (!made) made = ::mkdir(aside.c_str(), 0755) == 0 || errno == EEXIST;
        const std::string to = aside + path.substr(spool.size());
        if (made && ::rename(path.c_str(), to.c_str()) == 0) path = to;
    }
    if (!rep.notReattached.empty() && made) {
        for (const std::string& name : names) {
            if (kindOf(name) != SpoolKind::Copy) continue;
            const std::string key = lower(spool + name);
            if (needs.documents.count(key) || needs.released.count(key)) continue;
            if (::rename((spool + name).c_str(), (aside + name).c_str()) == 0) ++rep.movedCopies;
        }
    }
    return SF_recoverspool(host, &rep.spool);
}

int16_t SF_recoverifneeded(uint32_t host) {
    std::string spool;
    if (int16_t st = spoolDir(&spool)) return st;
    int16_t exists = 0;
    UL_fileexists((spool + kMark).c_str(), &exists);
    if (!exists) return 0;
    // Another process sending now has the mark up and the engine lock held: its send is not
    // broken, and this start does not wait for it.
    if (L1_lockdepth() == 0) {
        qorul::FileLock probe;
        if (probe.tryTake(spool + "engine.lock") != 0) return 0;
    }
    return SF_recoverspool(host, nullptr);
}

int16_t SendInProgress::begin() {
    std::string spool;
    if (int16_t st = spoolDir(&spool)) return st;
    int16_t exists = 0;
    UL_fileexists((spool + kMark).c_str(), &exists);
    // The caller holds the engine lock: a mark found now was left by a send that never ended.
    if (exists) {
        if (int16_t st = SF_recoverspool(host_, nullptr)) return st;
    }
    // Not synced: the mark only has to outlive the process, and the pass also runs on demand.
    return qorul::writeWholeFile(spool + kMark, "", false);
}

void SendInProgress::end() {
    std::string spool;
    if (spoolDir(&spool) == 0) UL_fdelete(host_, (spool + kMark).c_str());
}

}  // namespace qorsf
