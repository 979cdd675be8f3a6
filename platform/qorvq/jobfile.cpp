// The job control file as the fax engine reads it.
//
// Lines (each ending with CR LF; keywords are language texts, matched without regard to case):
//   3930 <blank> dial string
//   3933 "  0" or "  1"      delete the documents once sent
//   3932 "  0" or "  1"      fine resolution
//   3934 | 3936 | 3938 | 3944 <blank> document text   (one line per document, at most 100)
//   3931                     the end
// A document text is a path, optionally a blank and the name the file was copied from.
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "qorul.h"
#include "qorvq.h"

namespace {

constexpr int kMaxDocuments = 100;
constexpr std::size_t kLineSize = 256;

bool sameWord(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The keyword of a line (up to its first blank) and the rest after that blank.
void splitLine(const std::string& line, std::string* word, std::string* rest) {
    const std::size_t b = line.find(' ');
    *word = line.substr(0, b);
    *rest = b == std::string::npos ? std::string() : line.substr(b + 1);
}

// The digit of a flag line: the keyword is followed by two blanks and one digit.
bool flagValue(const std::string& line, const char* keyword, uint16_t* value) {
    const std::size_t k = std::strlen(keyword);
    if (line.size() != k + 3 || !sameWord(line.substr(0, k), keyword) || line.compare(k, 2, "  ") != 0)
        return false;
    const char d = line[k + 2];
    if (d != '0' && d != '1') return false;
    *value = static_cast<uint16_t>(d - '0');
    return true;
}

class OpenFile {
public:
    OpenFile(uint32_t host) : host_(host) {}
    ~OpenFile() {
        if (file) UL_fclose(host_, file);
    }
    uint32_t file = 0;

private:
    uint32_t host_;
};

}  // namespace

int16_t VQ_readjobfile(uint32_t host, const char* path, uint32_t* list, char* dial) {
    if (!path || !list) return UL_E_BADARG;
    *list = 0;
    char kw[9][80];
    const uint16_t numbers[9] = {3930, 3931, 3932, 3933, 3934, 3936, 3938, 3944, 0};
    for (int i = 0; i < 8; ++i)
        if (int16_t st = UL_loadstring(host, kw[i], sizeof kw[i], "QORLANG", numbers[i])) return st;
    const char* kDial = kw[0];
    const char* kEnd = kw[1];
    const char* kFine = kw[2];
    const char* kDelete = kw[3];

    OpenFile f(host);
    if (int16_t st = UL_fopenread(host, path, 1, &f.file)) return st;
    std::vector<std::string> lines;
    for (;;) {
        char buf[kLineSize];
        int16_t end = 0;
        if (int16_t st = UL_freadline(host, f.file, buf, sizeof buf, &end)) return st;
        if (end) break;
        // A line that filled the buffer was cut: no line the library writes is that long.
        if (std::strlen(buf) >= kLineSize - 1) return VQ_E_JOBFILE;
        lines.emplace_back(buf);
        if (lines.size() > static_cast<std::size_t>(kMaxDocuments) + 4) return VQ_E_JOBFILE;
    }
    if (lines.size() < 4) return VQ_E_JOBFILE;
    std::string word, rest;
    splitLine(lines[0], &word, &rest);
    if (!sameWord(word, kDial) || rest.empty() || rest.size() >= 80) return VQ_E_JOBFILE;
    const std::string dialString = rest;
    uint16_t deleteAfter = 0, fine = 0;
    if (!flagValue(lines[1], kDelete, &deleteAfter) || !flagValue(lines[2], kFine, &fine)) return VQ_E_JOBFILE;
    if (!sameWord(lines.back(), kEnd)) return VQ_E_JOBFILE;

    std::vector<VQ_JOBFILE> files;
    for (std::size_t i = 3; i + 1 < lines.size(); ++i) {
        splitLine(lines[i], &word, &rest);
        bool document = false;
        for (int k = 4; k < 8; ++k) document = document || sameWord(word, kw[k]);
        if (!document || rest.empty()) return VQ_E_JOBFILE;
        const std::string filePath = rest.substr(0, rest.find(' '));
        if (filePath.empty() || filePath.size() >= sizeof(VQ_JOBFILE::path)) return VQ_E_JOBFILE;
        VQ_JOBFILE e;
        std::memset(&e, 0, sizeof e);
        std::memcpy(e.path, filePath.data(), filePath.size());
        e.flag = deleteAfter;
        files.push_back(e);
    }

    const uint32_t size = static_cast<uint32_t>(2 + files.size() * sizeof(VQ_JOBFILE));
    void* block = nullptr;
    uint32_t handle = 0;
    if (int16_t st = UL_allochandle(&block, size, &handle)) return st;
    auto* p = static_cast<unsigned char*>(block);
    const uint16_t count = static_cast<uint16_t>(files.size());
    std::memcpy(p, &count, 2);
    if (!files.empty()) std::memcpy(p + 2, files.data(), files.size() * sizeof(VQ_JOBFILE));
    UL_unlockhandle(handle);
    if (dial) UL_strcopy(dial, 80, dialString.c_str());
    *list = handle;
    return 0;
}

int16_t VQ_freejobfile(uint32_t, uint32_t list) {
    if (!list) return 0;
    return UL_freehandle(list);
}
