#!/usr/bin/env bash
# Runs the real-camera tests of the V4L2 driver in a small virtual machine with the kernel's
# vivid camera as /dev/video0 (scripts/vm/run-in-vm.sh), against the build tree given
# (default build), then a power cut while recording (scripts/vm/power-cut.sh). Fails when a
# test fails; where no virtual machine can run here, says
# 'skipped' with the reason and passes.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(realpath "${1:-build}")
[ -x "$dir/tests/avicap_tests" ] || { echo "no $dir/tests/avicap_tests: build first" >&2; exit 1; }
[ -x "$dir/tests/capture_tests" ] || { echo "no $dir/tests/capture_tests: build first" >&2; exit 1; }
[ -x "$dir/tests/app_tests" ] || { echo "no $dir/tests/app_tests: build first" >&2; exit 1; }
echo "== V4L2 driver against vivid in a virtual machine =="
# Recordings go to the machine's tmpfs: the folder shared with the host is far too slow to
# write a capture file to. Without KVM, ffprobe inside the machine alone takes tens of seconds.
export VM_TIMEOUT=${VM_TIMEOUT:-900}
VM_REASON_FILE=$(mktemp)
export VM_REASON_FILE
trap 'rm -f "$VM_REASON_FILE"' EXIT
# The vivid module of the machine's kernel, for the test that loads it again (a camera that
# comes back as a new device).
vm=${VM:-/tmp/lumo-vm-$(id -u)}
set +e
scripts/vm/run-in-vm.sh "export TMPDIR=/run HOME VIVID_OPTS='${VIVID_OPTS:-}' VIVID_KO=$vm/kern/lib/modules/\$(uname -r)/kernel/drivers/media/test-drivers/vivid/vivid.ko; cd '$dir' && ./tests/avicap_tests --gtest_filter='V4l2Device*' --gtest_brief=0 2>&1 && ./tests/capture_tests --gtest_filter='VidcapCamera*' --gtest_brief=0 2>&1 && ./tests/app_tests --gtest_filter='ProgramCamera*' --gtest_brief=0 2>&1"
rc=$?
set -e
if [ "$rc" -eq 77 ]; then
  echo "V4L2 tests against vivid: skipped: $(cat "$VM_REASON_FILE")"
  exit 0
fi
if [ "$rc" -ne 0 ]; then
  echo "V4L2 tests in the virtual machine failed (status $rc)" >&2
  exit "$rc"
fi

# A power cut while recording onto the machine's own disk: every file plays afterwards and
# at most the last 2 s are lost (three machines ended at once, about a minute each emulated).
echo "== a power cut while recording, in a virtual machine =="
set +e
scripts/vm/power-cut.sh "$dir"
rc=$?
set -e
if [ "$rc" -ne 0 ] && [ "$rc" -ne 77 ]; then
  echo "the power-cut test failed (status $rc)" >&2
  exit "$rc"
fi
