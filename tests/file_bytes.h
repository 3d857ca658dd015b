// Whole files read and written byte for byte, for the unit and the
// end-to-end tests.
#ifndef FIELDPREP_FILE_BYTES_H_
#define FIELDPREP_FILE_BYTES_H_

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

// The file's bytes, or "" when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// True for anything at `path`, a dangling link included.
inline bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

#endif  // FIELDPREP_FILE_BYTES_H_
