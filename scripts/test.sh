#!/usr/bin/env bash
# Installs what is missing, builds, starts a throwaway PostgreSQL 15 cluster and an SMTP
# server on loopback, runs every test with ctest, stops what it started. Exits non-zero
# when a test fails or a service cannot be started.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Each step says how long it took (the README's figures of a run come from these lines).
started=$SECONDS
last=$SECONDS
step() {
  echo "== $1: $((SECONDS - last)) s (total $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s)"
  last=$SECONDS
}
"$here/scripts/deps.sh"
step "packages"
"$here/scripts/build.sh"
step "plain build"

work="$(mktemp -d /tmp/quarl-test.XXXXXX)"
chmod 755 "$work"
# The full run (and any run with QUARL_SANITIZE=1) runs the same tests once more in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer: any finding fails the test that made
# it. QUARL_SANITIZE=0 leaves that pass out. That build goes on while the plain tests run
# (they wait on the database and the disk much of the time).
sanitize="${QUARL_SANITIZE:-}"
[ -z "$sanitize" ] && { [ $# -eq 0 ] && sanitize=1 || sanitize=0; }
sanitize_build=""
if [ "$sanitize" = 1 ]; then
  "$here/scripts/build.sh" --sanitize >"$work/sanitize-build.log" 2>&1 &
  sanitize_build=$!
fi
pgbin=/usr/lib/postgresql/15/bin
pgdata="$work/pg"
mkdir -p "$pgdata" "$work/mail"
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'; }
pgport="$(free_port)"
smtpport="$(free_port)"

as_pg=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres:postgres "$pgdata"
  as_pg=(runuser -u postgres --)
fi
smtp_pid=""
cleanup() {
  for job in $sanitize_build ${package:-}; do
    pkill -P "$job" 2>/dev/null || true
    kill "$job" 2>/dev/null || true
  done
  "${as_pg[@]}" "$pgbin/pg_ctl" -D "$pgdata" -m immediate stop >/dev/null 2>&1 || true
  [ -n "$smtp_pid" ] && kill "$smtp_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"${as_pg[@]}" "$pgbin/initdb" -D "$pgdata" -A trust -U postgres -E UTF8 --no-locale >"$work/initdb.log" 2>&1 \
  || { cat "$work/initdb.log"; echo "Cannot create the PostgreSQL test cluster"; exit 1; }
# The cluster speaks TLS with a certificate of a CA made for this run; members of the role
# quarl_tls_only get in over TLS with a password only (the tests of the password file and of
# a refused unencrypted connection make such roles), everyone else as before.
"$here/scripts/testcerts.sh" "$work/tls" || { echo "Cannot make the test certificates"; exit 1; }
cp "$work/tls/server.crt" "$work/tls/server.key" "$pgdata/"
[ ${#as_pg[@]} -gt 0 ] && chown postgres:postgres "$pgdata/server.crt" "$pgdata/server.key"
chmod 600 "$pgdata/server.key"
{
  echo "hostssl all +quarl_tls_only 127.0.0.1/32 scram-sha-256"
  echo "host    all +quarl_tls_only 127.0.0.1/32 reject"
  cat "$pgdata/pg_hba.conf"
} >"$work/pg_hba.conf"
cp "$work/pg_hba.conf" "$pgdata/pg_hba.conf"
"${as_pg[@]}" "$pgbin/pg_ctl" -D "$pgdata" -l "$pgdata/server.log" -w -t 60 \
  -o "-p $pgport -k $pgdata -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200 -c ssl=on -c ssl_cert_file=server.crt -c ssl_key_file=server.key" \
  start >/dev/null || { cat "$pgdata/server.log"; echo "Cannot start the PostgreSQL test cluster"; exit 1; }
"${as_pg[@]}" "$pgbin/psql" -h 127.0.0.1 -p "$pgport" -U postgres -d postgres -qAt \
  -c "create role quarl_tls_only nologin" >/dev/null || { echo "Cannot make the role quarl_tls_only"; exit 1; }

smtpuser=quarl
smtppassword="test-$RANDOM"
/usr/bin/python3 "$here/scripts/smtpserver.py" 127.0.0.1 "$smtpport" "$work/mail/box" "$smtpuser" "$smtppassword" \
  >"$work/smtp.log" 2>&1 &
smtp_pid=$!
for _ in $(seq 50); do
  /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$smtpport),1)" 2>/dev/null && break
  sleep 0.2
done
/usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1',$smtpport),1)" \
  || { cat "$work/smtp.log"; echo "Cannot start the SMTP test server"; exit 1; }

# The tests at large connect as libpq does by default (sslmode prefer: encrypted here, and
# still working against a developer's own server without TLS); the TLS tests check the
# server's certificate against the CA of this run (verify-full).
export QUARL_TEST_PG="host=127.0.0.1 port=$pgport user=postgres"
export QUARL_TEST_PG_CA="$work/tls/ca.crt"
export QUARL_TEST_PGBIN="$pgbin" # the load test restarts a server of its own
export QUARL_TEST_SMTP="127.0.0.1:$smtpport"
export QUARL_TEST_MAILDIR="$work/mail/box"
export QUARL_TEST_SMTP_USER="$smtpuser"
export QUARL_TEST_SMTP_PASSWORD="$smtppassword"
export QT_QPA_PLATFORM=offscreen
# The test programs of one pass make the demo installation and the new company once and copy them.
export QUARL_TEST_CACHE="$work/cache-plain"
cd "$here/build"
ctest --output-on-failure -j 2 "$@"
step "tests"
# The full run also builds the Debian package and checks its file list and dependencies,
# beside the second pass.
package=""
if [ $# -eq 0 ]; then
  "$here/scripts/package.sh" >"$work/package.log" 2>&1 &
  package=$!
fi
if [ "$sanitize" = 1 ]; then
  wait "$sanitize_build" || { cat "$work/sanitize-build.log"; echo "The sanitizer build failed"; exit 1; }
  sanitize_build=""
  step "sanitizer build (the rest of it)"
  export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=0"
  export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export QUARL_TEST_CACHE="$work/cache-sanitize"
  cd "$here/build-sanitize"
  ctest --output-on-failure -j 2 "$@"
  step "tests under the sanitizers, fuzzing"
fi
if [ -n "$package" ]; then
  wait "$package" || { cat "$work/package.log"; echo "The package failed"; exit 1; }
  package=""
  cat "$work/package.log"
  step "package (the rest of it)"
fi
