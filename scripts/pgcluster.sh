# A throwaway PostgreSQL cluster for the tests: initdb into a folder of the
# build (or of /tmp when the server user cannot reach the build), a Unix socket there and no TCP listener, run as the unprivileged
# "postgres" user when we are root. Sourced by test.sh; usable by hand too:
#   source scripts/pgcluster.sh && torvane_pg_start build/pgtest && echo "$TORVANE_TEST_PG"
#   torvane_pg_stop

torvane_pg_start() {
    local dir bin port as=()
    dir="$(mkdir -p "$1" && cd "$1" && pwd)"
    bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
    if [ ! -x "$bin/initdb" ]; then
        echo "test server: no PostgreSQL server installed (initdb not found)" >&2
        return 1
    fi
    torvane_pg_stop_dir "$dir"
    rm -rf "$dir" && mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres "$dir"
        as=(runuser -u postgres --)
        # A checkout in a private folder (root's home is 0700) is out of the
        # server user's reach: the cluster then lives in a folder of its own
        # under /tmp, removed again by torvane_pg_stop.
        if ! "${as[@]}" test -w "$dir"; then
            rm -rf "$dir"
            dir="$(mktemp -d /tmp/torvane-pgtest.XXXXXX)"
            chown postgres "$dir"
        fi
    fi
    # The socket lives in this private folder, so any port number is free there.
    port=$((20000 + RANDOM % 40000))
    if ! "${as[@]}" "$bin/initdb" -D "$dir/data" -U postgres --auth=trust --encoding=UTF8 --no-locale \
            >"$dir/initdb.log" 2>&1; then
        echo "test server: initdb failed:" >&2
        cat "$dir/initdb.log" >&2
        return 1
    fi
    # Throwaway data: no need to survive a power cut.
    cat >>"$dir/data/postgresql.conf" <<CONF
listen_addresses = ''
unix_socket_directories = '$dir'
port = $port
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 200
# Test databases come and go; a vacuum worker in one would keep it from being dropped.
autovacuum = off
CONF
    # The owner and the administrator come in by the socket's trust; every other
    # role (the lobby, the operators) must give its password, as at an agency.
    { echo "local all torvane_pw scram-sha-256"; echo "local all postgres trust"; echo "local all torvane trust"
      echo "local all all scram-sha-256"; cat "$dir/data/pg_hba.conf"; } >"$dir/hba" \
        && "${as[@]}" cp "$dir/hba" "$dir/data/pg_hba.conf"
    if ! "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null; then
        echo "test server: could not start:" >&2
        tail -20 "$dir/server.log" >&2
        return 1
    fi
    # The tests work as an ordinary role that owns the databases it creates, as
    # at an agency; torvane_pw must give its password ("secret"). Dropping a test
    # database ends the sessions of its operators' roles too (pg_signal_backend).
    if ! "${as[@]}" "$bin/psql" -X -q -h "$dir" -p "$port" -U postgres -d postgres \
            -c "CREATE ROLE torvane LOGIN CREATEDB CREATEROLE" -c "CREATE ROLE torvane_pw LOGIN PASSWORD 'secret'" \
            -c "GRANT torvane TO torvane_pw" -c "GRANT pg_signal_backend TO torvane" >/dev/null; then
        echo "test server: could not create the test role" >&2
        return 1
    fi
    TORVANE_PG_DIR="$dir"
    TORVANE_PG_BIN="$bin"
    export TORVANE_TEST_PG="postgresql://torvane@/postgres?host=$dir&port=$port"
}

torvane_pg_stop_dir() {
    local dir="$1" bin
    [ -f "$dir/data/postmaster.pid" ] || return 0
    bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    else
        "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
}

torvane_pg_stop() {
    [ -n "${TORVANE_PG_DIR:-}" ] || return 0
    torvane_pg_stop_dir "$TORVANE_PG_DIR"
    rm -rf "$TORVANE_PG_DIR"
    TORVANE_PG_DIR=""
}
