#!/usr/bin/env bash
# An encrypted connection to the server, checked with a CA of the test's own:
# sslmode=verify-full opens the archive when the location names the host the
# server's certificate was made for, and refuses it under another name of the
# same server; the session the program opens then travels encrypted.
# Usage: tls_test.sh SOURCE_DIR PROGRAM
set -euo pipefail
fail() { echo "FAIL: $*"; exit 1; }
source "$1/scripts/pgcluster.sh"
program=$2
work=$(mktemp -d)
trap 'cd /; torvane_pg_stop; rm -rf "$work"' EXIT
torvane_pg_start "$work/pg" >/dev/null || fail "the server did not start"
as=(); [ "$(id -u)" -eq 0 ] && as=(runuser -u postgres --)

# The agency's CA and a certificate for the name "localhost" only.
cd "$work"
openssl req -x509 -new -nodes -days 2 -subj "/CN=Test agency CA" -keyout ca.key -out ca.crt 2>/dev/null
openssl req -new -nodes -subj "/CN=localhost" -keyout server.key -out server.csr 2>/dev/null
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
    -extfile <(echo "subjectAltName=DNS:localhost") -out server.crt 2>/dev/null
data="$TORVANE_PG_DIR/data"
install -m 600 server.key server.crt "$data/"
if [ -n "${as[*]}" ]; then chown postgres "$data/server.key" "$data/server.crt"; fi
port=$(sed -n 's/^port = //p' "$data/postgresql.conf")
printf "ssl = on\nssl_cert_file = 'server.crt'\nssl_key_file = 'server.key'\nlisten_addresses = '127.0.0.1'\n" \
    >>"$data/postgresql.conf"
sed -i '1i hostssl all torvane 127.0.0.1/32 trust' "$data/pg_hba.conf"
cd / && "${as[@]}" "$TORVANE_PG_BIN/pg_ctl" -D "$data" -l "$TORVANE_PG_DIR/server.log" -w -t 60 restart >/dev/null \
    || fail "the server did not restart with TLS: $(tail -5 "$TORVANE_PG_DIR/server.log")"

socket_uri="postgresql://torvane@/kvora?host=$TORVANE_PG_DIR&port=$port"
psql -X -q "postgresql://torvane@/postgres?host=$TORVANE_PG_DIR&port=$port" -c "CREATE DATABASE kvora" >/dev/null
"$program" --create-database "$socket_uri" >/dev/null || fail "no archive on the server"
tls="sslmode=verify-full&sslrootcert=$work/ca.crt"
encrypted=$("$program" --sql "postgresql://torvane@localhost:$port/kvora?$tls" \
    "select ssl from pg_stat_ssl where pid = pg_backend_pid()" 2>&1) || fail "verify-full refused the right host name: $encrypted"
[ "$(echo "$encrypted" | tail -1)" = "true" ] || [ "$(echo "$encrypted" | tail -1)" = "1" ] || fail "the session is not encrypted: $encrypted"
if wrong=$("$program" --sql "postgresql://torvane@127.0.0.1:$port/kvora?$tls" "select 1" 2>&1); then
    fail "verify-full accepted a host name the certificate is not for"
fi
echo "$wrong" | grep -q "does not match host name" || fail "the refusal is not the certificate's: $wrong"
echo "tls ok"
