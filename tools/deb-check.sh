#!/usr/bin/env bash
# Installs a built .deb on a fresh, minimal Debian 12 (a debootstrap chroot, as root) with
# `apt-get install ./podiumwatch_*.deb`, starts the installed program under Xvfb and saves a
# screenshot of it.
#   usage: tools/deb-check.sh build/dev/podiumwatch_1.1.0_amd64.deb [screenshot.png]
set -euo pipefail
deb=$(realpath "$1")
shot=$(realpath -m "${2:-deb-check.png}")
base=/var/tmp/fresh/minbase-bookworm.tgz
if [ ! -f "$base" ]; then
    command -v debootstrap >/dev/null || apt-get install -y debootstrap >/dev/null
    mkdir -p /var/tmp/fresh
    debootstrap --variant=minbase bookworm /var/tmp/fresh/root >/var/tmp/fresh/debootstrap.log
    tar -C /var/tmp/fresh/root -czf "$base" .
fi
root=$(mktemp -d /var/tmp/fresh/deb.XXXX)
trap 'umount -l "$root/proc" "$root/dev" "$root/sys" 2>/dev/null || true; rm -rf "$root"' EXIT
tar -C "$root" -xzf "$base"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
cp "$deb" "$root/root/"
mount -t proc proc "$root/proc"; mount --rbind /dev "$root/dev"; mount --rbind /sys "$root/sys"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c '
    set -e
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq ./root/'"$(basename "$deb")"' >/tmp/install.log || { tail -20 /tmp/install.log; exit 1; }
    echo "installed: $(dpkg-query -W -f="\${Package} \${Version}" podiumwatch)"
    ls -l /usr/bin/podiumwatch /usr/lib/podiumwatch/DATA/Sound
    apt-get install -y -qq --no-install-recommends xvfb xauth xdotool imagemagick >/dev/null
    # Started by its command name; 表示セット pressed so the image buttons from DATA show.
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c "podiumwatch & sleep 4; xdotool mousemove 385 461 click 1; sleep 1; import -window root /root/shot.png; kill %1"
'
cp "$root/root/shot.png" "$shot"
echo "screenshot: $shot"
