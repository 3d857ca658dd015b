#include "run_guard.h"

#include <exception>
#include <new>

#include "run_log.h"

void runGuarded(const std::function<void()>& run) {
  // Exit code 3 is what an aborted Windows program returns, so callers that
  // check for an abort keep working.
  try {
    run();
  } catch (const std::bad_alloc&) {
    // The unwinding has given back what the run held, so this short text
    // finds room.
    lastMessage = "Out of memory\n";
    finish(3, true);
  } catch (const std::exception& error) {
    storeMessage("Unexpected failure: %s\n", error.what());
    finish(3, true);
  }
}
