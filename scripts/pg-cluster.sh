#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for tests: its own data directory and
# port, on loopback only, run by an unprivileged user, removed on stop.
#
#   scripts/pg-cluster.sh start DIR [PORT]   initialise and start; prints the URI
#   scripts/pg-cluster.sh stop DIR           stop and remove DIR
#
# The server account is "acq" with a password generated at start; it is kept
# in DIR/pgpass (mode 0600), libpq's password-file format, so no password
# sits in a command line or a URI: export PGPASSFILE=DIR/pgpass. The URI
# printed names host, port, user and the database "acq". The account may
# create databases (the tests make one per test). Needs the Debian package
# postgresql (scripts/install-deps.sh installs it).
set -euo pipefail

usage() { echo "usage: $0 start DIR [PORT] | stop DIR" >&2; exit 64; }
[ $# -ge 2 ] || usage
action=$1
dir=$2
port=${3:-55432}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bindir" ] || { echo "$0: PostgreSQL is not installed (apt-get install postgresql)" >&2; exit 69; }

# The server refuses to run as root: run it as the owner of DIR, a
# throw-away account when we are root.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

case $action in
  start)
    [[ $port =~ ^[0-9]+$ ]] || usage
    if [ -e "$dir" ]; then echo "$0: $dir exists; stop it first" >&2; exit 73; fi
    mkdir -p "$dir/data" "$dir/socket"
    password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
    printf '%s\n' "$password" > "$dir/password"
    if [ "$(id -u)" -eq 0 ]; then chown -R nobody "$dir"; fi
    chmod 0700 "$dir"
    as_owner "$bindir/initdb" -D "$dir/data" -U acq --auth-local=trust --auth-host=scram-sha-256 \
      --pwfile="$dir/password" -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    rm -f "$dir/password"
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o \
      "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$dir/socket -c fsync=off" \
      start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    as_owner "$bindir/createdb" -h "$dir/socket" -p "$port" -U acq acq
    # The password file belongs to whoever runs the tests (root included).
    printf '127.0.0.1:%s:*:acq:%s\n' "$port" "$password" > "$dir/pgpass.tmp"
    chmod 0600 "$dir/pgpass.tmp"
    chown "$(id -u)" "$dir/pgpass.tmp"
    mv "$dir/pgpass.tmp" "$dir/pgpass"
    echo "postgresql://acq@127.0.0.1:$port/acq"
    ;;
  stop)
    if [ -d "$dir/data" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *) usage ;;
esac
