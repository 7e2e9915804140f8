#!/usr/bin/env bash
# Start-up benchmark: under Xvfb, the time from starting the program to the first paint of its
# main window, which must show the model (project selector, class list and member table filled),
# with a model of 50 projects x 30 classes x 20 members, against a bare Qt program showing an
# empty QMainWindow of the same size, which this script builds itself. Runs the two in turn and
# prints the medians of the times and of the pairs' ratios (the goal is at most 1.5).
#
#   bench/startup.sh [build folder, default build] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-21}"

for tool in velmora-bench-model velmora-bench-startup; do
  [[ -x "$build/$tool" ]] || { echo "missing $build/$tool: build it first" >&2; exit 2; }
done
work="$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/velmora-bench-startup.XXXXXX")"
cleanup() { rm -rf "$work"; }
source "$root/bench/xvfb.sh"
start_display
export XDG_RUNTIME_DIR="$work"

# The anchor: QApplication, an empty QMainWindow, and an exit right after its first paint,
# exactly as velmora-bench-startup ends.
cat > "$work/bare.cpp" <<'CPP'
#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <unistd.h>
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget *w) : window(w) {}
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !seen && o->isWidgetType()
            && static_cast<QWidget *>(o)->window() == window) {
            seen = true;
            QTimer::singleShot(0, [] { std::fflush(stdout); _exit(0); });
        }
        return false;
    }
    QWidget *window;
    bool seen = false;
};
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(770, 610);
    FirstPaint watch(&window);
    app.installEventFilter(&watch);
    window.show();
    return app.exec();
}
CPP
c++ -std=c++17 -O2 -fPIC "$work/bare.cpp" -o "$work/bare" $(pkg-config --cflags --libs Qt6Widgets)

home="$work/home"
mkdir "$home"
"$build/velmora-bench-model" "$home/projects.mdb" 30 20 50

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
bare=() velmora=() ratios=()
for ((i = 0; i < runs + 2; i++)); do # two rounds to warm the caches
  t0=$(now); "$work/bare" >/dev/null 2>&1; t1=$(now)
  "$build/velmora-bench-startup" "$home" >/dev/null 2>"$work/err.txt" \
    || { cat "$work/err.txt" >&2; exit 1; }
  t2=$(now)
  if ((i >= 2)); then
    bare+=($(( (t1 - t0) / 1000 )))
    velmora+=($(( (t2 - t1) / 1000 )))
    ratios+=("$(awk "BEGIN{print ($t2 - $t1) / ($t1 - $t0)}")")
  fi
done
b=$(median "${bare[@]}")
v=$(median "${velmora[@]}")
printf 'model:      50 projects x 30 classes x 20 members\n'
printf 'bare:       %.1f ms (median of %d, empty QMainWindow)\n' "$(awk "BEGIN{print $b / 1000}")" "$runs"
printf 'velmora:    %.1f ms (median of %d, to the first paint showing the model)\n' "$(awk "BEGIN{print $v / 1000}")" "$runs"
printf 'ratio:      %.2f (median of the pairs; goal at most 1.5)\n' "$(median "${ratios[@]}")"
