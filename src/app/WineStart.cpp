// Start-up on Linux: the session runs on a Wine prefix.
#include "WineStart.h"

#include "OpenSystem.h"
#include "platform/curl/CurlHttp.h"
#include "platform/wine/PrefixLocator.h"
#include "platform/wine/WinePrefix.h"

namespace tw::app {

namespace {
class OpenedPrefix : public OpenedSystem
{
public:
    explicit OpenedPrefix(std::unique_ptr<wine::WinePrefix> prefix) : m_prefix(std::move(prefix)) {}
    platform::Platform platform() override { return m_prefix->platform(); }
    wine::WinePrefix& prefix() { return *m_prefix; }

private:
    std::unique_ptr<wine::WinePrefix> m_prefix;
};
} // namespace

OpenedStart openSystem(const StartOptions& options)
{
    wine::PrefixChoice choice = wine::choosePrefix(options.prefix);
    const wine::OpenMode mode = options.preview           ? wine::OpenMode::Preview
                                : options.changesRegistry ? wine::OpenMode::Writer
                                                          : wine::OpenMode::Normal;
    auto prefix = std::make_unique<wine::WinePrefix>(choice.path, mode);
    std::string path = prefix->hostPath();
    return {std::move(path), std::move(choice.source),
            std::make_unique<OpenedPrefix>(std::move(prefix))};
}

wine::WinePrefix& winePrefix(StartedSession& started)
{
    return dynamic_cast<OpenedPrefix&>(started.system()).prefix();
}

std::string dataDirectory()
{
    return wine::dataDirectory();
}

std::unique_ptr<platform::Http> makeHttp()
{
    return std::make_unique<platform::CurlHttp>();
}

} // namespace tw::app
