// Scratch folders for tests: each one fresh, of its own name, so that two
// runs of the suite on one machine never share or remove each other's files.
#ifndef FIELDPREP_SCRATCH_FOLDER_H_
#define FIELDPREP_SCRATCH_FOLDER_H_

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <stdlib.h>
#endif

// Creates a new folder `<parent>/<prefix>XXXXXX` (the X a unique suffix) and
// returns its path, ending with '/'. It may be entered by any user, so that a
// test can run the tool as an unprivileged one; "" when none can be made.
inline std::string makeScratchFolder(const std::string& parent,
                                     const std::string& prefix) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(parent, error);
  std::string folder = (fs::path(parent) / (prefix + "XXXXXX")).string();
#ifndef _WIN32
  if (!mkdtemp(&folder[0]))
    return std::string();
#else
  // No mkdtemp here: a folder created anew is ours alone.
  std::random_device random;
  folder.resize(folder.size() - 6);
  std::string name;
  do {
    name = folder + std::to_string(random() % 900000 + 100000);
  } while (!fs::create_directory(name, error) && !error);
  if (error)
    return std::string();
  folder = name;
#endif
  fs::permissions(folder,
                  fs::perms::owner_all | fs::perms::group_read |
                      fs::perms::group_exec | fs::perms::others_read |
                      fs::perms::others_exec,
                  error);
  return fs::path(folder).generic_string() + "/";
}

// Removes the folder and all in it, also what a test left read-only.
inline void removeScratchFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  if (folder.empty())
    return;
  std::error_code error;
  fs::remove_all(folder, error);
  if (!error)
    return;
  for (auto it = fs::recursive_directory_iterator(
           folder, fs::directory_options::skip_permission_denied, error);
       !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add,
                      error);
  }
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(folder, error);
}

#endif  // FIELDPREP_SCRATCH_FOLDER_H_
