// The floor for a typical run: a C++ program that starts, takes its
// arguments, and writes four small files, as fieldprep does, with no parsing
// and no merging.
#include <cstdio>
#include <string>

namespace {

void writeFile(const char* name, const std::string& text) {
  FILE* file = std::fopen(name, "wb");
  if (!file)
    return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i)
    text += std::string(argv[i]) + "\r\n";
  writeFile("fieldprep.log", text);
  writeFile("README.txt", text);
  writeFile("SILENT_INSTALL.BAT", text);
  writeFile("QORConfiguration.json", text);
  return 0;
}
