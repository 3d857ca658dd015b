// The user's files, end to end: nothing beside an output is written or
// followed, a replaced file keeps what the user set on it, links stay links,
// the configuration is read only from where it belongs and never lost, no
// open blocks, and running out of memory is an orderly end.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "expected_outputs.h"
#include "file_bytes.h"
#include "sanitizer.h"
#include "text_checks.h"
#include "tool_run.h"

namespace {

const char kNeedsAnotherUser[] =
    "needs root, and a scratch folder that user 65534 can reach, to run the "
    "tool as that user";

namespace fs = std::filesystem;

const char kParameters[] = "{\"baseurl\":\"https://h/a\",\"SchoolID\":\"5\"}";
const char kConfiguration[] = "{\"SchoolName\":\"Elm\",\"foo\":\"kept\"}";
// The three outputs of a run without anything in the way.
std::vector<std::string> plainRun(const std::vector<std::string>& arguments) {
  ToolRun tool;
  tool.write("QORConfiguration.json", kConfiguration);
  EXPECT_EQ(0, tool.run(arguments));
  std::vector<std::string> files;
  for (const char* output : kOutputs)
    files.push_back(tool.read(output));
  return files;
}

fs::perms permissionsOf(const std::string& path) {
  return fs::status(path).permissions();
}

// A file, a link to a file outside the tool's folder and a folder, at each
// name that a fixed temporary file could take: never written, followed,
// removed or in the way.
TEST(FileSafety, NothingBesideAnOutputIsTouched) {
  const std::vector<std::string> written = plainRun({kParameters});
  const std::string suffixes[] = {".tmp", "~", ".new", ".bak"};
  struct Kind {
    const char* title;
    void (*plant)(const ToolRun& tool, const std::string& name);
    void (*check)(const ToolRun& tool, const std::string& name);
  } kinds[] = {
      {"a file",
       [](const ToolRun& tool, const std::string& name) {
         tool.write(name, "the user's own " + name);
       },
       [](const ToolRun& tool, const std::string& name) {
         EXPECT_EQ("the user's own " + name, tool.read(name));
       }},
      {"a link",
       [](const ToolRun& tool, const std::string& name) {
         writeFile(tool.tempFolder() + "outside-" + name, "outside");
         tool.link(name, tool.tempFolder() + "outside-" + name);
       },
       [](const ToolRun& tool, const std::string& name) {
         EXPECT_TRUE(fs::is_symlink(tool.folder() + name));
         EXPECT_EQ("outside", tool.readTemp("outside-" + name));
       }},
      {"a folder",
       [](const ToolRun& tool, const std::string& name) {
         tool.makeFolder(name);
         writeFile(tool.folder() + name + "/inside", "x");
       },
       [](const ToolRun& tool, const std::string& name) {
         EXPECT_EQ("x", tool.read(name + "/inside"));
       }},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.title);
    ToolRun tool;
    tool.write("QORConfiguration.json", kConfiguration);
    for (const char* output : kOutputs) {
      for (const std::string& suffix : suffixes)
        kind.plant(tool, output + suffix);
    }
    ASSERT_EQ(0, tool.run({kParameters}));
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(written[i], tool.read(kOutputs[i])) << kOutputs[i];
      for (const std::string& suffix : suffixes)
        kind.check(tool, kOutputs[i] + suffix);
    }
    EXPECT_EQ(3u * 4u + 5u, tool.files().size());  // nothing left over
  }
}

