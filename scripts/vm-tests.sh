#!/usr/bin/env bash
# Runs the real-camera tests of the V4L2 driver in a small virtual machine with the kernel's
# vivid camera as /dev/video0 (../shared/tools/run-in-vm.sh), against the build tree given
# (default build); its log lands in $OUT (default /tmp/vm/out). Fails when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(realpath "${1:-build}")
vm=../shared/tools/run-in-vm.sh
[ -x "$dir/tests/avicap_tests" ] || { echo "no $dir/tests/avicap_tests: build first" >&2; exit 1; }
[ -x "$dir/tests/capture_tests" ] || { echo "no $dir/tests/capture_tests: build first" >&2; exit 1; }
[ -f "$vm" ] || { echo "no $vm" >&2; exit 1; }
echo "== V4L2 driver against vivid in a virtual machine =="
# Recordings go to the machine's tmpfs (TMPDIR is not exported to the command otherwise);
# the shared $OUT folder is far too slow to write a capture file to.
# The machine runs without KVM: ffprobe inside it alone takes tens of seconds.
export VM_TIMEOUT=${VM_TIMEOUT:-900}
set +e
bash "$vm" "export TMPDIR=/run HOME; cd '$dir' && ./tests/avicap_tests --gtest_filter='V4l2Device*' --gtest_brief=0 2>&1 && ./tests/capture_tests --gtest_filter='VidcapCamera*' --gtest_brief=0 2>&1"
rc=$?
set -e
if [ "$rc" -ne 0 ]; then
  echo "V4L2 tests in the virtual machine failed (status $rc)" >&2
  exit "$rc"
fi
