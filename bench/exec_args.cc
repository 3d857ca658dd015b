// exec_args FILE PROGRAM: runs PROGRAM with the lines of FILE as its
// arguments, in this process (execv), so that a timing of this command is the
// timing of PROGRAM given those arguments, plus one read of FILE.
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3)
    return 125;
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  std::vector<char*> arguments = {argv[2]};
  for (std::string& line : lines)
    arguments.push_back(&line[0]);
  arguments.push_back(nullptr);
  execv(argv[2], arguments.data());
  return 126;
}
