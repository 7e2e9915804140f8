# A private three-node Galera cluster on loopback for one test script: each node with its own data
# folder and socket below $scratch/galera, its own client, replication, state-transfer and
# incremental-transfer ports. Source this file after private_mariadb.sh (for free_port) and after
# setting $scratch and defining fail(); call galera_stop_all from the EXIT trap.
# Sets node_port[1..3] and node_socket[1..3]; node_pid[i] is the running server of node i.
# The state transfer by rsync runs as the server's user, so the folder belongs to mysql when the
# script runs as root.

galera_provider=/usr/lib/galera/libgalera_smm.so
node_pid=() node_port=() node_socket=() gcomm_port=() ist_port=() sst_port=()

# galera_missing: prints why a cluster cannot run here, or nothing when it can.
galera_missing() {
  [ -f "$galera_provider" ] || { echo "the Galera library $galera_provider is missing (Debian package galera-4)"; return; }
  command -v rsync >/dev/null || { echo "rsync is missing (the nodes' state transfer uses it)"; return; }
  command -v mariadbd >/dev/null || echo "mariadbd is missing"
}

# galera_port: a free loopback port not handed out before (free_port may give the same one twice).
galera_ports=" "
galera_port() {
  local port
  while :; do
    port="$(free_port)"
    case "$galera_ports" in *" $port "*) continue ;; esac
    galera_ports+="$port "
    echo "$port"
    return
  done
}

galera_prepare() {
  local i
  local run_as=()
  [ "$(id -u)" -eq 0 ] && run_as=(--user=root)
  for i in 1 2 3; do
    node_port[$i]="$(galera_port)"; gcomm_port[$i]="$(galera_port)"; ist_port[$i]="$(galera_port)"; sst_port[$i]="$(galera_port)"
    node_socket[$i]="$scratch/galera/n$i/mysql.sock"
    mkdir -p "$scratch/galera/n$i"
    mariadb-install-db --no-defaults --datadir="$scratch/galera/n$i/data" --auth-root-authentication-method=normal \
      --skip-test-db "${run_as[@]}" > "$scratch/galera/n$i/install.log" 2>&1 \
      || { cat "$scratch/galera/n$i/install.log"; fail "mariadb-install-db failed for node $i"; }
  done
  [ "$(id -u)" -eq 0 ] && chown -R mysql:mysql "$scratch/galera"
  # The server's user must reach its folder through the scratch folder.
  chmod o+x "$scratch"
}

# galera_start I [--wsrep-new-cluster]: starts node I in the background.
galera_start() {
  local i="$1"; shift
  local d="$scratch/galera/n$i" run_as=()
  [ "$(id -u)" -eq 0 ] && run_as=(--user=mysql)
  mariadbd --no-defaults "${run_as[@]}" --datadir="$d/data" --socket="${node_socket[$i]}" --port="${node_port[$i]}" \
    --bind-address=127.0.0.1 --pid-file="$d/mariadb.pid" --log-error="$d/mariadb.err" \
    --innodb-buffer-pool-size=32M --innodb-flush-log-at-trx-commit=2 --max-connections=200 \
    --innodb-log-file-size=16M --performance-schema=OFF \
    --binlog-format=ROW --innodb-autoinc-lock-mode=2 --wsrep-on=ON --wsrep-provider="$galera_provider" \
    --wsrep-cluster-name=velmora-test \
    --wsrep-cluster-address="gcomm://127.0.0.1:${gcomm_port[1]},127.0.0.1:${gcomm_port[2]},127.0.0.1:${gcomm_port[3]}" \
    --wsrep-node-address="127.0.0.1:${gcomm_port[$i]}" --wsrep-node-name="n$i" \
    --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:${gcomm_port[$i]};ist.recv_addr=127.0.0.1:${ist_port[$i]};gcache.size=64M;evs.suspect_timeout=PT3S;evs.inactive_timeout=PT6S" \
    --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:${sst_port[$i]}" \
    "$@" > "$d/mariadbd.out" 2>&1 &
  node_pid[$i]=$!
}

# galera_status I NAME: a status variable of node I (empty when it does not answer).
galera_status() {
  mariadb --socket="${node_socket[$1]}" -uroot -N -B -e "SHOW GLOBAL STATUS LIKE '$2'" 2>/dev/null | cut -f2
}

# galera_wait_synced I [SECONDS]: waits until node I is Synced in a cluster of three.
galera_wait_synced() {
  local i="$1" limit="${2:-120}" t
  for ((t = 0; t < limit * 4; t++)); do
    if [ "$(galera_status "$i" wsrep_local_state_comment)" = Synced ] && [ "$(galera_status "$i" wsrep_cluster_size)" = 3 ]; then
      return 0
    fi
    kill -0 "${node_pid[$i]}" 2>/dev/null || { tail -30 "$scratch/galera/n$i/mariadb.err" >&2; fail "node $i exited"; }
    sleep 0.25
  done
  tail -30 "$scratch/galera/n$i/mariadb.err" >&2
  fail "node $i was not Synced within $limit s"
}

galera_start_all() {
  galera_prepare
  galera_start 1 --wsrep-new-cluster
  for _ in $(seq 1 240); do
    [ "$(galera_status 1 wsrep_ready)" = ON ] && break
    kill -0 "${node_pid[1]}" 2>/dev/null || { tail -30 "$scratch/galera/n1/mariadb.err" >&2; fail "node 1 exited"; }
    sleep 0.25
  done
  galera_start 2
  galera_start 3
  galera_wait_synced 2
  galera_wait_synced 3
  galera_wait_synced 1
}

# galera_kill I: kills node I at once, as a crash would.
galera_kill() {
  kill -9 "${node_pid[$1]}" 2>/dev/null || true
  wait "${node_pid[$1]}" 2>/dev/null || true
  node_pid[$1]=""
}

# galera_stop_all: stops every node; one that has not ended within 30 s is killed.
galera_stop_all() {
  local i t
  for i in 3 2 1; do
    [ -n "${node_pid[$i]:-}" ] && kill "${node_pid[$i]}" 2>/dev/null
  done
  for i in 3 2 1; do
    [ -n "${node_pid[$i]:-}" ] || continue
    for ((t = 0; t < 120; t++)); do kill -0 "${node_pid[$i]}" 2>/dev/null || break; sleep 0.25; done
    kill -9 "${node_pid[$i]}" 2>/dev/null
    wait "${node_pid[$i]}" 2>/dev/null || true
    node_pid[$i]=""
  done
}
