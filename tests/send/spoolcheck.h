// Whether the queue, the delete list and the spool agree: every job that is not deleted has its
// control file and its documents, each document is held exactly once per such job, the list
// holds nothing else, and the spool holds no control file or copy that no job names.
#pragma once

#include <dirent.h>
#include <strings.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "qorsf.h"
#include "qorul.h"
#include "qorvq.h"
#include "queuewalk.h"
#include "send/send.h"
#include "testprofile.h"

namespace qortest {

struct Agreement {
    std::vector<std::string> faults;  // what does not agree, one text each
    int jobs = 0;                     // jobs that are not deleted
    int lost = 0;                     // jobs whose control file or a document is gone
    bool ok() const { return faults.empty(); }
    std::string text() const {
        std::string t;
        for (const auto& f : faults) t += f + "\n";
        return t;
    }
};

inline std::string lowerText(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The documents named by a control file's document lines (the text up to the first blank).
inline std::vector<std::string> controlDocuments(const std::string& control) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < control.size()) {
        std::size_t end = control.find("\r\n", pos);
        if (end == std::string::npos) end = control.size();
        const std::string line = control.substr(pos, end - pos);
        pos = end + 2;
        const std::size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        const std::string word = line.substr(0, blank);
        if (word == "FAX" || word == "TEXT" || word == "OTHER" || word == "ATTACH") {
            const std::string rest = line.substr(blank + 1);
            out.push_back(rest.substr(0, rest.find(' ')));
        }
    }
    return out;
}

inline Agreement checkAgreement(const TempProfile& profile) {
    Agreement a;
    std::map<std::string, int> needed;
    std::set<std::string> controls;
    for (const QUEUE_RECORD& r : queueRecords()) {
        if (r.status == 'D') continue;
        ++a.jobs;
        char path[80];
        UL_strcopy(path, r.jobfile);
        UL_fullpath(0, path, sizeof path);
        controls.insert(lowerText(path));
        const std::string control = readFile(path);
        if (control.size() < 5 || control.compare(control.size() - 5, 5, "END\r\n") != 0) {
            a.faults.push_back(std::string("job control file missing or incomplete: ") + path);
            ++a.lost;
            continue;
        }
        bool whole = true;
        for (const std::string& d : controlDocuments(control)) {
            ++needed[lowerText(d)];
            if (!fileExists(d)) {
                a.faults.push_back("document of a queued job is gone: " + d);
                whole = false;
            }
        }
        if (!whole) ++a.lost;
    }
    const std::string bytes = readFile(profile.path("data/delfile.lis"));
    if (bytes.size() % sizeof(DEL_RECORD) != 0) a.faults.push_back("delete list of a broken length");
    std::map<std::string, int> held;
    for (std::size_t i = 0; i + sizeof(DEL_RECORD) <= bytes.size(); i += sizeof(DEL_RECORD)) {
        DEL_RECORD r;
        std::memcpy(&r, bytes.data() + i, sizeof r);
        if (r.inuse == 0) continue;
        held[lowerText(std::string(r.path, ::strnlen(r.path, sizeof r.path)))] += r.count;
    }
    for (const auto& [path, n] : needed)
        if (held[path] != n)
            a.faults.push_back(path + ": " + std::to_string(n) + " jobs, " + std::to_string(held[path]) + " holds");
    for (const auto& [path, n] : held)
        if (!needed.count(path)) a.faults.push_back(path + ": " + std::to_string(n) + " holds and no job");
    const std::string spool = profile.path("spool/");
    if (DIR* d = ::opendir(spool.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() < 12 || name.compare(8, 4, ".SPL") != 0) continue;
            const std::string key = lowerText(spool + name);
            if (!controls.count(key) && !needed.count(key)) a.faults.push_back("spool file no job names: " + name);
        }
        ::closedir(d);
    }
    return a;
}

}  // namespace qortest
