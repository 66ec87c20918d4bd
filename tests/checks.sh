# Sourced by the check scripts: runs each check, counts the outcome, and sums up.
passed=0
failed=0

# check DESCRIPTION COMMAND...: runs the command and counts the outcome.
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok - $what"
  else
    failed=$((failed + 1))
    echo "FAILED - $what"
  fi
}

# summary NAME: prints "NAME: N passed, M failed"; fails when a check did.
summary() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" = 0 ]
}
