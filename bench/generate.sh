#!/usr/bin/env bash
# generate.sh KEYS FOLDER: writes into FOLDER a configuration and parameters
# of KEYS keys each, half of the parameters' keys shared with the
# configuration, plus some of the known settings on both sides:
#   QORConfiguration.json  the configuration (one member a line)
#   params.json            the parameters as one JSON text (for jq)
#   params.args            the same text cut into one argument a line (for
#                          fieldprep, which joins its arguments with blanks)
set -euo pipefail
keys=$1
folder=$2
mkdir -p "$folder"
awk -v keys="$keys" -v folder="$folder" 'BEGIN {
  known = "\"SchoolID\":\"0815\",\"BaseURL\":\"https://assess.example/\",\"AutoUpdateFlag\":\"true\"";
  config = folder "/QORConfiguration.json";
  printf "{\n  %s", known > config;
  for (i = 0; i < keys; i++)
    printf ",\n  \"setting%07d\":\"config value %d\"", i, i > config;
  printf "\n}\n" > config;

  args = folder "/params.args";
  json = folder "/params.json";
  first = "{\"SchoolName\":\"Hillcrest\",\"UpdateURL\":\"https://update.example/\",\"ProductName\":\"QOR\"";
  printf "%s", first > json;
  printf "%s", first > args;
  for (i = keys / 2; i < keys / 2 + keys; i++) {
    member = sprintf("\"setting%07d\":\"parameter-value-%d\"", i, i);
    printf ",\n%s", member > args;
    printf ", %s", member > json;
  }
  printf "}\n" > args;
  printf "}\n" > json;
}'
