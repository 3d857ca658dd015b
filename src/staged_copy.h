// The copy of the configuration that was found in the temporary folder: an
// installer stages the settings to keep there, and the run that writes them
// into the tool's folder consumes it.
#ifndef FIELDPREP_STAGED_COPY_H_
#define FIELDPREP_STAGED_COPY_H_

#include <cstdio>
#include <string>

// Holds the copy open from its reading on. remove() consumes it; at every
// other end of the run it stays where it is, unchanged, for the run that
// follows: the process's end, or this object's, only closes it.
class StagedCopy {
 public:
  StagedCopy() = default;
  ~StagedCopy();
  StagedCopy(const StagedCopy&) = delete;
  StagedCopy& operator=(const StagedCopy&) = delete;

  // Takes over `file`, opened by openTempCopy() at `path`.
  void hold(FILE* file, const std::string& path);

  // Removes the copy, if one is held and its name still names the file that
  // was read (one put in its place meanwhile stays), and lets it go.
  void remove();

 private:
  FILE* file_ = nullptr;
  std::string path_;
};

#endif  // FIELDPREP_STAGED_COPY_H_
