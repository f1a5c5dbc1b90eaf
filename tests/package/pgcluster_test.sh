#!/usr/bin/env bash
# The test server starts from a checkout its server user cannot enter (a
# clone in root's 0700 home), answers, and leaves nothing behind when stopped.
# Usage: pgcluster_test.sh SOURCE_DIR
set -euo pipefail
fail() { echo "FAIL: $*"; exit 1; }
source "$1/scripts/pgcluster.sh"
private=$(mktemp -d)
chmod 700 "$private"
trap 'torvane_pg_stop; rm -rf "$private"' EXIT
torvane_pg_start "$private/build/pgtest" >/dev/null || fail "the server did not start under a 0700 folder"
dir=$TORVANE_PG_DIR
[ "$(psql -X -qAt "$TORVANE_TEST_PG" -c "select 1")" = 1 ] || fail "the server does not answer"
torvane_pg_stop
[ ! -e "$dir" ] || fail "$dir was left behind"
echo "private folder ok"
