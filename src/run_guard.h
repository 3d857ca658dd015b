// The one place where whatever escapes a run is caught.
#ifndef FIELDPREP_RUN_GUARD_H_
#define FIELDPREP_RUN_GUARD_H_

#include <functional>

// Runs `run`. Memory running out anywhere in it ends the run through finish()
// with exit code 3 and "Out of memory"; any other exception the same way
// with "Unexpected failure: " and its text. Nothing reaches the console.
void runGuarded(const std::function<void()>& run);

#endif  // FIELDPREP_RUN_GUARD_H_
