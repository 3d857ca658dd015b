// The text of a flat settings object: the configuration file's layout, and
// the document dumps in the log.
#ifndef FIELDPREP_STYLED_TEXT_H_
#define FIELDPREP_STYLED_TEXT_H_

#include <json/json.h>

#include <string>
#include <string_view>
#include <vector>

// "{", one line per member ("   \"name\" : value"), "}", each line ending in
// LF, members in byte order of their names; "null\n" for an object without
// members. Values are strings or booleans. Names and string values are
// escaped (quote, backslash, control bytes) and end at their first NUL.
std::string styledText(const Json::Value& root);

// One member as it is to be written: its name and its value, both owned
// elsewhere.
struct StyledMember {
  std::string_view name;
  const Json::Value* value;
};

// The same layout for members given in the order they are written.
std::string styledMembers(const std::vector<StyledMember>& members);

#endif  // FIELDPREP_STYLED_TEXT_H_