TEST(FileSafety, ReplacedFilesKeepTheirPermissionsAndOwner) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX permission bits and owners";
  ToolRun tool;
  tool.write("QORConfiguration.json", kConfiguration);
  const fs::perms modes[] = {fs::perms(0640), fs::perms(0755), fs::perms(0600)};
  for (int i = 0; i < 3; ++i) {
    if (i < 2)
      tool.write(kOutputs[i], "previous");
    fs::permissions(tool.folder() + kOutputs[i], modes[i]);
  }
  bool root = geteuid() == 0;
  if (root)
    tool.giveToUnprivileged("README.txt");

  ASSERT_EQ(0, tool.run({kParameters}));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(kOutputs[i]);
    EXPECT_EQ(modes[i], permissionsOf(tool.folder() + kOutputs[i]));
    EXPECT_NE("previous", tool.read(kOutputs[i]));
  }
  if (root) {
    struct stat info;
    ASSERT_EQ(0, stat((tool.folder() + "README.txt").c_str(), &info));
    EXPECT_EQ(65534u, info.st_uid);
    EXPECT_EQ(65534u, info.st_gid);
  }

  // Outputs that did not exist get what any new file gets, not the
  // temporary file's private mode.
  mode_t mask = umask(0);
  umask(mask);
  ToolRun fresh;
  ASSERT_EQ(0, fresh.run({kParameters}));
  for (const char* output : kOutputs) {
    SCOPED_TRACE(output);
    EXPECT_EQ(fs::perms(0666 & ~mask), permissionsOf(fresh.folder() + output));
  }
}

// An access ACL in the form the kernel keeps it as an extended attribute:
// version 2, then each entry's tag, permissions and id, little-endian.
struct AclEntry {
  uint16_t tag;  // 1 owner, 2 named user, 4 group, 16 mask, 32 others
  uint16_t permissions;
  uint32_t id;
};
const uint32_t kNoId = 0xFFFFFFFF;
const char kAccessAcl[] = "system.posix_acl_access";

std::string aclAttribute(const std::vector<AclEntry>& entries) {
  std::string bytes;
  auto put = [&bytes](uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
      bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(2, 4);
  for (const AclEntry& entry : entries) {
    put(entry.tag, 2);
    put(entry.permissions, 2);
    put(entry.id, 4);
  }
  return bytes;
}

bool setAttribute(const std::string& path, const char* name,
                  const std::string& value) {
  return setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// The attribute's value, or "(none)" when the file has none of that name.
std::string attribute(const std::string& path, const char* name) {
  char value[1024];
  ssize_t size = getxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<size_t>(size));
}

mode_t modeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

// A replaced configuration keeps the old one's ACL, whose mask is the mode's
// group bits, and its user attributes; and gets no ACL that the old one did
// not have, where the folder's default ACL gives one to every new file.
TEST(FileSafety, ReplacedFilesKeepTheirAclAndExtendedAttributes) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX ACLs; ReplaceFileW keeps what a Windows file has";
  const std::string nobodyMayWrite = aclAttribute({{1, 6, kNoId},
                                                   {2, 6, 65534},
                                                   {4, 4, kNoId},
                                                   {16, 6, kNoId},
                                                   {32, 0, kNoId}});
  ToolRun tool;
  std::string path = tool.folder() + "QORConfiguration.json";
  tool.write("QORConfiguration.json", kConfiguration);
  fs::permissions(path, fs::perms(0600));
  if (!setAttribute(path, kAccessAcl, nobodyMayWrite) ||
      !setAttribute(path, "user.origin", "kept"))
    GTEST_SKIP() << "the scratch folder's file system keeps no ACL or user "
                    "attribute: "
                 << std::strerror(errno);
  const std::string acl = attribute(path, kAccessAcl);
  const mode_t mode = modeOf(path);
  ASSERT_EQ(0, tool.run({kParameters}));
  EXPECT_TRUE(contains(tool.read("QORConfiguration.json"), "\"5\""));
  EXPECT_EQ(acl, attribute(path, kAccessAcl));
  EXPECT_EQ("kept", attribute(path, "user.origin"));
  EXPECT_EQ(mode, modeOf(path));

  ASSERT_EQ(0, removexattr(path.c_str(), kAccessAcl));
  fs::permissions(path, fs::perms(0600));
  ASSERT_TRUE(
      setAttribute(tool.folder(), "system.posix_acl_default", nobodyMayWrite));
  ASSERT_EQ(0, tool.run({kParameters}));
  EXPECT_EQ("(none)", attribute(path, kAccessAcl));
  EXPECT_EQ(S_IFREG | 0600, modeOf(path));
}

