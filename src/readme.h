// "README.txt": the product, its versions and dates, and the maker's details.
#ifndef FIELDPREP_README_H_
#define FIELDPREP_README_H_

#include <json/json.h>

#include <string>

// The README's text with LF line ends.
std::string composeReadme(const Json::Value& root);

#endif  // FIELDPREP_README_H_
