// The rules of precedence between the configuration and the parameters.
#ifndef FIELDPREP_MERGE_RULES_H_
#define FIELDPREP_MERGE_RULES_H_

class SettingsDocument;

// Settles, in this order, the LCS address, the content cache, load
// simulation, automatic update and the ten plain settings. Every test reads
// what the two documents captured when loaded; every change goes to the tree
// of `cfgFile`.
void applyMergeRules(SettingsDocument& cfgFile, const SettingsDocument& params);

#endif  // FIELDPREP_MERGE_RULES_H_
