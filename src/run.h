// One whole run of the tool, as main() starts it.
#ifndef FIELDPREP_RUN_H_
#define FIELDPREP_RUN_H_

// Reads the configuration, merges the command line's settings into it and
// writes the three outputs, step by step. Every way out goes through
// finish(), so this returns only where an installed exit function does not
// end the process.
void runTool(int argc, char** argv);

#endif  // FIELDPREP_RUN_H_
