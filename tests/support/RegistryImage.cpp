#include "RegistryImage.h"

#include "platform/RegFile.h"
#include "platform/TextCodec.h"

namespace tw::test {

namespace {

std::string lower(const std::string& text)
{
    std::u16string folded;
    for (char16_t c : platform::utf8ToUtf16(text))
        folded.push_back(platform::foldCase(c));
    return platform::utf16ToUtf8(folded);
}

} // namespace

RegistryImage registryImageOf(const std::string& regText)
{
    RegistryImage image;
    for (const platform::RegFileOperation& op : platform::parseRegFile(regText)) {
        const std::string path = lower(op.key.rootName + "\\" + op.key.subKey);
        if (op.kind == platform::RegFileOperation::Kind::CreateKey)
            image[path];
        else if (op.kind == platform::RegFileOperation::Kind::SetValue)
            image[path][lower(op.valueName)] = std::to_string(op.type) + ":" + op.data;
    }
    return image;
}

} // namespace tw::test
