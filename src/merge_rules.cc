#include "merge_rules.h"

#include <string>

#include "settings_document.h"

namespace {

// The parameters' address wins; else the configuration's is written again.
void mergeLcsAddress(SettingsDocument& cfgFile,
                     const SettingsDocument& params) {
  std::string pvalue = params.getSetting("lcsurl");
  if (params.getSetting("enablelcs") == "true" && !pvalue.empty()) {
    cfgFile.setSetting("lcsurl", pvalue);
    return;
  }
  std::string rvalue = cfgFile.getSetting("lcsurl");
  if (cfgFile.getSetting("enablelcs") == "true" && !rvalue.empty())
    cfgFile.setSetting("lcsurl", rvalue);
}

// Content-cache addresses of both sides, read by the cache rule and reused by
// the load-simulation rule.
struct CacheAddresses {
  std::string pvalue;
  std::string rvalue;
  bool ccSet = false;
};

void mergeContentCache(SettingsDocument& cfgFile,
                       const SettingsDocument& params, CacheAddresses* cache) {
  cache->ccSet = false;
  cache->pvalue = params.getSetting("contentcache");
  cache->rvalue = cfgFile.getSetting("contentcache");
  const std::string* address = nullptr;
  if (params.getSetting("contentcacheenable") == "true" &&
      !cache->pvalue.empty())
    address = &cache->pvalue;
  else if (cfgFile.getSetting("contentcacheenable") == "true" &&
           !cache->rvalue.empty())
    address = &cache->rvalue;

  if (address) {
    cfgFile.setSetting("contentcache", *address);
    cfgFile.setSetting("contentcacheenable", "true");
    cache->ccSet = true;
  } else {
    cfgFile.removeSetting("contentcache");
    cfgFile.setSetting("contentcacheenable", "false");
  }
}

// Load simulation has no address of its own: it needs a content-cache
// address, and sets it only when the cache rule did not.
void mergeLoadSimulation(SettingsDocument& cfgFile,
                         const SettingsDocument& params,
                         const CacheAddresses& cache) {
  const std::string* address = nullptr;
  if (params.getSetting("loadsimulationenable") == "true" &&
      !cache.pvalue.empty())
    address = &cache.pvalue;
  else if (cfgFile.getSetting("loadsimulationenable") == "true" &&
           !cache.rvalue.empty())
    address = &cache.rvalue;

  if (!address) {
    cfgFile.setSetting("loadsimulationenable", "false");
    return;
  }
  if (!cache.ccSet)
    cfgFile.setSetting("contentcache", *address);
  cfgFile.setSetting("loadsimulationenable", "true");
}

// Here the configuration's own switch beats the parameters.
void mergeAutoUpdate(SettingsDocument& cfgFile,
                     const SettingsDocument& params) {
  switch (cfgFile.autoUpdateState()) {
    case 0:
      cfgFile.mergeSetting("autoupdateflag", "false");
      break;
    case 1:
      cfgFile.mergeSetting("autoupdateflag", "true");
      break;
    default:
      cfgFile.mergeSetting("autoupdateflag",
                           params.getSetting("autoupdateflag"));
      break;
  }
}

void mergePlainSettings(SettingsDocument& cfgFile,
                        const SettingsDocument& params) {
  static const char* const plainKeys[] = {
      "adminid",    "adminname", "baseurl",    "districtid", "districtname",
      "httpsproxy", "schoolid",  "schoolname", "startupurl", "updateurl",
  };
  for (const char* key : plainKeys)
    cfgFile.mergeSetting(key, params.getSetting(key));
}

}  // namespace

void applyMergeRules(SettingsDocument& cfgFile,
                     const SettingsDocument& params) {
  mergeLcsAddress(cfgFile, params);
  CacheAddresses cache;
  mergeContentCache(cfgFile, params, &cache);
  mergeLoadSimulation(cfgFile, params, cache);
  mergeAutoUpdate(cfgFile, params);
  mergePlainSettings(cfgFile, params);
}
