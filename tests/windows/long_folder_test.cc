// The Windows tool in folders near the length limit of a path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "text_checks.h"
#include "tool_run.h"

namespace {

// A path holds at most 259 characters (MAX_PATH with its terminating NUL).
// Every folder whose outputs fit that gets all of them written, although the
// temporary file beside each output has a name 21 characters longer.
TEST(LongFolder, EveryFolderWhoseOutputsFitIsWrittenWhole) {
  const size_t kLongestPath = 259;
  const size_t longest = kLongestPath - std::strlen("QORConfiguration.json");
  ToolRun tool;
  const std::string base = tool.appdir();
  for (size_t length = std::max<size_t>(200, base.size() + 2);
       length <= longest; ++length) {
    SCOPED_TRACE(length);
    std::string name(length - base.size() - 1, 'd');
    std::string folder = base + name + "\\";
    tool.makeFolder(name);
    tool.write(name + "/QORConfiguration.json", "{\"AdminID\":\"9\"}");
    tool.write(name + "/README.txt", "previous");

    EXPECT_EQ(0, tool.runAs(folder + "fieldprep.exe", {"{}"}));
    EXPECT_EQ(std::vector<std::string>({"QORConfiguration.json", "README.txt",
                                        "SILENT_INSTALL.BAT", "fieldprep.log"}),
              filesIn(tool.folder() + name));
    EXPECT_TRUE(contains(tool.read(name + "/QORConfiguration.json"),
                         "\"AdminID\" : \"9\""));
    EXPECT_NE("previous", tool.read(name + "/README.txt"));
  }
}

}  // namespace
