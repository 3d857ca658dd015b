#include "product_defaults.h"

const char* const defaultProductName = "QOR ORBELIX Online Learning System";
const char* const defaultStateBranding = "QOR Online Assessment System";
const char* const defaultVersion = "5.1.0.0001";
const char* const defaultBuildDate = "01-Jan-1970 00:00:00";

std::string settingOr(const Json::Value& root, const char* key,
                      const char* fallback) {
  return root.get(key, Json::Value(fallback)).asString();
}
