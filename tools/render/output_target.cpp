#include "tools/render/output_target.h"

namespace fs = std::filesystem;

bool resolveOutputTarget(const fs::path& named, bool replaceProtected, OutputTarget& target, std::string& error) {
    std::error_code ec;
    target = OutputTarget{};
    target.path = named;
    if (fs::is_symlink(fs::symlink_status(named, ec))) {
        const fs::path resolved = fs::canonical(named, ec);
        if (ec) {
            error = "is a symbolic link to nothing (" + fs::read_symlink(named, ec).string() +
                    "); write to its target or remove the link";
            return false;
        }
        target.path = resolved;
        if (fs::is_directory(resolved, ec)) {
            error = "is a symbolic link to a directory";
            return false;
        }
    }
    const fs::file_status status = fs::status(target.path, ec);
    if (ec || status.type() != fs::file_type::regular) return true;
    target.replaces = true;
    target.permissions = status.permissions();
    if ((target.permissions & fs::perms::owner_write) == fs::perms::none && !replaceProtected) {
        error = "is write-protected; --force replaces it";
        return false;
    }
    return true;
}

bool takeReplacedPermissions(const OutputTarget& target, const fs::path& temporary, std::string& error) {
    if (!target.replaces) return true;
    std::error_code ec;
    // Windows will not rename over a read-only file: the user said to replace it.
    if ((target.permissions & fs::perms::owner_write) == fs::perms::none)
        fs::permissions(target.path, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::permissions(temporary, target.permissions & fs::perms::mask, fs::perm_options::replace, ec);
    if (!ec) return true;
    error = "cannot give " + temporary.string() + " the permissions of the file it replaces: " + ec.message();
    return false;
}
