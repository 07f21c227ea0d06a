// Sections 3 "Current User Settings" and 4 "Local Machine Setting": values naming files or
// folders that are gone, and the per-user history lists.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanUserKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);
void ScanMuiCache(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root);
void ScanStartMenuOrder(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root);
void ScanDialogHistory(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                       win::HKEY root);
void ScanMachineKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root);

std::string ExpandPathVariables(const Session& session, const std::string& text);
bool IsPlainPathText(std::string_view text);
std::string ExtractCommandPath(const Session& session, const std::string& text);
bool IsPlausibleFilePath(const std::string& text);
bool HasSingleColon(std::string_view text);

} // namespace tw
