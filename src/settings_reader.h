// Parsing a settings text: jsoncpp's reader, plus the shapes the tool refuses.
#ifndef FIELDPREP_SETTINGS_READER_H_
#define FIELDPREP_SETTINGS_READER_H_

#include <json/json.h>

#include <string>

// Parses `text` into `raw`. Refuses, like a syntax error, a text that does not
// parse, an array or an object as a member's value, a non-empty array as the
// root, and anything but whitespace and comments after the first value;
// `report` then says why, in the parser's own style.
bool readSettingsText(const std::string& text, const Json::Features& features,
                      Json::Value* raw, std::string* report);

// A parsed member's value as text: "" for null, a string's own text, "true" or
// "false", and a number as its literal stands in `text`.
std::string memberText(const Json::Value& value, const std::string& text);

#endif  // FIELDPREP_SETTINGS_READER_H_
