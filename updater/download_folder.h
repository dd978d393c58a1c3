// Where an installer is downloaded: a new folder of the user's temp folder,
// "pixelkite-update-<16 hex digits>", that only the user, SYSTEM and the
// Administrators may open (its own access list, nothing inherited from the
// temp folder), so that nothing but the installer ever lies in it: an
// installer loads DLLs from its own folder first. Folders of earlier runs
// (an installer that ran, a download the end of the program cut short) are
// removed by the next check.
#pragma once

#include <string>

namespace pk::update {

inline constexpr char kDownloadFolderPrefix[] = "pixelkite-update-";

// The new folder's path (UTF-8, no trailing backslash), or empty when none could be made.
std::string MakePrivateFolder();

// Removes the download folders of earlier runs with what they hold. A file
// still in use (an installer that is still running) stays, and its folder with it.
void RemoveEarlierFolders();

// Deletes the installer and its folder (both UTF-8).
void DeleteDownload(const std::string& folder, const std::string& file);

}  // namespace pk::update