// Each output reaches the disk before it takes the old one's place, and its
// new name after: the run's calls show the temporary file flushed, then
// renamed, then the folder flushed.
TEST(FileSafety, OutputsReachTheDiskBeforeAndAfterTheyReplaceTheOldOnes) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX calls, traced on the host";
  if (std::system("strace -qq -o /dev/null true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs strace, allowed to trace";
  ToolRun tool;
  tool.write("QORConfiguration.json", kConfiguration);
  const std::string trace = tool.tempFolder() + "trace";
  // A sanitizer build's leak check cannot run under a tracer.
  const std::string command =
      "cd '" + tool.folder() + "' && TMPDIR='" + tool.tempFolder() +
      "' ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" strace -f -y -qq -o '" +
      trace + "' -e trace=fsync,fdatasync,rename,renameat,renameat2 '" +
      tool.programPath() + "' '" + kParameters + "'";
  ASSERT_EQ(0, std::system(command.c_str()));
  std::vector<std::string> calls;
  std::istringstream lines(readFile(trace));
  for (std::string line; std::getline(lines, line);)
    calls.push_back(line);
  const std::string folder =
      fs::canonical(tool.folder()).string();  // as the trace names it
  auto find = [&calls](size_t from, const std::string& part) {
    for (size_t at = from; at < calls.size(); ++at) {
      if (contains(calls[at], part))
        return at;
    }
    return calls.size();
  };
  for (const char* output : kOutputs) {
    SCOPED_TRACE(output);
    size_t rename = find(0, "/" + std::string(output) + "\"");
    ASSERT_LT(rename, calls.size()) << readFile(trace);
    size_t start = calls[rename].find('"') + 1;
    std::string temporary =
        calls[rename].substr(start, calls[rename].find('"', start) - start);
    std::string temporaryName = temporary.substr(temporary.rfind('/'));
    size_t fileFlush = find(0, "fsync(");
    while (fileFlush < rename && !contains(calls[fileFlush], temporaryName))
      fileFlush = find(fileFlush + 1, "fsync(");
    EXPECT_LT(fileFlush, rename) << readFile(trace);
    EXPECT_LT(find(rename, "<" + folder + ">"), calls.size())
        << readFile(trace);
  }
}

// Outputs kept elsewhere behind links, relative and absolute, one through a
// second link in a subfolder (taken relative to that subfolder), one to a
// long name: the files they name are updated, and the links stay links.
TEST(FileSafety, LinkedOutputsAreUpdatedThroughTheirLinks) {
  if (ToolRun::windows())
    GTEST_SKIP() << "links of the host, which Wine shows as plain files";
  const std::vector<std::string> written = plainRun({kParameters});
  ToolRun tool;
  std::string elsewhere = tool.folder() + "../elsewhere/";
  fs::create_directories(elsewhere);
  writeFile(elsewhere + "configuration.json", kConfiguration);
  tool.link("QORConfiguration.json", "../elsewhere/configuration.json");
  // Not there yet, and with a name near the longest allowed.
  const std::string readme = elsewhere + std::string(240, 'r') + ".txt";
  tool.link("README.txt", readme);
  tool.makeFolder("sub");
  tool.makeFolder("kept");
  tool.link("SILENT_INSTALL.BAT", "sub/batch");
  tool.link("sub/batch", "../kept/batch.bat");

  ASSERT_EQ(0, tool.run({kParameters}));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "QORConfiguration.json"));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "README.txt"));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "SILENT_INSTALL.BAT"));
  EXPECT_TRUE(fs::is_symlink(tool.folder() + "sub/batch"));
  EXPECT_EQ(written[2], readFile(elsewhere + "configuration.json"));
  EXPECT_EQ(written[0], readFile(readme));
  EXPECT_EQ(written[1], readFile(tool.folder() + "kept/batch.bat"));

  // The next run reads the configuration through the link too.
  ASSERT_EQ(0, tool.run({"{\"SchoolID\":\"6\"}"}));
  std::string configuration = readFile(elsewhere + "configuration.json");
  EXPECT_TRUE(contains(configuration, "\"SchoolID\" : \"6\""));
  EXPECT_TRUE(contains(configuration, "\"SchoolName\" : \"Elm\""));
}

