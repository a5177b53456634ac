#pragma once
#include <filesystem>
#include <string>

// Where a WAV file named on the command line really goes. A symbolic link is
// written through to its target, as cp and sox do, so the link stays a link;
// a link to nothing is refused. An existing file that is write-protected is
// refused unless the user said to replace it, and the file replacing an
// existing one keeps its permissions.
struct OutputTarget {
    std::filesystem::path path;   // the file to create or replace
    bool replaces = false;        // a file exists there now
    std::filesystem::perms permissions = std::filesystem::perms::none;   // the existing file's
};

bool resolveOutputTarget(const std::filesystem::path& named, bool replaceProtected, OutputTarget& target,
                         std::string& error);

// Gives the finished temporary file the permissions of the file it replaces
// (a protected file stays protected). False with a reason when they cannot be set.
bool takeReplacedPermissions(const OutputTarget& target, const std::filesystem::path& temporary, std::string& error);
