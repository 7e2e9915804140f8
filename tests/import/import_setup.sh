# Sourced by the import tests after they set test_name: checks the tools, makes a scratch folder
# with a private MariaDB (see private_mariadb.sh, started by the test) and a program folder
# $home with an empty model database, and removes both at the end, showing the servers' last
# log lines when the test failed. Gives fail, vc (velmora-cli on $home) and php_pid (a php -S
# the test starts, stopped at the end).
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="${VELMORA_BUILD_DIR:?VELMORA_BUILD_DIR must name the program folder}"
cli="$build_dir/velmora-cli"
PATH="$PATH:/usr/sbin:/sbin"

fail() { echo "$test_name: $*" >&2; exit 1; }
for tool in mariadbd mariadb-install-db mariadb mariadb-admin php sqlite3; do
  command -v "$tool" >/dev/null || fail "missing tool: $tool (see scripts/packages.txt)"
done
[ -x "$cli" ] || fail "missing $cli; build the project first"
php -r 'exit(extension_loaded("mysqli") ? 0 : 1);' || fail "PHP has no mysqli (package php-mysql)"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmora-$test_name.XXXXXX")"
source "$here/../lib/private_mariadb.sh"
php_pid=""
cleanup() {
  local rc=$?
  set +e
  [ -n "$php_pid" ] && kill "$php_pid" 2>/dev/null && wait "$php_pid" 2>/dev/null
  private_mariadb_stop
  [ $rc -ne 0 ] && [ -f "$scratch/mariadb.err" ] && tail -20 "$scratch/mariadb.err" >&2
  [ $rc -ne 0 ] && [ -f "$scratch/php-error.log" ] && tail -20 "$scratch/php-error.log" >&2
  rm -rf "$scratch"
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

home="$scratch/home"
mkdir -p "$home"
ln -s "$build_dir/bak" "$home/bak"
ln -s "$build_dir/template" "$home/template"
vc() { "$cli" --home "$home" "$@"; }
vc init >/dev/null