// In a folder where anybody may plant a name (world-writable and sticky, like
// /tmp), a link is followed only when the user running the tool or the
// folder's owner owns it, whatever the system's own setting: one planted by
// another user at an output, the log or the configuration sends nothing
// there and takes nothing from there. Every link of a chain counts.
TEST(FileSafety, LinksPlantedByOthersInASharedFolderAreNotFollowed) {
  if (ToolRun::windows())
    GTEST_SKIP() << "links and owners of the host, which Wine does not show";
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to give links to another user";
  const uid_t kRoot = 0;
  const uid_t kOther = 65534;
  struct Case {
    const char* what;
    const char* name;  // the link in the tool's folder
    uid_t linkOwner;
    uid_t folderOwner;
    bool throughSharedSubfolder;  // a second link, of kOther's, on the way
    int exitCode;                 // 0: the link is followed
  } cases[] = {
      {"another user's link at the README", "README.txt", kOther, kRoot, false,
       5},
      {"another user's link at the log", "fieldprep.log", kOther, kRoot, false,
       4},
      {"another user's link at the configuration", "QORConfiguration.json",
       kOther, kRoot, false, 2},
      {"another user's link further on", "README.txt", kRoot, kRoot, true, 5},
      {"the running user's link at the README", "README.txt", kRoot, kRoot,
       false, 0},
      {"the running user's link at the log", "fieldprep.log", kRoot, kRoot,
       false, 0},
      {"the folder owner's link at the README", "README.txt", kOther, kOther,
       false, 0},
  };
  const std::string kVictim = "{\"SchoolName\":\"root's own\"}";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun tool;
    std::string victim = tool.folder() + "../victim";
    writeFile(victim, kVictim);
    fs::permissions(victim, fs::perms(0600));
    std::string target = victim;
    if (c.throughSharedSubfolder) {
      tool.makeFolder("shared");
      fs::permissions(tool.folder() + "shared", fs::perms(01777));
      tool.link("shared/link", victim);
      ASSERT_EQ(
          0, lchown((tool.folder() + "shared/link").c_str(), kOther, kOther));
      target = tool.folder() + "shared/link";
    }
    tool.link(c.name, target);
    ASSERT_EQ(
        0, lchown((tool.folder() + c.name).c_str(), c.linkOwner, c.linkOwner));
    if (std::string(c.name) != "QORConfiguration.json")
      tool.write("QORConfiguration.json", kConfiguration);
    ASSERT_EQ(0, chown(tool.folder().c_str(), c.folderOwner, c.folderOwner));
    fs::permissions(tool.folder(), fs::perms(01777));

    EXPECT_EQ(c.exitCode, tool.run({kParameters}));
    EXPECT_TRUE(fs::is_symlink(tool.folder() + c.name));
    std::string followed = readFile(victim);
    if (c.exitCode == 0) {
      EXPECT_NE(kVictim, followed);
      continue;
    }
    EXPECT_EQ(kVictim, followed);
    EXPECT_FALSE(tool.exists("SILENT_INSTALL.BAT"));
    if (c.exitCode == 4)
      continue;  // no log to look into
    std::string path = tool.appdir() + c.name;
    expectFinalMessage(tool, c.exitCode == 5
                                 ? "Failed to open output file: " + path + "\n"
                                 : "Failed to read QORConfiguration.json "
                                   "file: " +
                                       path + "\n");
  }
}

