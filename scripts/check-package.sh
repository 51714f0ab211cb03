#!/usr/bin/env bash
# Builds the Debian package from a build tree, checks it with lintian, installs it
# with apt-get and runs the main job from the installed program as a normal user,
# as a station would. Run as root on a Debian 12 machine: bash scripts/check-package.sh build
set -euo pipefail
build=$(realpath "${1:-build}")

(cd "$build" && cpack -G DEB)
deb=$(ls -t "$build"/mrkprog_*.deb | head -n 1)
echo "== $deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

# Depends come from the programs' own libraries: gpsim (GTK 2 and more) only suggested.
control=$(dpkg-deb --field "$deb" Depends Recommends Suggests)
if grep -q '^Depends:.*gpsim' <<<"$control" || ! grep -q '^Suggests:.*gpsim' <<<"$control"; then
  echo "gpsim must be suggested, not a dependency:"; echo "$control"; exit 1
fi
grep -q '^Recommends:.*qt6-translations-l10n' <<<"$control" || { echo "no qt6-translations-l10n in Recommends"; exit 1; }
# The journal window's charts need the Qt Charts runtime.
grep -q '^Depends:.*libqt6charts6' <<<"$control" || { echo "no libqt6charts6 in Depends:"; echo "$control"; exit 1; }

# Hardened as Debian builds its packages: position-independent programs, RELRO
# with immediate binding, the stack protector and _FORTIFY_SOURCE's checked calls.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
for elf in usr/bin/mrkprog usr/bin/mrkprog-gui usr/bin/mrkcrypt usr/lib/mrkprog/mrkprog-gpsim.so; do
  f="$unpacked/$elf"
  header=$(readelf -hW "$f"); segments=$(readelf -lW "$f"); dynamic=$(readelf -dW "$f"); symbols=$(readelf --dyn-syms -W "$f")
  grep -q 'Type:.*DYN' <<<"$header" || { echo "$elf: not position-independent"; exit 1; }
  grep -q GNU_RELRO <<<"$segments" || { echo "$elf: no RELRO"; exit 1; }
  grep -Eq 'BIND_NOW|FLAGS.*NOW' <<<"$dynamic" || { echo "$elf: no immediate binding (-z now)"; exit 1; }
  grep -q __stack_chk_fail <<<"$symbols" || { echo "$elf: no stack protector"; exit 1; }
  # As hardening-check judges it: checked calls, or no call that _FORTIFY_SOURCE would check
  # (mem* with sizes the compiler knows stay plain in a fortified build).
  checked=$(grep -Eo ' __[a-z_]+_chk(@|$)' <<<"$symbols" | tr -d ' @' | sort -u | tr '\n' ' ' || true)
  unchecked=$(grep -Eo ' (str[a-z]*cpy|str[a-z]*cat|v?s?n?printf|v?fprintf|gets|fgets|read|realpath|wc[a-z]*)@' <<<"$symbols" | tr -d ' @' | sort -u | tr '\n' ' ' || true)
  if [ -z "$checked" ] && [ -n "$unchecked" ]; then echo "$elf: not fortified: $unchecked"; exit 1; fi
  echo "$elf: PIE, RELRO, BIND_NOW, stack protector, fortified: ${checked:-no fortifiable calls}"
done
if command -v hardening-check >/dev/null; then
  hardening-check "$unpacked"/usr/bin/* "$unpacked"/usr/lib/mrkprog/*.so
fi

# Errors fail the run; warnings are printed and left for the maintainers to judge.
lintian --fail-on error --display-info "$deb"

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb"

# A station's technician: no root, the groups that reach the programmers.
user=mrk-operator
id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash --groups plugdev,lp "$user"
as_user() { runuser -u "$user" -- env -i HOME="/home/$user" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
as_user bash -euxo pipefail -c '
  cd "$HOME"
  test "$(command -v mrkprog)" = /usr/bin/mrkprog
  mrkprog --version
  mrkprog-gui --version
  mrkprog-gui --help >/dev/null
  for page in /usr/share/man/man1/mrkprog.1.gz /usr/share/man/man1/mrkprog-gui.1.gz /usr/share/man/man1/mrkcrypt.1.gz; do
    test -e "$page" || { echo "no $page (man pages excluded by dpkg?)"; continue; }
    MANWIDTH=80 man -l "$page" >/dev/null
  done
  mrkprog --bench virtual-lpt write-update | tee update.log
  grep -q "КС Программы OK." update.log
  mrkprog --bench virtual-usb --chip 452 --module blank.hex erase load-boot /usr/share/mrkprog/firmware/boot-452.hex boot compare
'
echo "== the installed package works for $user"

# One station, one journal: every operator (members of mrkprog) and every folder
# they start the programs from share the station's settings and journal. A bench
# run (training) keeps the bench's own journal and leaves the production one alone.
for dir in /etc/mrkprog /var/lib/mrkprog /var/lib/mrkprog/bench; do
  test "$(stat -c %G:%a "$dir")" = mrkprog:2775 || { stat "$dir"; exit 1; }
done
test "$(stat -c %G:%a /var/lib/mrkprog/mrkprog-journal.db)" = mrkprog:664
printf '[Form_Param]\nEdit2=/usr/share/mrkprog/firmware/boot-4620.hex\nEdit5=/usr/share/mrkprog/firmware/boot-452.hex\nConfigChip=261\n[Journal]\nStation=pkg-station\n' \
  > /etc/mrkprog/mrkprog.ini
usermod -a -G mrkprog "$user"
second=mrk-operator2
id -u "$second" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash --groups plugdev,lp,mrkprog "$second"
# A number no earlier check on this machine has used.
number=$(( $(date +%s) % 60000 + 2000 ))
as_user bash -euxo pipefail -c '
  number='"$number"'
  cd "$HOME"
  rm -f first.hex elsewhere/second.hex
  mrkprog --bench virtual-lpt --module first.hex cycle $number | tee first.log
  grep -q "^OK$" first.log
  mkdir -p elsewhere && cd elsewhere
  if mrkprog --bench virtual-lpt --module second.hex cycle $number >second.log 2>&1; then exit 1; fi
  grep -q "Заводской номер $number уже использован" second.log
  grep -q "не запущен" second.log
  test ! -e "$HOME/mrkprog.ini" && test ! -e "$HOME/journal"
'
runuser -u "$second" -- env -i HOME="/home/$second" PATH=/usr/bin:/bin LANG=C.UTF-8 bash -euxo pipefail -c '
  number='"$number"'
  cd "$HOME"
  mrkprog --bench virtual-lpt journal list --local --number $number | grep -q "Записей: 1"
  mrkprog journal list --local --number $number >production.list 2>&1 || true
  cat production.list
  grep -q -e "Записей: 0" -e "ни один прогон" production.list
'
echo "== one settings file and one journal for every operator of the station"
