// The bytes of a text written in text mode, as the tool's outputs are.
#ifndef FIELDPREP_TEXT_MODE_H_
#define FIELDPREP_TEXT_MODE_H_

#include <cstddef>
#include <string>

// `text` with every LF written as CR LF, as a Windows text-mode stream writes
// it (a CR already before an LF stays: "\r\n" becomes "\r\r\n").
std::string textModeBytes(const std::string& text);

// The length of textModeBytes(text), without making them.
size_t textModeSize(const std::string& text);

#endif  // FIELDPREP_TEXT_MODE_H_
