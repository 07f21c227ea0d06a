#include "OwnFolders.h"

#include "ProgramInfo.h"
#include "Session.h"

namespace tw {

OwnFolders::OwnFolders(const Session& session)
{
    platform::Files& files = session.files();
    if (const std::optional<platform::FileId> id = files.fileId(kProgramFolder)) {
        m_ids.insert(*id);
        collect(files, kProgramFolder);
    }
}

void OwnFolders::collect(platform::Files& files, const std::string& folder)
{
    auto search = files.findFirstFile(folder + "\\*", platform::FindDetail::FolderDetails);
    if (!search)
        return;
    do {
        const platform::FindData& entry = search->current();
        if (entry.name == "." || entry.name == ".." ||
            !(entry.attributes & win::FILE_ATTRIBUTE_DIRECTORY) ||
            (entry.attributes & win::FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (m_ids.insert(entry.id).second)
            collect(files, folder + "\\" + entry.name);
    } while (search->next());
}

} // namespace tw
