// libqorsf.so exports exactly the entry points of its symbol map, each declared in qorsf.h.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> dynamicSymbols() {
    std::set<std::string> out;
    std::string cmd = std::string("nm -D --defined-only ") + QORSF_LIBRARY;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char line[512];
    while (fgets(line, sizeof line, p)) {
        std::istringstream s(line);
        std::string addr, type, name;
        if (s >> addr >> type >> name) out.insert(name.substr(0, name.find('@')));
    }
    pclose(p);
    return out;
}

std::string readAll(const char* path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> mapSymbols() {
    std::set<std::string> out;
    const std::string map = readAll(QORSF_MAP);
    const std::regex entry(R"(^\s*((SF|WN)_\w+);)");
    std::istringstream lines(map);
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_search(line, m, entry)) out.insert(m[1]);
    }
    return out;
}

TEST(ExportedSymbols, ExactlyTheMappedEntryPoints) {
    const std::set<std::string> dyn = dynamicSymbols();
    ASSERT_FALSE(dyn.empty()) << "nm could not read " << QORSF_LIBRARY;
    const std::set<std::string> mapped = mapSymbols();
    ASSERT_FALSE(mapped.empty());
    std::set<std::string> exported;
    for (const auto& s : dyn) {
        if (s == "QORSF") continue;  // the version node
        exported.insert(s);
    }
    EXPECT_EQ(exported, mapped);
}

TEST(ExportedSymbols, EveryMappedEntryPointIsDeclaredInTheHeader) {
    const std::string header = readAll(QORSF_HEADER);
    for (const auto& s : mapSymbols()) {
        const std::regex decl("QORSF_API[^;]*\\b" + s + "\\(");
        EXPECT_TRUE(std::regex_search(header, decl)) << s << " is exported but not declared in qorsf.h";
    }
}

TEST(ExportedSymbols, TheFrameEntryPointsAreThere) {
    const std::set<std::string> dyn = dynamicSymbols();
    for (const char* s : {"SF_open", "SF_close", "SF_resetsys", "SF_getparm", "SF_adjustparm", "SF_getphonebookpath"})
        EXPECT_TRUE(dyn.count(s)) << s;
}

}  // namespace
