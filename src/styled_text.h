// The text of a flat settings object: the configuration file's layout, and
// the document dumps in the log.
#ifndef FIELDPREP_STYLED_TEXT_H_
#define FIELDPREP_STYLED_TEXT_H_

#include <string>

#include <json/json.h>

// A name or a string value escaped for the text; it ends at its first NUL.
std::string escapeJsonString(const std::string& text);

// "{", one line per member ("   \"name\" : value"), "}", each line ending in
// LF, members in byte order of their names; "null\n" for an object without
// members. Values are strings or booleans.
std::string styledText(const Json::Value& root);

#endif  // FIELDPREP_STYLED_TEXT_H_
