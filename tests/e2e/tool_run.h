// Runs the built tool in a scratch folder of its own, with a temporary folder
// of its own, and reads what it left there.
//
// FIELDPREP_BINARY names the tool to copy into the scratch folder;
// FIELDPREP_LAUNCHER, when set, is a command (words split at blanks) put in
// front of it, so the same cases can run another build of the tool.
#ifndef FIELDPREP_TOOL_RUN_H_
#define FIELDPREP_TOOL_RUN_H_

#include <string>
#include <vector>

class ToolRun {
 public:
  ToolRun();

  // Runs the tool with these arguments after the program path; returns its
  // exit code (or 128 + the signal that ended it).
  int run(const std::vector<std::string>& arguments);
  // The same with a program path of the caller's choice (relative paths are
  // taken from the tool's folder, the current directory of the run).
  int runAs(const std::string& programPath,
            const std::vector<std::string>& arguments);

  // The tool's folder and the temporary folder as the tool names them in its
  // log, each ending with its separator.
  std::string appdir() const;
  std::string tmpDir() const;
  // The program path that run() passes.
  std::string programPath() const;

  // Files in the tool's folder, and in the temporary folder.
  std::string read(const std::string& name) const;
  void write(const std::string& name, const std::string& bytes) const;
  bool exists(const std::string& name) const;
  // A folder of this name in the tool's folder, in place of a file.
  void makeFolder(const std::string& name) const;
  std::string readTemp(const std::string& name) const;
  void writeTemp(const std::string& name, const std::string& bytes) const;
  bool existsTemp(const std::string& name) const;
  // Every file name in the tool's folder, sorted.
  std::vector<std::string> files() const;

  const std::string& folder() const { return folder_; }
  const std::string& tempFolder() const { return temp_; }

 private:
  std::string folder_;  // the tool's folder, ending with '/'
  std::string temp_;    // the temporary folder, ending with '/'
  std::string toolName_;
};

#endif  // FIELDPREP_TOOL_RUN_H_
