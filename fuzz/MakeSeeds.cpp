// Cuts hives and .reg files made by Wine into small seed inputs for the fuzz targets.
// make-fuzz-seeds hive|reg SOURCE OUTDIR [MAXSEEDS]
#include "platform/TextCodec.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tw::platform;

constexpr size_t kSeedSize = 3000;

std::vector<std::string_view> lines(std::string_view text)
{
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        const size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
        out.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return out;
}

/// The header (lines before the first "[") and groups of whole key sections of about
/// kSeedSize bytes, each group after the header.
std::vector<std::string> cut(std::string_view text)
{
    const std::vector<std::string_view> all = lines(text);
    std::string header;
    size_t i = 0;
    for (; i < all.size() && all[i].substr(0, 1) != "["; ++i)
        header += all[i];
    std::vector<std::string> seeds;
    std::string body;
    for (; i < all.size(); ++i) {
        if (all[i].substr(0, 1) == "[" && body.size() >= kSeedSize) {
            seeds.push_back(header + body);
            body.clear();
        }
        body += all[i];
    }
    if (!body.empty() || seeds.empty())
        seeds.push_back(header + body);
    return seeds;
}

/// At most `max` of the seeds, spread over the whole file.
std::vector<std::string> spread(const std::vector<std::string>& seeds, size_t max)
{
    if (seeds.size() <= max)
        return seeds;
    std::vector<std::string> out;
    for (size_t i = 0; i < max; ++i)
        out.push_back(seeds[i * seeds.size() / max]);
    return out;
}

bool save(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || (std::string_view(argv[1]) != "hive" && std::string_view(argv[1]) != "reg")) {
        std::cerr << "usage: make-fuzz-seeds hive|reg SOURCE OUTDIR [MAXSEEDS]\n";
        return 2;
    }
    const bool hive = std::string_view(argv[1]) == "hive";
    const std::string source = argv[2];
    const std::string outDir = argv[3];
    const size_t max = argc > 4 ? std::stoul(argv[4]) : 100;

    std::ifstream in(source, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        std::cerr << "cannot read " << source << "\n";
        return 1;
    }
    std::string stem = source.substr(source.find_last_of('/') + 1);
    stem = stem.substr(0, stem.find('.'));
    std::string prefix = source;
    for (char& c : prefix) {
        if (c == '/' || c == '.')
            c = '_';
    }

    std::string text = bytes;
    const bool utf16 = bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (utf16)
        text = utf16ToUtf8(bytesToUtf16(std::string_view(bytes).substr(2)));

    size_t written = 0;
    int n = 0;
    for (const std::string& seed : spread(cut(text), max)) {
        const std::string base = outDir + "/" + prefix + "-" + std::to_string(n++);
        bool ok = true;
        if (hive) {
            ok = save(base, seed);
            ++written;
        } else {
            // Each piece in both formats: version 5.00 as UTF-16LE, and as 8-bit REGEDIT4.
            const size_t firstLine = seed.find('\n');
            const std::string body = firstLine == std::string::npos ? "" : seed.substr(firstLine);
            ok = save(base + "-unicode", "\xFF\xFE" + utf16ToBytes(utf8ToUtf16(seed))) &&
                 save(base + "-regedit4", "REGEDIT4\r" + body);
            written += 2;
        }
        if (!ok) {
            std::cerr << "cannot write " << base << "\n";
            return 1;
        }
    }
    std::cout << source << ": " << written << " seeds\n";
    return 0;
}
