#include "TempFile.h"

#include <algorithm>
#include <charconv>
#include <random>
#include <stdexcept>
#include <vector>

namespace tw::platform {

namespace {

constexpr std::string_view kMark = ".tidewell-";
constexpr std::string_view kSuffix = ".part";
constexpr std::size_t kRandomLength = 12;
constexpr std::string_view kAlphabet = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr int kAttempts = 4;

std::string randomLetters()
{
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string letters(kRandomLength, '0');
    for (char& c : letters)
        c = kAlphabet[pick(device)];
    return letters;
}

} // namespace

std::string tempFileName(std::string_view target, win::DWORD processId)
{
    return std::string(target) + std::string(kMark) + std::to_string(processId) + "-" +
           randomLetters() + std::string(kSuffix);
}

bool isTempFileName(std::string_view name, win::DWORD* processId)
{
    if (!name.ends_with(kSuffix))
        return false;
    name.remove_suffix(kSuffix.size());
    const std::size_t mark = name.rfind(kMark);
    if (mark == std::string_view::npos || name.size() < kRandomLength + 1)
        return false;
    const std::string_view letters = name.substr(name.size() - kRandomLength);
    if (!std::all_of(letters.begin(), letters.end(),
                     [](char c) { return kAlphabet.find(c) != std::string_view::npos; }))
        return false;
    const std::size_t start = mark + kMark.size();
    const std::size_t dash = name.size() - kRandomLength - 1;
    if (dash <= start || name[dash] != '-')
        return false;
    const std::string_view digits = name.substr(start, dash - start);
    win::DWORD id = 0;
    const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (failure != std::errc() || end != digits.data() + digits.size() || id == 0)
        return false;
    if (processId)
        *processId = id;
    return true;
}

int removeStaleTempFiles(Files& files, Processes& processes, std::string_view folder)
{
    const win::DWORD self = processes.currentProcessId();
    std::vector<std::pair<std::string, win::DWORD>> found;
    if (auto search = files.findFirstFile(std::string(folder) + "\\*" + std::string(kSuffix))) {
        do {
            const FindData& data = search->current();
            win::DWORD id = 0;
            if (!(data.attributes & win::FILE_ATTRIBUTE_DIRECTORY) &&
                isTempFileName(data.name, &id) && id != self)
                found.emplace_back(data.name, id);
        } while (search->next());
    }
    if (found.empty())
        return 0;
    // Only a list that could be read tells which writers are gone.
    const ProcessSnapshot running = processes.snapshotProcesses();
    if (running.error)
        return 0;
    int removed = 0;
    for (const auto& [name, id] : found) {
        const bool alive = std::any_of(running.processes.begin(), running.processes.end(),
                                       [id](const ProcessEntry& p) { return p.processId == id; });
        if (!alive && files.deleteFile(std::string(folder) + "\\" + name))
            ++removed;
    }
    return removed;
}

TempFile::TempFile(Files& files, Processes& processes, std::string_view target) : m_files(files)
{
    const std::size_t slash = target.rfind('\\');
    if (slash != std::string_view::npos)
        removeStaleTempFiles(files, processes, target.substr(0, slash));
    // A name taken already can only be chance (or a file planted there): another name.
    for (int attempt = 0; attempt < kAttempts && !m_stream; ++attempt) {
        m_path = tempFileName(target, processes.currentProcessId());
        m_stream = files.openFile(m_path, FileStream::Mode::CreateNew);
    }
    if (!m_stream) {
        const std::string reason = files.lastErrorText();
        throw std::runtime_error("cannot create " + m_path + (reason.empty() ? "" : ": " + reason));
    }
}

TempFile::~TempFile()
{
    m_stream.reset();
    if (!m_moved)
        m_files.deleteFile(m_path);
}

bool TempFile::moveTo(std::string_view to, bool replaceExisting)
{
    m_stream.reset();
    m_moved = m_files.moveFile(m_path, to, replaceExisting);
    return m_moved;
}

} // namespace tw::platform