// Permission cases, run as an unprivileged user: root passes every check.
TEST(FileSafety, PermissionsOfTheUserRunningTheToolDecide) {
  struct Case {
    const char* title;
    bool folderWritable;
    bool outputsWritable;
    long long fileSizeLimit;  // -1: none
    int exitCode;
  } cases[] = {
      // The folder takes no new file: the outputs are written in place.
      {"read-only folder, writable outputs", false, true, -1, 0},
      // Written in place, a write that would fail is still a failure, found
      // before the old file changes. (The limit cuts the log too, so only
      // the exit code tells.)
      {"read-only folder, write cut short", false, true, 100, 5},
      // A read-only README is not replaced behind the user's back.
      {"writable folder, read-only outputs", true, false, -1, 5},
  };
  const std::vector<std::string> written = plainRun({kParameters});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ToolRun tool;
    if (!tool.runUnprivileged())
      GTEST_SKIP() << kNeedsAnotherUser;
    tool.limitTime(20);
    tool.write("QORConfiguration.json", kConfiguration);
    tool.write("README.txt", "previous");
    tool.write("SILENT_INSTALL.BAT", "previous");
    tool.write("fieldprep.log", "");
    tool.giveToUnprivileged("fieldprep.log");
    if (c.outputsWritable) {
      for (const char* output : kOutputs)
        tool.giveToUnprivileged(output);
    }
    if (c.folderWritable)
      tool.giveToUnprivileged("");
    fs::permissions(tool.folder(), fs::perms(0755));
    tool.limitFileSize(c.fileSizeLimit);

    EXPECT_EQ(c.exitCode, tool.run({kParameters}));
    if (c.exitCode == 0) {
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(written[i], tool.read(kOutputs[i])) << kOutputs[i];
    } else if (c.fileSizeLimit >= 0) {
      EXPECT_EQ("previous", tool.read("README.txt"));
      EXPECT_EQ("previous", tool.read("SILENT_INSTALL.BAT"));
      EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));
    } else {
      expectFinalMessage(tool, "Failed to open output file: " + tool.appdir() +
                                   "README.txt\n");
      EXPECT_EQ("previous", tool.read("README.txt"));
      EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));
    }
    EXPECT_EQ(5u, tool.files().size());  // nothing left over
  }
}

// The tool copied into the temporary folder: its configuration there is its
// own, not a copy to consume, even when a run fails after reading it.
TEST(FileSafety, ToolFolderThatIsTheTemporaryFolderKeepsItsConfiguration) {
  ToolRun tool("app");
  ASSERT_EQ(tool.folder(), tool.tempFolder());
  tool.write("QORConfiguration.json", kConfiguration);
  ASSERT_EQ(2, tool.run({"{\"a\":"}));
  EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));

  ASSERT_EQ(0, tool.run({kParameters}));
  std::string configuration = tool.read("QORConfiguration.json");
  EXPECT_TRUE(contains(configuration, "\"SchoolName\" : \"Elm\""));
  EXPECT_TRUE(contains(configuration, "\"SchoolID\" : \"5\""));
}

// A configuration in the tool's folder that is there but cannot be read
// ends the run with exit code 2 before anything is written or deleted.
void expectUnreadableConfigurationEndsWithTwo(ToolRun& tool) {
  tool.write("README.txt", "previous");
  ASSERT_EQ(2, tool.run({kParameters}));
  expectFinalMessage(tool, "Failed to read QORConfiguration.json file: " +
                               tool.appdir() + "QORConfiguration.json\n");
  EXPECT_EQ("previous", tool.read("README.txt"));
  EXPECT_FALSE(tool.exists("SILENT_INSTALL.BAT"));
  EXPECT_TRUE(tool.exists("QORConfiguration.json"));
}

