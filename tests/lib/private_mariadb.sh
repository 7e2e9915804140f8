# A private MariaDB server for one test script: its own data folder and socket below the
# script's scratch folder, listening only on a free loopback port. Source this file after
# setting $scratch and defining fail(); call private_mariadb_stop from the EXIT trap.
# Sets db_pid, db_port and db_socket. Also the helpers free_port and wait_for_port for the
# script's other servers. Each request of the application holds a connection for its session
# beside its own, so the server takes as many connections as MariaDB's default.

# mariadbd and mariadb-install-db live in sbin, which a user's PATH may lack.
PATH="$PATH:/usr/sbin:/sbin"
db_pid=""

free_port() {
  php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); $n = stream_socket_get_name($s, false); echo substr($n, strrpos($n, ":") + 1);'
}

# wait_for_port PORT PID LOG: waits until the server PID listens on the loopback PORT. A server
# that exits first (for example because another program took the port) or stays silent for a
# minute fails the script with its log.
wait_for_port() {
  local port="$1" pid="$2" log="$3"
  for _ in $(seq 1 300); do
    php -r 'exit(@fsockopen("127.0.0.1", (int)$argv[1]) ? 0 : 1);' "$port" && return 0
    kill -0 "$pid" 2>/dev/null || { cat "$log" >&2; fail "the server on port $port exited"; }
    sleep 0.2
  done
  cat "$log" >&2
  fail "nothing listened on port $port within a minute"
}

private_mariadb_start() {
  db_port="$(free_port)"
  db_socket="$scratch/mysql.sock"
  local user_opt=()
  [ "$(id -u)" -eq 0 ] && user_opt=(--user=root)
  mariadb-install-db --no-defaults --datadir="$scratch/db" --auth-root-authentication-method=normal \
    --skip-test-db "${user_opt[@]}" > "$scratch/install-db.log" 2>&1 \
    || { cat "$scratch/install-db.log"; fail "mariadb-install-db failed"; }
  mariadbd --no-defaults --datadir="$scratch/db" --socket="$db_socket" --port="$db_port" \
    --bind-address=127.0.0.1 --pid-file="$scratch/mariadb.pid" --log-error="$scratch/mariadb.err" \
    --skip-log-bin --innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=2 --max-connections=150 \
    "${user_opt[@]}" > "$scratch/mariadbd.out" 2>&1 &
  db_pid=$!
  for _ in $(seq 1 120); do
    mariadb-admin --socket="$db_socket" -uroot ping >/dev/null 2>&1 && return 0
    kill -0 "$db_pid" 2>/dev/null || { cat "$scratch/mariadb.err"; fail "MariaDB did not start"; }
    sleep 0.5
  done
  fail "MariaDB did not answer within a minute"
}

private_mariadb_stop() {
  if [ -n "$db_pid" ]; then
    mariadb-admin --socket="$scratch/mysql.sock" -uroot shutdown >/dev/null 2>&1 || kill "$db_pid" 2>/dev/null
    wait "$db_pid" 2>/dev/null
    db_pid=""
  fi
}
