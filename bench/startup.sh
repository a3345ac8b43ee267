#!/usr/bin/env bash
# Times the program's start, up to the first card shown, on an empty book and on a book of
# 100,000 contacts, beside a minimal Qt window (quillory-minimal-window: a menu, a toolbar and
# a status bar, painted once), and prints the medians and their ratios.
#
#   bench/startup.sh [BUILD_DIR]          (default ./build)
#
# RUNS (default 10) rounds; each round starts every measure once, interleaved, after one
# untimed round that writes what a first start writes (settings, the stand-by database, the
# empty book). MINIMAL names another build of the minimal window. CONTACTS (default 100000) is
# the size of the large book, taken from QUILLORY_BENCH_DIR (default /tmp/quillory-bench) as
# bench_engine leaves it there, or generated with quillory-genbook when missing. PHOTOS=1 adds
# a third row: the same number of contacts, each with a photo.
set -euo pipefail

build=${1:-./build}
exe=$build/bin/quillory
genbook=$build/bench/quillory-genbook
runs=${RUNS:-10}
contacts=${CONTACTS:-100000}
folder=${QUILLORY_BENCH_DIR:-/tmp/quillory-bench}
book=$folder/book-$contacts.mdb
photo_book=$folder/book-$contacts-photos.mdb
photos=${PHOTOS:-0}

if [ ! -x "$exe" ]; then
  echo "startup.sh: $exe not found; build the target quillory first" >&2
  exit 1
fi
if [ ! -f "$book" ]; then
  if [ ! -x "$genbook" ]; then
    echo "startup.sh: $book is missing and $genbook is not built" >&2
    exit 1
  fi
  mkdir -p "$folder"
  "$genbook" --out "$book" --contacts "$contacts"
fi
if [ "$photos" = 1 ] && [ ! -f "$photo_book" ]; then
  "$genbook" --out "$photo_book" --contacts "$contacts" --photos
fi

work=$(mktemp -d -t quillory-startup.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/empty" "$work/large"
# A second name of the file where it can be (the program does not write it at start).
ln "$book" "$work/large/Corvanel.MDB" 2>/dev/null || cp "$book" "$work/large/Corvanel.MDB"
if [ "$photos" = 1 ]; then
  mkdir "$work/photos"
  ln "$photo_book" "$work/photos/Corvanel.MDB" 2>/dev/null ||
    cp "$photo_book" "$work/photos/Corvanel.MDB"
fi

export QT_QPA_PLATFORM=offscreen
minimal=${MINIMAL:-$build/bench/quillory-minimal-window}

# Runs a command once; prints the wall-clock seconds.
time_once() {
  local begin end
  begin=$(date +%s%N)
  if ! "$@" >"$work/out.log" 2>&1; then
    echo "startup.sh: $* failed:" >&2
    cat "$work/out.log" >&2
    exit 1
  fi
  end=$(date +%s%N)
  awk -v ns=$((end - begin)) 'BEGIN { printf "%.4f\n", ns / 1e9 }'
}

# The median of the numbers on stdin.
median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The measures, interleaved: every round starts each of them once, so that a busy moment of the
# machine falls on all of them alike. One untimed round first.
labels=(empty large)
[ -x "$minimal" ] && labels=(minimal "${labels[@]}")
[ "$photos" = 1 ] && labels+=(photos)
start_of() {
  case $1 in
    minimal) time_once "$minimal" ;;
    *) time_once "$exe" --exit-after-start --home "$work/$1" ;;
  esac
}
for label in "${labels[@]}"; do start_of "$label" >/dev/null; done
declare -A times
for _ in $(seq "$runs"); do
  for label in "${labels[@]}"; do
    times[$label]+="$(start_of "$label") "
  done
done
if [ ! -f "$work/large/Corvanel.MDB" ]; then
  echo "startup.sh: the large book is gone after the runs" >&2
  exit 1
fi

printf '\n%-28s %10s %10s %10s\n' "start-up ($runs runs)" "median s" "min s" "max s"
declare -A medians
for label in "${labels[@]}"; do
  echo "$label: ${times[$label]}" >&2
  values=$(printf '%s\n' ${times[$label]})
  medians[$label]=$(median <<<"$values")
  name=$label
  case $label in
    minimal) name="minimal Qt window" ;;
    empty) name="empty book" ;;
    large) name="$contacts contacts" ;;
    photos) name="$contacts contacts, photos" ;;
  esac
  printf '%-28s %10s %10s %10s\n' "$name" "${medians[$label]}" \
    "$(sort -g <<<"$values" | head -1)" "$(sort -g <<<"$values" | tail -1)"
done
awk -v a="${medians[large]}" -v b="${medians[empty]}" \
  'BEGIN { printf "ratio large / empty book: %.2f\n", a / b }'
if [ -n "${medians[minimal]:-}" ]; then
  awk -v a="${medians[large]}" -v b="${medians[minimal]}" \
    'BEGIN { printf "ratio large / minimal Qt window: %.2f\n", a / b }'
  awk -v a="${medians[empty]}" -v b="${medians[minimal]}" \
    'BEGIN { printf "ratio empty book / minimal Qt window: %.2f\n", a / b }'
fi
