# Helpers for the scripts that run inside the test guest (sourced).
# Under software emulation every new process costs a lot, so the polling
# loops use shell builtins only.

log() { echo "[$(printf '%(%T)T') ${SECONDS}s] $*"; }
fail() {
  log "FAIL: $*"
  exit 1
}

# A pause without starting a process: read with a timeout from a pipe that
# never delivers.
exec {nap_fd}<> <(:)
nap() { read -r -t "${1:-0.1}" -u "$nap_fd" || true; }

# Runs the command (a function or builtin: no new process) every interval
# seconds until it succeeds; false when it has not within the given seconds.
poll() {
  local seconds=$1 interval=$2 end
  shift 2
  end=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS <= end)) || return 1
    nap "$interval"
  done
}

# The whole content of a file, or nothing.
slurp() {
  local text=""
  [[ -r $1 ]] && text=$(<"$1")
  printf '%s' "$text"
}

# hidraw nodes whose HID device has the given vendor and product (hex, as
# 2C7A 5B1D), one /dev path per line.
hidraw_nodes() {
  local want="HID_ID=0003:0000${1^^}:0000${2^^}" node line
  for node in /sys/class/hidraw/hidraw*; do
    [[ -e $node/device/uevent && -e /dev/${node##*/} ]] || continue
    while read -r line; do
      if [[ ${line^^} == "$want" ]]; then
        echo "/dev/${node##*/}"
        break
      fi
    done <"$node/device/uevent"
  done
}

# Whether exactly count nodes of vendor:product exist.
node_count_is() {
  local vendor=$1 product=$2 count=$3 nodes
  nodes=$(hidraw_nodes "$vendor" "$product")
  [[ -z $nodes && $count -eq 0 ]] || [[ -n $nodes && $(wc -l <<<"$nodes") -eq $count ]]
}

# Waits until exactly count nodes of vendor:product exist (0 = gone).
wait_nodes() {
  local vendor=$1 product=$2 count=$3 seconds=${4:-30}
  poll "$seconds" 0.1 node_count_is "$vendor" "$product" "$count" ||
    fail "expected $count hidraw node(s) of $vendor:$product within ${seconds}s, found: $(hidraw_nodes "$vendor" "$product" | tr '\n' ' ')"
}

# The firmware version the kernel shows for a node (input device id/version,
# as a uhid device has no USB parent), 4 hex digits.
node_version() {
  local input
  for input in /sys/class/hidraw/"${1##*/}"/device/input/input*/id/version; do
    [[ -e $input ]] && { slurp "$input"; return; }
  done
  echo none
}

# Every node of vendor:product came back with the given version.
check_node_versions() {
  local node
  for node in $(hidraw_nodes "$1" "$2"); do
    [[ $(node_version "$node") == "$3" ]] || fail "$node came back with version $(node_version "$node")"
  done
}

# Every node of vendor:product that has an input device came back with the
# given version, and at least one has: a collection of its own that is
# vendor-only (kbemu --device-per-collection) makes no input device and so
# shows no version.
check_input_node_versions() {
  local node version seen=0
  for node in $(hidraw_nodes "$1" "$2"); do
    version=$(node_version "$node")
    [[ $version == none ]] && continue
    [[ $version == "$3" ]] || fail "$node came back with version $version"
    seen=$((seen + 1))
  done
  ((seen > 0)) || fail "no node of $1:$2 shows a version"
}

# The node among the given ones whose descriptor declares report id 9 with
# an output report (85 09 ... 91).
command_node() {
  local node descriptor
  for node in "$@"; do
    descriptor=$(od -An -tx1 -v "/sys/class/hidraw/${node##*/}/device/report_descriptor" | tr -d '\n')
    if [[ $descriptor == *'85 09'*' 91'* ]]; then
      echo "$node"
      return
    fi
  done
}

# Writes the 65-byte command report 09 <code> <argument> to a node.
send_command() {
  local node=$1 code=$2 argument=$3
  { printf "\\x09\\x$code\\x$argument"; head -c 62 /dev/zero; } |
    dd of="$node" bs=65 count=1 iflag=fullblock status=none
}

# Whether the file contains the text.
has_text() { [[ $(slurp "$1") == *"$2"* ]]; }

# Waits until the file contains the text.
wait_text() {
  local file=$1 text=$2 seconds=${3:-30}
  poll "$seconds" 0.2 has_text "$file" "$text" || fail "no '$text' in $file within ${seconds}s"
}

# Gives Wine's server sockets a tmpfs of the guest's own, away from the
# host's /tmp seen through the overlay.
wine_server_dir() {
  mkdir -p /tmp/.wine-0 && mount -t tmpfs -o mode=700 tmpfs /tmp/.wine-0 ||
    fail "cannot give Wine a directory for its server"
}

# --- The desktop: Xvfb, the window, screenshots ---

# Starts Xvfb on :1 and waits for its socket.
start_display() {
  rm -f /tmp/.X1-lock  # a lock of the host's, seen through the overlay
  Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >"$results/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:1
  poll 30 0.1 test -S /tmp/.X11-unix/X1 || fail "Xvfb did not start (see xvfb.log)"
}

# The first window named like the update window, once one is shown. The
# list is read whole: head -n1 could make xdotool die of SIGPIPE.
update_window_id() {
  local ids
  ids=$(timeout 90 xdotool search --sync --onlyvisible --name '^MVR508_UP2$')
  echo "${ids%%$'\n'*}"
}

# Waits for the update window and sets window_x, window_y (screen position
# of its client area).
wait_window() {
  local id geometry
  id=$(update_window_id)
  [[ -n $id ]] || fail "the update window did not appear (see kbupdate.log)"
  geometry=$(xdotool getwindowgeometry --shell "$id")
  window_x=$(sed -n 's/^X=//p' <<<"$geometry")
  window_y=$(sed -n 's/^Y=//p' <<<"$geometry")
  window_id=$id
  log "window $id at $window_x,$window_y"
  echo "$window_x $window_y 383 320" >"$results/window-geometry"
}

# Saves the window as NAME.xwd in the results (turned into PNG on the host).
screenshot() {
  xwd -id "$window_id" -silent -out "$results/$1.xwd" 2>/dev/null || fail "screenshot $1 failed"
  log "screenshot $1"
}

# Takes screenshots of the window one after the other until it closes, so
# that a state that lasts only a second is caught under slow emulation; the
# window may still be on its way. stop_screenshots NAME keeps the last one.
start_screenshots() {
  rm -rf /tmp/shots
  mkdir -p /tmp/shots
  (
    id=${window_id:-}
    [[ -n $id ]] || id=$(update_window_id)
    n=0
    while [[ -n $id ]] && xwd -id "$id" -silent -out "/tmp/shots/$n.xwd" 2>/dev/null; do
      echo "$n" >/tmp/shots/last
      n=$((n + 1))
    done
  ) &
  shots_pid=$!
}
# A screenshot that depends on timing never fails the run: a slow machine
# may miss a one-second state; the log says so.
stop_screenshots() {
  wait "$shots_pid" 2>/dev/null
  if [[ ! -s /tmp/shots/last ]]; then
    log "no screenshot $1: the window closed before one could be taken"
    return
  fi
  cp "/tmp/shots/$(slurp /tmp/shots/last).xwd" "$results/$1.xwd"
  log "screenshot $1 (the last of $(($(slurp /tmp/shots/last) + 1)) before the window closed)"
}

# Clicks at a point of the window's client area, as a person would.
click_window() {
  xdotool mousemove $((window_x + $1)) $((window_y + $2)) click 1
}

as_user=()

# The colour of one pixel of the window, as "R G B" (decimal), read from an
# xwd dump: header fields are big-endian 32-bit words; the pixels follow the
# header and the colour map, 32 bits each on a 24-bit screen.
window_pixel() {
  local x=$1 y=$2 dump=/tmp/pixel-probe.xwd header
  xwd -id "$window_id" -silent -out "$dump" 2>/dev/null || return 1
  read -r -a header < <(od -An -tu4 --endian=big -N 80 -v "$dump" | tr -s ' \n' ' ')
  local size=${header[0]} bits=${header[11]} line=${header[12]} order=${header[7]} colours=${header[19]}
  ((bits == 32)) || return 1
  local offset=$((size + colours * 12 + y * line + x * 4)) bytes
  read -r -a bytes < <(od -An -tu1 -j "$offset" -N 4 -v "$dump")
  if ((order == 0)); then
    echo "${bytes[2]} ${bytes[1]} ${bytes[0]}"
  else
    echo "${bytes[1]} ${bytes[2]} ${bytes[3]}"
  fi
}

# Whether the "Update" button is red.
update_is_red() {
  local rgb
  read -r -a rgb < <(window_pixel 96 136 || echo "0 0 0")
  ((rgb[0] > 200 && rgb[1] < 80 && rgb[2] < 80))
}

# Waits until the "Update" button is red, as a person would before clicking.
wait_update_ready() {
  local seconds=${1:-60}
  poll "$seconds" 0.3 update_is_red || fail "the Update button did not turn red within ${seconds}s"
}

# Whether the process has ended.
is_gone() { ! kill -0 "$1" 2>/dev/null; }

# Waits until the process has ended.
wait_gone() {
  local pid=$1 seconds=${2:-30}
  poll "$seconds" 0.1 is_gone "$pid" || fail "process $pid still runs after ${seconds}s"
}

# Prepares a directory with kbupdate and USBKeyboard.MTP beside it, and a
# PATH on which the burner is the build tree's mcuprog, recording its
# arguments and exit code. Sets app_dir and burner_path.
prepare_app() {
  local version=$1 work=/tmp/kbupdate-e2e
  rm -rf "$work"
  app_dir=$work/app
  burner_path=$work/path
  mkdir -p "$app_dir" "$burner_path"
  "$bin/mtptool" sample-image "$work/image.bin" >/dev/null || fail "mtptool sample-image failed"
  "$bin/mtptool" pack --version "$version" "$work/image.bin" "$app_dir/USBKeyboard.MTP" \
    >"$results/mtptool.log" 2>&1 || fail "mtptool pack failed (see mtptool.log)"
  cp "$work/image.bin" "$results/image.bin"
  cp "$bin/kbupdate" "$app_dir/"
  cat >"$burner_path/mcuprog" <<WRAPPER
#!/bin/bash
printf '%s\n' "\$@" >"$results/mcuprog-arguments"
"$bin/mcuprog" "\$@"
status=\$?
echo "\$status" >"$results/mcuprog-exit-code"
exit "\$status"
WRAPPER
  chmod +x "$burner_path/mcuprog"
}

# --- udev, as on a desktop ---

# Starts udevd with the project's rule, which gives the group plugdev the two
# devices (its uaccess part needs a logged-in seat, which the guest has not).
# The guest's root is a chroot, which systemd's tools refuse unless told.
start_udev() {
  mkdir -p /etc/udev/rules.d
  cp "$KB_SOURCE/packaging/udev/70-kbupdate.rules" /etc/udev/rules.d/ ||
    fail "the project's udev rule is missing"
  start_udevd
}

# Starts udevd with the rules the machine has.
start_udevd() {
  export SYSTEMD_IGNORE_CHROOT=1
  mkdir -p /run/udev
  /lib/systemd/systemd-udevd --daemon --resolve-names=early 2>"$results/udevd.log" ||
    fail "udevd did not start"
  udevadm settle --timeout=30
  [[ -S /run/udev/control ]] || fail "udevd runs without its control socket"
}

# Runs kbupdate (and so mcuprog) as an unprivileged user of group plugdev.
use_unprivileged_user() {
  as_user=(setpriv --reuid=nobody --regid=nogroup --groups=plugdev)
  user_home=/tmp/home-nobody
  mkdir -p "$user_home/runtime"
  chmod 700 "$user_home/runtime"
  chown -R nobody:nogroup "$user_home"
}

# Starts kbupdate from a working directory of its own, without a terminal:
# its output (and so the burner's console) goes to the transcript file
# (default burner-transcript.txt).
start_kbupdate() {
  transcript=$results/${1:-burner-transcript.txt}
  local home=${user_home:-/tmp/home-root}
  mkdir -p "$home/runtime" /tmp/kbupdate-cwd
  [[ -n ${user_home:-} ]] || chmod 700 "$home/runtime"
  # Files the burner's user writes into: made here, writable for it.
  : >"$results/mcuprog-exit-code"
  : >"$results/mcuprog-arguments"
  : >>"$transcript"
  chmod 666 "$results/mcuprog-exit-code" "$results/mcuprog-arguments" "$transcript"
  (cd /tmp/kbupdate-cwd &&
    exec "${as_user[@]}" env PATH="$burner_path" HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
      "$app_dir/kbupdate" \
      >>"$transcript" 2>>"$results/kbupdate.log" </dev/null) &
  kbupdate_pid=$!
}

# The burner ran to its end with the given exit code.
wait_burner() {
  local code=$1 seconds=${2:-120}
  poll "$seconds" 0.2 test -s "$results/mcuprog-exit-code" ||
    fail "the burner did not finish within ${seconds}s (see ${transcript##*/})"
  [[ $(slurp "$results/mcuprog-exit-code") == "$code" ]] ||
    fail "mcuprog exited with $(slurp "$results/mcuprog-exit-code"), expected $code"
}

# The saved flash holds the image from page 0 on and 0xFF behind it.
check_flash() {
  local flash=$1 image=$2 size
  size=$(stat -c %s "$image")
  cmp -n "$size" "$flash" "$image" >/dev/null || fail "flash differs from the image"
  # Counted whole: grep -q would end the pipeline early, and under pipefail
  # the writers' SIGPIPE would make a dirty flash look clean.
  local dirty
  dirty=$(dd if="$flash" iflag=skip_bytes,count_bytes skip="$size" count=$((240 * 256 - size)) \
    status=none | tr -d '\377' | wc -c)
  [[ $dirty -eq 0 ]] || fail "flash holds more than the image ($dirty bytes not erased)"
}