TEST(FileSafety, ConfigurationThatCannotBeReadEndsWithTwo) {
  struct Case {
    const char* title;
    void (*plant)(const ToolRun& tool);
  } cases[] = {
      {"a folder",
       [](const ToolRun& tool) { tool.makeFolder("QORConfiguration.json"); }},
      {"a pipe",
       [](const ToolRun& tool) { tool.makePipe("QORConfiguration.json"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ToolRun tool;
    tool.limitTime(10);
    c.plant(tool);
    expectUnreadableConfigurationEndsWithTwo(tool);
  }
}

// A copy that the tool could not remove once its settings are written would
// be taken again by every later run, each undoing what the last one wrote: in
// a folder where the user may not remove files it is left alone, and the
// tool's folder's configuration is read. A shared sticky folder such as /tmp
// lets the user remove a copy of their own.
TEST(FileSafety, CopyThatCouldNotBeRemovedIsNotTaken) {
  struct Case {
    const char* title;
    fs::perms temporaryFolder;
    bool taken;
  } cases[] = {
      {"a folder the user may not write", fs::perms(0755), false},
      {"a shared sticky folder", fs::perms(01777), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ToolRun tool;
    if (!tool.runUnprivileged())
      GTEST_SKIP() << kNeedsAnotherUser;
    tool.limitTime(20);
    tool.giveToUnprivileged("");
    tool.write("QORConfiguration.json", kConfiguration);
    tool.giveToUnprivileged("QORConfiguration.json");
    const std::string staged = "{\"SchoolName\":\"Oak\"}";
    tool.writeTemp("QORConfiguration.json", staged);
    std::string copy = tool.tempFolder() + "QORConfiguration.json";
    ASSERT_EQ(0, chown(copy.c_str(), 65534, 65534));
    fs::permissions(tool.tempFolder(), c.temporaryFolder);

    ASSERT_EQ(0, tool.run({kParameters}));
    std::string configuration = tool.read("QORConfiguration.json");
    EXPECT_EQ(c.taken, contains(configuration, "\"SchoolName\" : \"Oak\""));
    EXPECT_EQ(!c.taken, contains(configuration, "\"SchoolName\" : \"Elm\""));
    EXPECT_EQ(!c.taken, tool.existsTemp("QORConfiguration.json"));
    if (!c.taken) {
      EXPECT_EQ(staged, tool.readTemp("QORConfiguration.json"));
    }
  }
}

// A copy staged in place of the one the run is reading is left for the next
// run, which takes it.
TEST(FileSafety, CopyReplacedWhileTheRunReadsItIsLeftForTheNextRun) {
  if (ToolRun::windows())
    GTEST_SKIP() << "Windows lets no one rename a copy that the tool holds; "
                    "the host's rename under Wine would go around that";
  ToolRun tool;
  tool.limitTime(30);
  const std::string copy = tool.tempFolder() + "QORConfiguration.json";
  // Its text, cut at the NUL byte, and 64 MiB behind it: long enough to read
  // for the replacement to land while the run reads it.
  writeFile(copy, std::string("{\"SchoolName\":\"first\"}\0", 24));
  fs::resize_file(copy, 64 << 20);
  const std::string second = "{\"SchoolName\":\"second\"}";
  tool.writeTemp("second", second);

  int events = inotify_init1(IN_CLOEXEC);
  ASSERT_LE(0, events);
  ASSERT_LE(0, inotify_add_watch(events, copy.c_str(), IN_OPEN));
  std::thread replacer([&] {
    struct pollfd opened = {events, POLLIN, 0};
    if (poll(&opened, 1, 20000) == 1)
      std::rename((tool.tempFolder() + "second").c_str(), copy.c_str());
  });
  int exitCode = tool.run({"{}"});
  replacer.join();
  close(events);

  ASSERT_EQ(0, exitCode);
  EXPECT_TRUE(contains(tool.read("QORConfiguration.json"),
                       "\"SchoolName\" : \"first\""));
  ASSERT_EQ(second, tool.readTemp("QORConfiguration.json"));
  ASSERT_EQ(0, tool.run({"{}"}));
  EXPECT_TRUE(contains(tool.read("QORConfiguration.json"),
                       "\"SchoolName\" : \"second\""));
  EXPECT_FALSE(tool.existsTemp("QORConfiguration.json"));
}

// The log records the configuration's text: it is open to no one whom the
// configuration file it was read from keeps out. Its permissions are never
// widened.
TEST(FileSafety, LogIsNoMoreOpenThanTheConfiguration) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX permission bits";
  struct Case {
    const char* title;
    bool staged;
    fs::perms configuration;
    int log;  // the log's mode before the run; -1: no log yet
    fs::perms expected;
  } cases[] = {
      {"a private configuration", false, fs::perms(0600), -1, fs::perms(0600)},
      {"a private copy", true, fs::perms(0600), -1, fs::perms(0600)},
      {"a configuration for its group", false, fs::perms(0640), 0666,
       fs::perms(0640)},
      {"an open configuration", false, fs::perms(0666), 0600, fs::perms(0600)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ToolRun tool;
    std::string configuration = (c.staged ? tool.tempFolder() : tool.folder()) +
                                "QORConfiguration.json";
    writeFile(configuration, kConfiguration);
    fs::permissions(configuration, c.configuration);
    if (c.log >= 0) {
      tool.write("fieldprep.log", "previous run");
      fs::permissions(tool.folder() + "fieldprep.log", fs::perms(c.log));
    }
    ASSERT_EQ(0, tool.run({kParameters}));
    EXPECT_EQ(c.expected, permissionsOf(tool.folder() + "fieldprep.log"));
    EXPECT_TRUE(contains(tool.read("fieldprep.log"), kConfiguration));
  }
}

TEST(FileSafety, ConfigurationTheUserMayNotReadEndsWithTwo) {
  if (ToolRun::windows())
    GTEST_SKIP() << "POSIX permission bits, which mean nothing to Wine";
  ToolRun tool;
  tool.limitTime(10);
  if (!tool.runUnprivileged())
    GTEST_SKIP() << kNeedsAnotherUser;
  tool.giveToUnprivileged("");
  tool.write("QORConfiguration.json", kConfiguration);
  fs::permissions(tool.folder() + "QORConfiguration.json", fs::perms(0600));
  expectUnreadableConfigurationEndsWithTwo(tool);
}

// A pipe planted as the copy in the temporary folder is no copy: it is left
// in place, and the tool's folder is read.
TEST(FileSafety, PipeInTheTemporaryFolderDoesNotBlockTheRun) {
  ToolRun tool;
  tool.limitTime(10);
  tool.write("QORConfiguration.json", kConfiguration);
  tool.makePipeTemp("QORConfiguration.json");
  ASSERT_EQ(0, tool.run({kParameters}));
  EXPECT_TRUE(fs::is_fifo(tool.tempFolder() + "QORConfiguration.json"));
  EXPECT_TRUE(
      contains(tool.read("QORConfiguration.json"), "\"SchoolName\" : \"Elm\""));
}

// A pipe that nobody reads in place of the log: the log cannot be opened, so
// the run ends with exit code 4 at once, touching nothing.
TEST(FileSafety, PipeInPlaceOfTheLogEndsWithFour) {
  if (ToolRun::windows())
    GTEST_SKIP() << "a pipe of the host, which Wine opens as it likes";
  ToolRun tool;
  tool.limitTime(10);
  tool.write("QORConfiguration.json", kConfiguration);
  tool.makePipe("fieldprep.log");
  ASSERT_EQ(4, tool.run({kParameters}));
  EXPECT_TRUE(fs::is_fifo(tool.folder() + "fieldprep.log"));
  EXPECT_EQ(kConfiguration, tool.read("QORConfiguration.json"));
  EXPECT_FALSE(tool.exists("README.txt"));
}

// Memory running out while the configuration is parsed: an orderly end with
// exit code 3, its message in the log, and no output touched. The same
// configuration staged as a copy in the temporary folder stays there.
TEST(FileSafety, MemoryRunningOutEndsWithThree) {
#ifdef FIELDPREP_ADDRESS_SANITIZER
  GTEST_SKIP() << "an address-space limit stops AddressSanitizer itself";
#endif
  if (ToolRun::windows())
    GTEST_SKIP() << "address-space limits of this host";
  std::string configuration = "{";
  for (int i = 0; i < 1000000; ++i)
    configuration += "\"k" + std::to_string(i) + "\":\"v\",";
  configuration.back() = '}';
  ToolRun tool;
  tool.limitTime(60);
  tool.write("QORConfiguration.json", configuration);
  tool.writeTemp("QORConfiguration.json", configuration);
  tool.write("README.txt", "previous");
  tool.limitAddressSpace(100LL << 20);
  ASSERT_EQ(3, tool.run({kParameters}));
  expectFinalMessage(tool, "Out of memory\n");
  EXPECT_EQ("previous", tool.read("README.txt"));
  EXPECT_EQ(configuration, tool.read("QORConfiguration.json"));
  EXPECT_EQ(configuration, tool.readTemp("QORConfiguration.json"));
  EXPECT_EQ(4u, tool.files().size());  // no batch file, nothing left over
}

// A captured "?" is a value like any other: kept by the next run.
TEST(FileSafety, QuestionMarkValueIsKeptAcrossRuns) {
  ToolRun tool;
  ASSERT_EQ(0, tool.run({"{\"SchoolName\":\"?\"}"}));
  EXPECT_TRUE(
      contains(tool.read("QORConfiguration.json"), "\"SchoolName\" : \"?\""));
  ASSERT_EQ(0, tool.run({"{}"}));
  EXPECT_TRUE(
      contains(tool.read("QORConfiguration.json"), "\"SchoolName\" : \"?\""));
}

}  // namespace
