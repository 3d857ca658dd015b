// Whatever escapes a run ends it through finish() with exit code 3.
#include "run_guard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "run_log.h"
#include "test_support.h"

namespace {

TEST(RunGuarded, EndsTheRunWithThreeAndSaysWhy) {
  struct Case {
    const char* title;
    void (*run)();
    int exitCode;
    std::string message;
  } cases[] = {
      {"memory runs out", [] { throw std::bad_alloc(); }, 3, "Out of memory\n"},
      {"another exception", [] { throw std::runtime_error("a 100% cut"); }, 3,
       "Unexpected failure: a 100% cut\n"},
      {"a run that ends by itself", [] { finish(2, true); }, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    RunEndCatcher catcher;
    LogCapture log;
    EXPECT_EQ(c.exitCode, exitCodeOf([&] { runGuarded(c.run); }));
    EXPECT_EQ(c.message, lastMessage);
    EXPECT_EQ("\n" + c.message + "\n", log.text());
  }
}

}  // namespace
