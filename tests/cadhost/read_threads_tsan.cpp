// The two threads that read a large drawing, run under ThreadSanitizer: drawings of several
// megabytes, sound and damaged, are loaded from disk again and again (the threads meet at
// other places each time, and each of them is the one that waits in some), and each load must
// give what the same bytes give read by one thread. The sanitizer fails the run on any data race;
// this program fails it on a wrong result.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_error.h"

namespace {

using cadhost::dxf::Document;

// A drawing of about 6 MB: a layer table, then ENTITIES and OBJECTS of about 2.5 MB each, whose
// records carry `entityText` and `objectText` bytes of text. Small records take longer per byte
// to cut, so the one thread or the other is first where the runs are handed over.
std::string drawing(std::size_t entityText, std::size_t objectText) {
    std::string text = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n";
    text += "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n  5\n2\n 70\n1\n";
    std::uint64_t handle = 0x100;
    for (int i = 0; i < 10'000; ++i) {
        text += "  0\nLAYER\n  5\n" + cadhost::dxf::formatHandle(handle++) +
                "\n330\n2\n  2\nLAYER" + std::to_string(i) + "\n 70\n0\n 62\n7\n  6\nCONTINUOUS\n";
    }
    text += "  0\nENDTAB\n  0\nENDSEC\n";
    for (const auto& [section, size] :
         {std::pair{"ENTITIES", entityText}, {"OBJECTS", objectText}}) {
        text += std::string("  0\nSECTION\n  2\n") + section + "\n";
        const std::string value(size, 'x');
        for (const std::size_t end = text.size() + (5u << 19); text.size() < end;) {
            text += "  0\nTHING\n  5\n" + cadhost::dxf::formatHandle(handle++) +
                    "\n102\n{ACAD_REACTORS\n330\nABC\n102\n}\n330\n1F\n  1\n" + value + "\n";
        }
        text += "  0\nENDSEC\n";
    }
    return text + "  0\nEOF\n";
}

// What a document holds, in a form to compare: each record's type, keys and bytes written.
std::string summary(Document& doc) {
    std::string text;
    for (auto id = doc.first(); id != cadhost::dxf::kNoRecord; id = doc.next(id)) {
        text += std::string(doc.type(id)) + " " + std::to_string(doc.handle(id)) + " " +
                std::to_string(doc.owner(id)) + " " + std::string(doc.sectionName(id)) + "/" +
                std::string(doc.tableName(id)) + " " + std::to_string(doc.tags(id).size()) + "\n";
    }
    return text + doc.toBytes();
}

std::string read(const std::string& bytes, const std::filesystem::path* path) {
    try {
        Document doc = path ? Document::load(*path) : Document::fromBytes(bytes);
        return summary(doc);
    } catch (const cadhost::dxf::DxfError& error) {
        // The same fault on the same line; only a load names the file.
        const std::string what = error.what();
        const std::size_t line = what.find("line ");
        return "error " + (line == std::string::npos ? what : what.substr(line));
    }
}

}  // namespace

int main() {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("read-threads-" + std::to_string(::getpid()) + ".dxf");
    std::vector<std::pair<std::string, std::string>> drawings = {
        {"small records at the back", drawing(200, 1)},
        {"small records at the front", drawing(1, 200)},
    };
    std::string damaged = drawings[0].second;
    damaged.replace(damaged.rfind("  1\nx\n"), 3, "1x1");
    drawings.emplace_back("damaged", damaged);
    int failures = 0;
    for (const auto& [name, bytes] : drawings) {
        std::ofstream(path, std::ios::binary) << bytes;
        const std::string expected = read(bytes, nullptr);
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (read(bytes, &path) != expected) {
                std::fprintf(stderr,
                             "%s: a load from disk differs from its bytes read by one "
                             "thread (attempt %d)\n",
                             name.c_str(), attempt);
                ++failures;
            }
        }
    }
    std::filesystem::remove(path);
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
