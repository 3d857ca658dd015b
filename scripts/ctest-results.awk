# Reads the JUnit file that `ctest --output-junit` writes and prints one line
# a test, its fields separated by tabs:
#   passed  NAME
#   skipped NAME  REASON   (the text the test gave to GTEST_SKIP())
#   failed  NAME  WHY      (CTest's word for it: Failed, Timeout, ...)
# A test that did not run for any other reason than a skip counts as failed,
# so that nothing that went wrong can pass for a skip.
#   awk -f scripts/ctest-results.awk build/junit.xml

function attribute(line, name,    at, rest) {
  at = index(line, " " name "=\"")
  if (at == 0)
    return ""
  rest = substr(line, at + length(name) + 3)
  return substr(rest, 1, index(rest, "\"") - 1)
}

function unescape(text) {
  gsub(/&lt;/, "<", text)
  gsub(/&gt;/, ">", text)
  gsub(/&quot;/, "\"", text)
  gsub(/&apos;/, "'", text)
  gsub(/&amp;/, "\\&", text)
  return text
}

function finishTest() {
  if (name == "")
    return
  if (status == "run")
    print "passed\t" name
  else if (status == "notrun" && skipMessage ~ /^SKIP_/)
    print "skipped\t" name "\t" (reason != "" ? reason : "(no reason given)")
  else if (status == "fail")
    print "failed\t" name "\t" failureMessage
  else
    print "failed\t" name "\tdid not run: " skipMessage
  name = ""
}

# Inside <system-out> every "<" is escaped, so these tags stand only where
# CTest wrote them.
/^[ \t]*<testcase / {
  finishTest()
  name = unescape(attribute($0, "name"))
  status = attribute($0, "status")
  skipMessage = failureMessage = reason = ""
  inReason = 0
  next
}
/^[ \t]*<skipped / { skipMessage = unescape(attribute($0, "message")) }
/^[ \t]*<failure / { failureMessage = unescape(attribute($0, "message")) }
# GoogleTest prints "FILE:LINE: Skipped", then the reason, then the traces
# of SCOPED_TRACE, if any, and the "[  SKIPPED ]" line of the test.
/^\[  SKIPPED \] / || /^Google Test trace:$/ { inReason = 0 }
inReason {
  line = unescape($0)
  sub(/^[ \t]+/, "", line)
  if (line != "")
    reason = reason (reason == "" ? "" : " ") line
}
/: Skipped$/ { inReason = 1 }
/^[ \t]*<\/testcase>/ { finishTest() }
END { finishTest() }
