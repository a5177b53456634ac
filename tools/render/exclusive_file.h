#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

// Files the renderer makes for itself beside a user's files. They are created
// exclusively under a name that did not exist, so a file of the user's that
// happens to have that name is never overwritten, and later never deleted.

// Creates `path` for reading and writing in binary mode; fails (null) when it exists.
// `alreadyExists` tells that case apart from other failures, and errno gives
// the reason of those. On Windows the file
// goes away when it is closed, also when the process is killed, unless
// keepNewFile is called first.
std::FILE* createNewFile(const std::filesystem::path& path, bool& alreadyExists);
bool keepNewFile(std::FILE* file);

// Creates "<base><suffix>", or when that exists "<base>.1<suffix>", ".2"... and
// answers the name chosen. Null with a one-line reason when none can be made.
std::FILE* createUniqueFile(const std::filesystem::path& base, const std::string& suffix,
                            std::filesystem::path& chosen, std::string& error);
