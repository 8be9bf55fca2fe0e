// vq7docx: packs a folder of XML parts into a DOCX (the report template is
// made this way at build time) and prints the text content of a DOCX.
#include "report/DocxText.h"
#include "report/ReportError.h"
#include "report/ZipPackage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
int Pack(const std::string& dir, const std::string& out)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            names.push_back(fs::relative(entry.path(), dir).generic_string());
    // The content types first, as the office suites write them.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const bool ta = a == "[Content_Types].xml", tb = b == "[Content_Types].xml";
        return ta != tb ? ta : a < b;
    });
    CZipPackage package;
    for (const std::string& name : names) {
        std::ifstream in(fs::path(dir) / name, std::ios::binary);
        package.Set(name, std::string(std::istreambuf_iterator<char>(in), {}));
    }
    fs::create_directories(fs::path(out).parent_path());
    package.Save(out);
    return 0;
}

// Paragraphs as lines; a table as "[T n] row r: cell | cell ...".
int Text(const std::string& path)
{
    const SDocxContent content = ReadDocxContent(path);
    std::printf("title: %s\n", content.title.c_str());
    int tables = 0;
    for (const SDocxBlock& block : content.blocks) {
        if (!block.isTable) {
            std::printf("%s\n", block.text.c_str());
            continue;
        }
        ++tables;
        for (size_t r = 0; r < block.rows.size(); ++r) {
            std::string line = "[T" + std::to_string(tables) + "] row " + std::to_string(r + 1) + ":";
            for (size_t c = 0; c < block.rows[r].size(); ++c)
                line += (c ? " | " : " ") + block.rows[r][c].text;
            std::printf("%s\n", line.c_str());
        }
    }
    return 0;
}
}

int main(int argc, char** argv)
{
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "pack" && argc == 4)
            return Pack(argv[2], argv[3]);
        if (mode == "text" && argc == 3)
            return Text(argv[2]);
        std::fprintf(stderr, "usage: vq7docx pack DIR OUT.docx | vq7docx text FILE.docx\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vq7docx: %s\n", e.what());
        return 1;
    }
}
