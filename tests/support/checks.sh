# What the desktop tests written in bash share, sourced by each: a private work folder, the processes a test
# starts (ended by their ids when it exits, whatever way it exits) and checks counted into one verdict.
#
#   source tests/support/checks.sh
#   begin_checks NAME        # makes $work, empty `started`, the exit trap
#   check "what" COMMAND...  # ok or FAIL, counted
#   end_checks               # exits 1 when a check failed, else 0

begin_checks() {  # begin_checks NAME: a work folder named after the test, removed at exit
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  started=()
  failures=0
  trap end_started EXIT
}
end_started() {  # ends every process the test started, by its id, and removes the work folder
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...: the command must succeed
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
json() {  # json FILE PYTHON-EXPRESSION-ON-LINES: evaluates with `lines` the file's JSON lines
  /usr/bin/python3 -c 'import json,sys; lines=[json.loads(l) for l in open(sys.argv[1]) if l.strip()]; r=eval(sys.argv[2]); sys.exit(0 if r else 1)' "$1" "$2"
}
movie() {  # movie FILE: width height frames of its video, read back by ffprobe
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=width,height,nb_read_frames -of csv=p=0 "$1" |
    tr ',' ' '
}
end_checks() {
  ((failures)) && { echo "$failures check(s) failed" >&2; exit 1; }
  echo "all checks passed"
  exit 0
}
