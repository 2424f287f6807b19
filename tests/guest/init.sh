#!/bin/busybox sh
# The guest's /init: loads the distribution kernel's USB modules, waits for the units QEMU
# attaches, and runs the loader's checks on them, all in one boot. Each check's output goes to the
# console between markers that scripts/test-guest reads:
#   @@begin NAME / @@end NAME status=N ms=N
# The units (see scripts/test-guest): QVX00001 (product 6001, 700 ms flash steps), QVX00002
# (product 5120, known to neither libftdi nor ftdi_sio), QVX00003, QVX00004 (its stream is dropped
# mid-banner), QVX00005 (mute), all behind usb-redir, and QEMUSER1, QEMU's own usb-serial; then
# QVX00011 to QVX00013, plugged and pulled while the station runs; last QVX00021, plugged once
# systemd-udevd runs with the installed rule, which a user in its group loads and one outside it
# cannot, while the doctor looks on.
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp /run && mount -t tmpfs tmpfs /tmp && mount -t tmpfs tmpfs /run
chmod 1777 /tmp

now_ms() { read -r up _ </proc/uptime && echo $((${up%.*} * 1000 + 10#${up#*.} * 10)); }

# run NAME COMMAND...: the command's output between markers, with its exit status and wall time.
run() {
  name=$1
  shift
  echo "@@begin $name"
  start=$(now_ms)
  "$@" >"/tmp/$name.out" 2>&1
  status=$?
  end=$(now_ms)
  cat "/tmp/$name.out"
  echo "@@end $name status=$status ms=$((end - start))"
}

# In the background, with the markers printed once it is done.
run_later() {
  name=$1
  shift
  (
    start=$(now_ms)
    "$@" >"/tmp/$name.out" 2>&1
    status=$?
    end=$(now_ms)
    {
      echo "@@begin $name"
      cat "/tmp/$name.out"
      echo "@@end $name status=$status ms=$((end - start))"
    } >"/tmp/$name.report"
  ) &
}

bound_drivers() {
  for link in /sys/bus/usb/drivers/ftdi_sio/*:*; do
    [ -e "$link" ] || continue
    dev=$(readlink -f "$link/..")
    echo "ftdi_sio $(cat "$dev/serial") $(basename "$link")"
  done | sort
}

echo "@@guest kernel $(uname -r)"
for module in $(cat /modules.order); do
  insmod "/lib/modules/$module.ko" || echo "@@insmod failed: $module"
done

# Six units; ftdi_sio binds to the five with product ids it knows (all but QVX00002).
for _ in $(seq 1 200); do
  [ "$(bound_drivers | wc -l)" -ge 5 ] && [ "$(ls /dev/bus/usb/001 2>/dev/null | wc -l)" -ge 7 ] &&
    break
  sleep 0.1
done
echo "@@uptime $(now_ms) ms when the units were up"

run drivers-before bound_drivers
run list env QVX_DRIVER_TRACE=1 qvx5120-load --list

cd /data  # test-banner.bmp and test-pattern.tst from cli/samples
# QVX00001, opened by its description as the window does: the first QVX5120I1 on the bus.
run_later content sh -c '
  for step in "banner 1 test-banner.bmp" "pattern 3 test-pattern.tst" \
              "audio 1000Hz -18 1000Hz -18 Silence 0 400Hz -20"; do
    start=$(cut -d" " -f1 /proc/uptime)
    qvx5120-load $step || exit $?
    echo "@@step $step: $start $(cut -d" " -f1 /proc/uptime)"
  done'
sleep 1  # the open by description takes QVX00001 before the others claim theirs
run_later two-units qvx5120-load --unit QVX00002 --unit QVX00003 banner 2 test-banner.bmp \
  pattern 5 test-pattern.tst
run_later dropped qvx5120-load --unit QVX00004 banner 1 test-banner.bmp
run_later mute qvx5120-load --unit QVX00005 banner 1 test-banner.bmp
run_later qemu-serial qvx5120-load --unit QEMUSER1 banner 1 test-banner.bmp
wait
cat /tmp/*.report

run drivers-after bound_drivers

# --- The station, with units plugged and pulled by the host through QEMU's monitor ---------------
# The host takes the units above away and plugs QVX00011 and QVX00012 for the station; once both
# loads have begun it plugs QVX00013, pulls it once its load is under way, and plugs it in again
# when the station has recorded the pull. The host follows the record through the "@@record"
# lines, so the station's record is printed as it grows.
usb_units() {
  for dev in /sys/bus/usb/devices/*; do
    [ -f "$dev/serial" ] && echo "$(basename "$dev") $(cat "$dev/serial")"
  done | sort
}
echo "@@station plug"
for _ in $(seq 1 200); do
  units=$(usb_units)
  echo "$units" | grep -q " QVX00011$" && echo "$units" | grep -q " QVX00012$" &&
    ! echo "$units" | grep -q " QVX0000[1-5]$" && break
  sleep 0.1
done
usb_units | sed 's/^/@@usb-before /'
start=$(now_ms)
# Interrupted after 90 s, should the host never bring the plugs it is waiting for.
timeout -s INT 90 qvx5120-load --station --set /data/station.toml --stop-after 4 \
  --record /tmp/station.jsonl >/tmp/station.out 2>&1 &
station=$!
seen=0
while kill -0 "$station" 2>/dev/null; do
  if [ -f /tmp/station.jsonl ]; then
    lines=$(wc -l </tmp/station.jsonl)
    if [ "$lines" -gt "$seen" ]; then
      sed -n "$((seen + 1)),${lines}p" /tmp/station.jsonl | sed 's/^/@@record /'
      seen=$lines
    fi
  fi
  sleep 0.1
done
wait "$station"
status=$?
end=$(now_ms)
echo "@@begin station"
cat /tmp/station.out
echo "@@end station status=$status ms=$((end - start))"
usb_units | sed 's/^/@@usb-after /'
echo "@@begin station-record"
cat /tmp/station.jsonl
echo "@@end station-record status=0 ms=0"
# --- The udev rule under Debian's own systemd-udevd ----------------------------------------------
# udevd with the installed rule alone, the devices there applied to as at boot, then a fresh unit,
# QVX00021, plugged by the host: ftdi_sio binds to it and the rule takes it off again. ana is in
# the group the rule hands the generator to, bob is not.
udev_start=$(now_ms)
/lib/systemd/systemd-udevd --daemon
udevadm trigger --action=add
udevadm settle --timeout=60
echo "@@udev plug after $(($(now_ms) - udev_start)) ms"
for _ in $(seq 1 300); do
  usb_units | grep -q " QVX00021$" && break
  sleep 0.1
done
udevadm settle --timeout=60
echo "@@udev plugged after $(($(now_ms) - udev_start)) ms"
fresh=$(usb_units | sed -n 's/ QVX00021$//p')
node=/dev/bus/usb/$(printf %03d "$(cat "/sys/bus/usb/devices/$fresh/busnum")")/$(printf %03d \
  "$(cat "/sys/bus/usb/devices/$fresh/devnum")")
echo "@@udev unit $fresh $node"
run udev-drivers bound_drivers
run udev-node stat -c '%U %G %a' "$node"
run doctor-root qvx5120-doctor
as() {
  who=$1
  shift
  su -s /bin/sh "$who" -c "cd /data && $*"
}
# ana's banner; meanwhile the doctor from another process while her loader holds the unit, and bob.
run_later member-load as ana qvx5120-load --unit QVX00021 banner 1 test-banner.bmp
for _ in $(seq 1 300); do
  [ "$(basename "$(readlink "/sys/bus/usb/devices/$fresh/$fresh:1.0/driver")")" = usbfs ] && break
  sleep 0.1
done
run held-doctor qvx5120-doctor --json
run outsider-list as bob qvx5120-load --list
run outsider-doctor as bob qvx5120-doctor
run outsider-load as bob qvx5120-load --unit QVX00021 banner 1 test-banner.bmp
wait
cat /tmp/member-load.report
echo "@@udev done after $(($(now_ms) - udev_start)) ms"

dmesg | grep -E "usb 1-|ftdi_sio|usbserial|USB disconnect|FTDI" | sed 's/^/@@dmesg /'
echo "@@done"
poweroff -f
