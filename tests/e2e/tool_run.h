// Runs the built tool in a scratch folder of its own, with a temporary folder
// of its own, and reads what it left there.
//
// FIELDPREP_BINARY names the tool to copy into the scratch folder;
// FIELDPREP_LAUNCHER, when set, is a command (words split at blanks) put in
// front of it, so the same cases can run another build of the tool.
//
// FIELDPREP_WINDOWS=1 says the tool is a Windows program, run under Wine:
// it names its folders in Windows form (Z: standing for the host's /), and
// FIELDPREP_LAUNCHER is then a launcher (tests/windows/launcher.cc) that
// takes the temporary folder, the program to start and its exact command
// line. run() and runAs() build that command line from the arguments so that
// the Windows runtime splits it back into exactly those arguments.
#ifndef FIELDPREP_TOOL_RUN_H_
#define FIELDPREP_TOOL_RUN_H_

#include <string>
#include <vector>

class ToolRun {
 public:
  // `tempName`: the name of the temporary folder beside the tool's folder.
  // Both lie in a fresh folder of the run's own, removed with it.
  explicit ToolRun(const std::string& tempName = "tmp");
  ~ToolRun();
  ToolRun(const ToolRun&) = delete;
  ToolRun& operator=(const ToolRun&) = delete;

  static bool windows();

  // Runs the tool with these arguments after the program path; returns its
  // exit code (or 128 + the signal that ended it).
  int run(const std::vector<std::string>& arguments);
  // The same with a program path of the caller's choice (relative paths are
  // taken from the tool's folder, the current directory of the run).
  int runAs(const std::string& programPath,
            const std::vector<std::string>& arguments);
  // The same with the whole argument vector given, program path included;
  // it may be empty (argc 0). Not under Windows.
  int runVector(const std::vector<std::string>& argv);
  // Windows only: the tool started with this exact command line.
  int runCommandLine(const std::string& commandLine);
  // Windows only: any Windows program started in the tool's folder, the way
  // the tool is (with the same temporary folder).
  int launch(const std::string& application, const std::string& commandLine);

  // Runs from now on have every file they write limited to `bytes`
  // (RLIMIT_FSIZE), SIGXFSZ left at its default as a shell's limit leaves it.
  // Under Windows, which has no such signal, it is ignored, so that a write
  // past the limit fails with EFBIG.
  void limitFileSize(long long bytes);
  // Runs from now on get `signal` as soon as a file whose name begins with
  // `namePrefix` appears in the tool's folder; 0 sends none.
  void signalOnFile(const std::string& namePrefix, int signal);
  // Runs from now on get this TMPDIR in place of the temporary folder; null
  // leaves TMPDIR unset. Not under Windows, where the launcher sets the
  // temporary folder.
  void setTmpdir(const char* value);
  // Runs from now on make "fieldprep.log" a link to the tool's standard
  // output, which a run collects into log(), so that a file-size limit does
  // not cut the log.
  void logThroughPipe();
  const std::string& log() const { return log_; }
  // Runs from now on are ended by SIGALRM after `seconds`, so that a run
  // that hangs fails its test instead of stalling the suite.
  void limitTime(unsigned seconds);
  // Runs from now on have at most `bytes` of address space (RLIMIT_AS).
  void limitAddressSpace(long long bytes);
  // Runs from now on run as user and group 65534. False, changing nothing,
  // when this process cannot give up its privileges that way (not root, or
  // Windows), or a folder above the scratch folder keeps that user out.
  bool runUnprivileged();
  // Gives a file or folder of the tool's folder (the folder itself for "")
  // to user and group 65534.
  void giveToUnprivileged(const std::string& name) const;

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
  // A named pipe of this name in the tool's folder, and in the temporary one.
  void makePipe(const std::string& name) const;
  void makePipeTemp(const std::string& name) const;
  // A symbolic link of this name in the tool's folder.
  void link(const std::string& name, const std::string& target) const;
  std::string readTemp(const std::string& name) const;
  void writeTemp(const std::string& name, const std::string& bytes) const;
  bool existsTemp(const std::string& name) const;
  // Every file name in the tool's folder, sorted.
  std::vector<std::string> files() const;

  const std::string& folder() const { return folder_; }
  const std::string& tempFolder() const { return temp_; }

 private:
  std::string root_;    // the folder that holds both, ending with '/'
  std::string folder_;  // the tool's folder, ending with '/'
  std::string temp_;    // the temporary folder, ending with '/'
  std::string toolName_;
  bool tmpdirSet_ = true;
  std::string tmpdir_;  // TMPDIR of the runs when tmpdirSet_
  long long fileSizeLimit_ = -1;
  std::string signalFilePrefix_;
  int fileSignal_ = 0;
  bool logThroughPipe_ = false;
  unsigned timeLimit_ = 0;
  long long addressSpaceLimit_ = -1;
  bool unprivileged_ = false;
  std::string log_;

  int execute(const std::string& executable, std::vector<std::string> command);
};

// Checks that the tool's log ends with the stored message, which the run's
// last entry writes as "\n%s\n".
void expectFinalMessage(const ToolRun& tool, const std::string& message);

// An absolute host path as Windows programs under Wine see it.
std::string windowsPath(const std::string& hostPath);

// A command line that the Windows runtime splits into exactly these words,
// the first being the program path.
std::string windowsCommandLine(const std::string& programPath,
                               const std::vector<std::string>& arguments);

#endif  // FIELDPREP_TOOL_RUN_H_
