#!/usr/bin/env bash
# A power cut while recording: the program records from the vivid camera onto an ext4 file
# system on a virtual disk (tests/app/PowerCutTest.cpp), and QEMU is killed with SIGKILL at a
# moment the program names, so the machine's page cache is gone as in a power failure. The
# disk is then repaired and read on this side: every file must play (ffprobe, and a full
# ffmpeg decode without errors) and hold all but at most the last 2 s before the cut. Three
# moments: early in a file, mid-file, and just after a roll-over.
#   scripts/vm/power-cut.sh [BUILD_DIR] [MOMENT...]      (default: build; early mid rollover)
# Exit status: 0 all held, 1 a fault, 77 no virtual machine can run here (the reason said).
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"
cd "$(dirname "$0")/../.."
dir=$(realpath "${1:-build}")
shift || true
moments=("$@")
[ ${#moments[@]} -gt 0 ] || moments=(early mid rollover)
[ -x "$dir/tests/app_tests" ] || { echo "no $dir/tests/app_tests: build first" >&2; exit 1; }
for tool in mke2fs e2fsck debugfs ffprobe ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh test installs it)" >&2; exit 1; }
done
MAX_LOSS_MS=${MAX_LOSS_MS:-2000}

work=$(mktemp -d "${TMPDIR:-/tmp}/lumo-power-cut.XXXXXX")
qemu=
trap '[ -n "$qemu" ] && kill -KILL "$qemu" 2>/dev/null; rm -rf "$work"' EXIT

# Milliseconds of local time (counted as if it were UTC, as the program's log does) of a
# capture file's name "YYYY-MM-DD HH-MM-SS mmm.AVI".
name_ms() {
  local n=${1%.AVI}
  date -u -d "${n:0:10} ${n:11:2}:${n:14:2}:${n:17:2}.${n:20:3}" +%s%3N
}

# Milliseconds of picture a file holds: its last video packet's time plus one frame.
covered_ms() {
  ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate:packet=pts_time \
          -of default=noprint_wrappers=1 "$1" |
    awk -F= '/^r_frame_rate=/ { split($2, r, "/"); frame = r[2] / r[1] }
             /^pts_time=/ && $2 != "N/A" && $2 + 0 > last { last = $2 + 0; any = 1 }
             END { if (any) printf "%d\n", (last + frame) * 1000; else print 0 }'
}

# Records until the moment, ends the machine at once and checks what its disk kept.
cut_at() {
  local moment=$1 img=$work/$1.img out=$work/$1-out pidfile=$work/$1.pid rc
  mkdir -p "$out"
  mke2fs -q -t ext4 -F "$img" 256M >/dev/null
  VM_DISK=$img VM_PIDFILE=$pidfile OUT=$out VM_TIMEOUT=${VM_TIMEOUT:-300} VM_REASON_FILE=$work/reason \
    scripts/vm/run-in-vm.sh "grep -m1 'model name' /proc/cpuinfo > \$OUT/cpu.txt
      mountpoint -q /run/disk || { echo 'the virtual disk is not mounted'; exit 1; }
      mkdir -p /run/disk/home/Documents && cd '$dir' &&
      export OUT; HOME=/run/disk/home LUMO_POWER_CUT=$moment ./tests/app_tests --gtest_filter='PowerCut.*' 2>&1" \
    > "$out/run.log" 2>&1 &
  local runner=$!
  # The program asks for the cut once its moment has come; without KVM booting is slow.
  while [ ! -f "$out/cut.txt" ] && kill -0 "$runner" 2>/dev/null; do
    sleep 0.05
  done
  if [ -f "$out/cut.txt" ]; then
    qemu=$(cat "$pidfile")
    kill -KILL "$qemu"
    qemu=
  fi
  set +e; wait "$runner"; rc=$?; set -e
  # Where KVM did not work, the next machines are emulated at once rather than after a minute.
  grep -q 'QEMU Virtual CPU' "$out/cpu.txt" 2>/dev/null && export VM_ACCEL=${VM_ACCEL:-tcg}
  if [ "$rc" -eq 77 ]; then
    echo "power cut: skipped: $(cat "$work/reason" 2>/dev/null)"
    exit 77
  fi
  if [ ! -f "$out/cut.txt" ]; then
    echo "power cut $moment: the program never asked for the cut (status $rc):" >&2
    tail -30 "$out/run.log" >&2
    return 1
  fi
  local last
  last=$(tail -1 "$out/progress.txt")
  local last_ms=${last%% *} last_file=${last#* }

  # As the machine would on its next start: the journal replayed, the file system repaired.
  set +e; e2fsck -fy "$img" > "$out/fsck.log" 2>&1; rc=$?; set -e
  if [ "$rc" -ge 4 ]; then
    echo "power cut $moment: e2fsck could not repair the disk (status $rc):" >&2
    tail -20 "$out/fsck.log" >&2
    return 1
  fi
  mkdir -p "$out/disk"
  debugfs -R "rdump /home $out/disk" "$img" > "$out/debugfs.log" 2>&1
  mapfile -t files < <(find "$out/disk" -name '*.AVI' | sort)
  local faults=0 i start end covered frames errors
  [ ${#files[@]} -gt 0 ] || { echo "power cut $moment: no capture file on the disk" >&2; return 1; }
  [ "$(basename "${files[-1]}")" = "$last_file" ] \
    || { echo "power cut $moment: the last file on the disk is $(basename "${files[-1]}"), the program wrote $last_file" >&2; faults=1; }
  for i in "${!files[@]}"; do
    start=$(name_ms "$(basename "${files[$i]}")")
    if [ $((i + 1)) -lt ${#files[@]} ]; then end=$(name_ms "$(basename "${files[$((i + 1))]}")"); else end=$last_ms; fi
    covered=$(covered_ms "${files[$i]}")
    frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "${files[$i]}" 2>&1 || true)
    errors=$(ffmpeg -nostdin -v error -i "${files[$i]}" -f null - 2>&1 | head -5 || true)
    local lost=$((end - start - covered))
    echo "power cut $moment: $(basename "${files[$i]}"): $(stat -c %s "${files[$i]}") bytes, $frames frames," \
         "$covered ms of $((end - start)) ms kept, lost $lost ms"
    if [ -n "$errors" ] || ! [[ "$frames" =~ ^[0-9]+$ ]] || [ "$frames" -eq 0 ]; then
      echo "power cut $moment: $(basename "${files[$i]}") does not play: $frames $errors" >&2
      faults=1
    fi
    if [ "$lost" -gt "$MAX_LOSS_MS" ]; then
      echo "power cut $moment: $(basename "${files[$i]}") lost $lost ms (at most $MAX_LOSS_MS)" >&2
      faults=1
    fi
  done
  return $faults
}

failed=0
for moment in "${moments[@]}"; do
  cut_at "$moment" || failed=1
done
exit $failed
