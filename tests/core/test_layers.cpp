// The libraries' layers, read from the include lines of their sources: a library includes
// headers of its own and of the libraries below it only. From the bottom:
//   k740protocol <- k740forms             (the dialogs' pure side)
//   k740protocol <- k740io <- k740core    (sockets and files, then receivers and workers)
//   k740protocol <- k740cloud             (the point-cloud builder)
//   k740core, k740forms <- k740windowrules, k740sim <- k740gui
// k740forms and k740io know nothing of each other. Which source belongs to which library
// comes from the build (K740_LIBRARY_SOURCES); a header belongs to the library that compiles
// the source of the same name, and a header without one is checked as part of every library
// that includes it.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What each library may include besides its own headers.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"k740protocol", {}},
    {"k740forms", {"k740protocol"}},
    {"k740io", {"k740protocol"}},
    {"k740core", {"k740io", "k740protocol"}},
    {"k740cloud", {"k740protocol"}},
    {"k740windowrules", {"k740core", "k740io", "k740forms", "k740protocol"}},
    {"k740sim", {"k740core", "k740io", "k740forms", "k740protocol"}},
    {"k740gui",
     {"k740windowrules", "k740sim", "k740cloud", "k740core", "k740io", "k740forms", "k740protocol"}},
};

bool exists(const std::string& path) { return std::ifstream(path).good(); }

std::string normalised(const std::string& path) {
    return QDir::cleanPath(QString::fromStdString(path)).toStdString();
}

std::string withoutExtension(const std::string& path) { return path.substr(0, path.rfind('.')); }

// The quoted includes of a file that name files of the tree: relative to the file's folder
// first, then to the root (generated headers and Qt's .moc files are not in the tree).
std::vector<std::string> projectIncludes(const std::string& file, const std::string& root) {
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<std::string> found;
    std::ifstream in(file);
    std::string line;
    const std::string folder = file.substr(0, file.rfind('/'));
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, include)) continue;
        for (const std::string& candidate : {folder + "/" + m[1].str(), root + "/" + m[1].str()}) {
            if (exists(candidate)) {
                found.push_back(normalised(candidate));
                break;
            }
        }
    }
    return found;
}

struct Layers {
    std::string root;
    std::map<std::string, std::string> owner;           // file -> library
    std::map<std::string, std::vector<std::string>> files;  // library -> its files

    // Reads "library<TAB>path" lines; each source brings the header of the same name.
    bool read(const std::string& listPath) {
        std::ifstream in(listPath);
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t tab = line.find('\t');
            if (tab == std::string::npos) continue;
            const std::string library = line.substr(0, tab);
            const std::string path = normalised(line.substr(tab + 1));
            for (const std::string& f : {path, withoutExtension(path) + ".h"}) {
                if (!exists(f) || owner.count(f)) continue;
                owner[f] = library;
                files[library].push_back(f);
            }
        }
        return !files.empty();
    }

    // "file: includes header (library)" for every include beyond the library's layer,
    // following headers that belong to no library.
    std::vector<std::string> violations() const {
        std::vector<std::string> out;
        for (const auto& [library, own] : files) {
            const auto allowed = kMayInclude.find(library);
            std::set<std::string> seen;
            std::vector<std::pair<std::string, std::string>> work;  // (file, included from)
            for (const std::string& f : own) work.emplace_back(f, f);
            while (!work.empty()) {
                const auto [file, from] = work.back();
                work.pop_back();
                for (const std::string& header : projectIncludes(file, root)) {
                    const auto o = owner.find(header);
                    if (o == owner.end()) {
                        if (seen.insert(header).second) work.emplace_back(header, from);
                        continue;
                    }
                    if (o->second == library) continue;
                    if (allowed != kMayInclude.end() && allowed->second.count(o->second)) continue;
                    out.push_back(relative(from) + (file == from ? "" : " (through " + relative(file) + ")") +
                                  ": " + library + " includes " + relative(header) + " of " + o->second);
                }
            }
        }
        return out;
    }

    std::string relative(const std::string& path) const {
        return path.compare(0, root.size() + 1, root + "/") == 0 ? path.substr(root.size() + 1) : path;
    }
};

void writeText(const QString& path, const std::string& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    std::ofstream(path.toStdString()) << text;
}

}  // namespace

TEST(Layers, EveryLibraryIncludesOnlyItsOwnAndLowerLayers) {
    Layers layers;
    layers.root = normalised(K740_SOURCE_ROOT);
    ASSERT_TRUE(layers.read(K740_LIBRARY_SOURCES)) << "no library sources listed in " << K740_LIBRARY_SOURCES;
    for (const char* library : {"k740protocol", "k740forms", "k740io", "k740core", "k740windowrules", "k740sim"}) {
        EXPECT_FALSE(layers.files[library].empty()) << library;
        EXPECT_TRUE(kMayInclude.count(library)) << library;
    }
    for (const auto& [library, own] : layers.files) EXPECT_TRUE(kMayInclude.count(library)) << "no layer for " << library;
    std::string report;
    for (const std::string& v : layers.violations()) report += v + "\n";
    EXPECT_TRUE(report.empty()) << report;
}

TEST(Layers, ACheckedTreeShowsIncludesAcrossLayersAndSiblings) {
    // A small tree: protocol is clean; io includes a forms header (a sibling); core includes a
    // header of no library that includes a windowrules header (a higher layer); forms includes
    // a protocol header (allowed).
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = normalised(dir.path().toStdString());
    writeText(dir.filePath("p/rule.h"), "#pragma once\n");
    writeText(dir.filePath("p/rule.cpp"), "#include \"p/rule.h\"\n#include <vector>\n");
    writeText(dir.filePath("f/form.h"), "#pragma once\n#include \"p/rule.h\"\n");
    writeText(dir.filePath("f/form.cpp"), "#include \"form.h\"\n");
    writeText(dir.filePath("i/file.cpp"), "#include \"p/rule.h\"\n  #  include \"f/form.h\"\n");
    writeText(dir.filePath("c/shared.h"), "#pragma once\n#include \"w/mode.h\"\n");
    writeText(dir.filePath("c/worker.cpp"), "#include \"c/shared.h\"\n#include \"ui_worker.h\"\n");
    writeText(dir.filePath("w/mode.h"), "#pragma once\n");
    writeText(dir.filePath("w/mode.cpp"), "#include \"w/mode.h\"\n#include \"c/shared.h\"\n");
    writeText(dir.filePath("list.txt"), "k740protocol\t" + root + "/p/rule.cpp\nk740forms\t" + root +
                                            "/f/form.cpp\nk740io\t" + root + "/i/file.cpp\nk740core\t" + root +
                                            "/c/worker.cpp\nk740windowrules\t" + root + "/w/mode.cpp\n");
    Layers layers;
    layers.root = root;
    ASSERT_TRUE(layers.read(dir.filePath("list.txt").toStdString()));
    const std::vector<std::string> found = layers.violations();
    const std::set<std::string> got(found.begin(), found.end());
    EXPECT_EQ(got, (std::set<std::string>{
                       "i/file.cpp: k740io includes f/form.h of k740forms",
                       "c/worker.cpp (through c/shared.h): k740core includes w/mode.h of k740windowrules",
                   }));
}
