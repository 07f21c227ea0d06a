// The one step of the start-up that differs per platform: opening what the session runs on.
#pragma once

#include "SessionStart.h"

namespace tw::app {

struct OpenedStart
{
    std::string path;
    std::string source;
    std::unique_ptr<OpenedSystem> system;
};

/// Opens the prefix the options name (WineStart.cpp) or the Windows system (Win32Start.cpp);
/// throws with the reason when it cannot.
OpenedStart openSystem(const StartOptions& options);

/// The folder of the data shipped with the program (the add-on list).
std::string dataDirectory();

/// A client for HTTP downloads.
std::unique_ptr<platform::Http> makeHttp();

} // namespace tw::app
