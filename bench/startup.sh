#!/usr/bin/env bash
# Times the program's start, up to the first card shown, on an empty book and on a book of
# 100,000 contacts, and prints the means and their ratio.
#
#   bench/startup.sh [BUILD_DIR]          (default ./build)
#
# RUNS (default 10) timed starts per book, after one untimed start that writes what a first
# start writes (settings, the stand-by database, the empty book). CONTACTS (default 100000) is
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
cp "$book" "$work/large/Corvanel.MDB"
if [ "$photos" = 1 ]; then
  mkdir "$work/photos"
  cp "$photo_book" "$work/photos/Corvanel.MDB"
fi

export QT_QPA_PLATFORM=offscreen

# Starts the program once in home $1; prints the wall-clock seconds.
start_once() {
  local home=$1 begin end
  begin=$(date +%s%N)
  if ! "$exe" --exit-after-start --home "$home" >"$work/out.log" 2>&1; then
    echo "startup.sh: quillory failed in $home:" >&2
    cat "$work/out.log" >&2
    exit 1
  fi
  end=$(date +%s%N)
  awk -v ns=$((end - begin)) 'BEGIN { printf "%.4f\n", ns / 1e9 }'
}

# Prints "mean min max" of $runs starts in home $1, with each run's time on stderr.
time_runs() {
  local home=$1 label=$2 times=()
  start_once "$home" >/dev/null
  for _ in $(seq "$runs"); do
    times+=("$(start_once "$home")")
  done
  echo "$label: ${times[*]}" >&2
  printf '%s\n' "${times[@]}" | awk '
    { sum += $1; if (NR == 1 || $1 < min) min = $1; if ($1 > max) max = $1 }
    END { printf "%.4f %.4f %.4f\n", sum / NR, min, max }'
}

read -r empty_mean empty_min empty_max < <(time_runs "$work/empty" "empty book (s)")
read -r large_mean large_min large_max < <(time_runs "$work/large" "$contacts contacts (s)")
if [ "$photos" = 1 ]; then
  read -r photo_mean photo_min photo_max < <(time_runs "$work/photos" "with photos (s)")
fi
if [ ! -f "$work/large/Corvanel.MDB" ]; then
  echo "startup.sh: the large book is gone after the runs" >&2
  exit 1
fi

printf '\n%-22s %10s %10s %10s\n' "book ($runs runs)" "mean s" "min s" "max s"
printf '%-22s %10s %10s %10s\n' "empty" "$empty_mean" "$empty_min" "$empty_max"
printf '%-22s %10s %10s %10s\n' "$contacts contacts" "$large_mean" "$large_min" "$large_max"
if [ "$photos" = 1 ]; then
  printf '%-22s %10s %10s %10s\n' "  with photos" "$photo_mean" "$photo_min" "$photo_max"
fi
awk -v a="$large_mean" -v b="$empty_mean" 'BEGIN { printf "ratio large/empty: %.2f\n", a / b }'
