#include "staged_copy.h"

#include "platform.h"

StagedCopy::~StagedCopy() {
  if (file_)
    std::fclose(file_);
}

void StagedCopy::hold(FILE* file, const std::string& path) {
  if (file_)
    std::fclose(file_);
  file_ = file;
  path_ = path;
}

void StagedCopy::remove() {
  if (!file_)
    return;
  removeTempCopy(file_, path_);
  file_ = nullptr;
}
