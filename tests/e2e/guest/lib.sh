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

# Waits until exactly count nodes of vendor:product exist (0 = gone).
wait_nodes() {
  local vendor=$1 product=$2 count=$3 seconds=${4:-30} end nodes
  end=$((SECONDS + seconds))
  while ((SECONDS <= end)); do
    nodes=$(hidraw_nodes "$vendor" "$product")
    if [[ -z $nodes && $count -eq 0 ]] || [[ -n $nodes && $(wc -l <<<"$nodes") -eq $count ]]; then
      return 0
    fi
    nap 0.1
  done
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

# The node among the given ones whose descriptor declares report id 9 with
# an output report (85 09 ... 91).
command_node() {
  local node
  for node in "$@"; do
    if od -An -tx1 -v "/sys/class/hidraw/${node##*/}/device/report_descriptor" | tr -d '\n' |
      grep -q '85 09.* 91'; then
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

# Waits until the file contains the text.
wait_text() {
  local file=$1 text=$2 seconds=${3:-30} end
  end=$((SECONDS + seconds))
  while ((SECONDS <= end)); do
    [[ $(slurp "$file") == *"$text"* ]] && return 0
    nap 0.2
  done
  fail "no '$text' in $file within ${seconds}s"
}
