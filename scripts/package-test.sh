#!/usr/bin/env bash
# Tests the release as an administrator gets it. Part of scripts/test-all.sh;
# needs a built build/win32 (and builds the release itself).
#
#  1. Builds the release signed with a throwaway self-signed certificate, and
#     an older package (unsigned, of build/win32/tools/vantor_previous.exe,
#     the program built as the previous version) to upgrade from; checks both signatures, the unsigned build's notice, the zip's
#     files, the guide's version line and the program's load configuration.
#  2. In a fresh Wine prefix (build/package-test/wineprefix), with a
#     stand-in Tarvel.exe already in the label program's folder:
#     silent install of the older package into a given folder; one print job
#     through the installed vantor.exe; upgrade to the signed release
#     (same folder, vantor.ini byte for byte, the new program); a refused
#     downgrade; removal by product code, which leaves only vantor.ini (and
#     the label program's own files). c:\windows\tabula.ini is never touched.
#
# The prefix is 32-bit where this machine runs 32-bit programs. Where it runs
# only 64-bit ones (scripts/wine-env.sh), the same 32-bit package goes into a
# 64-bit prefix, as on a 64-bit Windows: its files under the given folder, its
# registry values in the 32-bit view (Software\Wow6432Node), where the
# upgrade must find the folder again; only the print job through the
# installed 32-bit program cannot run there, and the script says it skipped it.
#
# Every check prints "ok: ..." or stops the script with "FAILED: ...".
# What Wine cannot show (access rights, MsiLockPermissionsEx, the all-users
# Start menu, DependentLoadFlags) is listed in docs/admin-guide.md.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VANTOR_WIN32_BUILD:-$ROOT/build/win32}"
T="$ROOT/build/package-test"

fail() { echo "package test: FAILED: $*" >&2; exit 1; }
ok() { echo "ok: $*"; }

VERSION="$(sed -n 's/^#define VANTOR_VERSION_TEXT "\(.*\)"$/\1/p' "$BUILD/generated/vantor_version.h")"
[ -n "$VERSION" ] || fail "no version in $BUILD/generated/vantor_version.h (build win32 first)"
# The previous version (tests/CMakeLists.txt builds the program under it).
OLD="$(sed -n 's/^#define VANTOR_VERSION_TEXT "\(.*\)"$/\1/p' "$BUILD/generated/previous/vantor_version.h")"
[ -n "$OLD" ] || fail "no previous version in $BUILD/generated/previous (build win32 first)"
MSI="$ROOT/build/release/vantor-$VERSION-win32.msi"
ZIP="$ROOT/build/release/vantor-$VERSION-win32.zip"
OLD_MSI="$T/old/vantor-$OLD-win32.msi"

# Linux path to the name Wine gives it (drive Z: is the Linux root).
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# ------------------------------------------------------------- the builds
build_and_check() {
  rm -rf "$T"
  mkdir -p "$T"
  openssl req -x509 -newkey rsa:3072 -sha256 -nodes -keyout "$T/key.pem" -out "$T/cert.pem" -days 2 \
    -subj "/CN=Vantor package test" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 || fail "openssl could not make a certificate"

  # The older package, of the program built as the previous version; unsigned.
  env -u VANTOR_SIGN_CERT -u VANTOR_SIGN_KEY -u VANTOR_SIGN_PKCS12 -u VANTOR_SIGN_PASSWORD \
    bash "$ROOT/packaging/release.sh" "$OLD" "$BUILD/tools/vantor_previous.exe" "$T/old" --msi-only > "$T/old.log" 2>&1 ||
    { cat "$T/old.log"; fail "the older package did not build"; }
  grep -q "^release: NOT SIGNED" "$T/old.log" || fail "an unsigned build does not say so"
  ok "older package $OLD built, and says it is unsigned"

  VANTOR_SIGN_CERT="$T/cert.pem" VANTOR_SIGN_KEY="$T/key.pem" \
    cmake --build --preset win32 --target release > "$T/release.log" 2>&1 ||
    { cat "$T/release.log"; fail "the release target failed"; }
  cat "$T/release.log"
  ! grep -q "NOT SIGNED" "$T/release.log" || fail "the signed release says it is unsigned"

  local stage="$ROOT/build/release/vantor-$VERSION"
  for f in "$stage/vantor.exe" "$MSI"; do
    osslsigncode verify -CAfile "$T/cert.pem" -in "$f" > "$T/verify.log" 2>&1 &&
      grep -q "Signature verification: ok" "$T/verify.log" ||
      { cat "$T/verify.log"; fail "signature of $(basename "$f") does not verify"; }
    ok "signature of $(basename "$f") verifies"
  done
  python3 "$ROOT/tools/pe_load_config.py" check "$stage/vantor.exe" ||
    fail "the signed vantor.exe lost its DependentLoadFlags"

  unzip -l "$ZIP"
  local listing
  listing="$(unzip -Z1 "$ZIP" | sort | tr '\n' ' ')"
  local n="vantor-$VERSION"
  [ "$listing" = "$n/ $n/admin-guide.md $n/images/ $n/images/about.png $n/images/dialog.png $n/images/jobs.png $n/images/progress-144dpi.png $n/images/progress.png $n/policy/ $n/policy/en-US/ $n/policy/en-US/vantor.adml $n/policy/vantor.admx $n/vantor.exe $n/vantor.sample.ini " ] ||
    fail "the zip holds: $listing"
  xmllint --noout "$stage/policy/vantor.admx" "$stage/policy/en-US/vantor.adml" ||
    fail "the Group Policy template is not well-formed XML"
  unzip -p "$ZIP" "$n/vantor.exe" | cmp -s - "$stage/vantor.exe" || fail "the zip's vantor.exe is not the signed one"
  unzip -p "$ZIP" "$n/admin-guide.md" | sed -n 3p | grep -qx "Version $VERSION (\`vantor.exe\`)" ||
    fail "the released guide does not name version $VERSION"
  ok "zip: the signed program, the sample settings, the guide of $VERSION, the policy template"

  # The package's Start-menu shortcut opens the configuration dialog: the
  # program without arguments.
  msiinfo export "$MSI" Shortcut | tr -d '\r' | awk -F'\t' '$1 == "ConfigurationShortcut" { print $5 "|" $6 }' |
    grep -qx '\[INSTALLDIR\]vantor.exe|' || fail "the shortcut does not start vantor.exe without arguments"
  ok "Start-menu shortcut: vantor.exe without arguments"
}

# ------------------------------------------------------------- under Wine
FOLDER='C:\Labels Tarvel\'   # a given folder, with a blank, not the default
# A 32-bit package's registry values: HKLM\Software on a 32-bit Windows, the
# 32-bit view HKLM\Software\Wow6432Node on a 64-bit one.
if [ "${VANTOR_WINDOWS_BUILD:-win32}" = win64 ]; then
  SOFTWARE='HKLM\Software\Wow6432Node'
else
  SOFTWARE='HKLM\Software'
fi
UNINSTALL_KEY="$SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
REMEMBERED_KEY="$SOFTWARE\Vantor\Connector"

# reg_value KEY NAME: the value's data, or nothing when absent.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, ""); print; exit }'
}
# reg_type KEY NAME: the value's type (REG_SZ, REG_EXPAND_SZ, ...), or nothing.
reg_type() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { print $2; exit }'
}
# The event source the package registers for the connector's job events.
EVENT_KEY='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Vantor Connector'
# event_source_registered: fails unless the source names the installed vantor.exe.
event_source_registered() {
  [ "$(reg_type "$EVENT_KEY" EventMessageFile)" = REG_EXPAND_SZ ] &&
    [ "$(reg_value "$EVENT_KEY" EventMessageFile)" = "${FOLDER}vantor.exe" ] &&
    [ "$(reg_value "$EVENT_KEY" TypesSupported)" = 0x7 ]
}
# msiexec ARGS...: its exit code (Wine's msiexec reports a refused install
# with a non-zero code other than Windows' 1603).
msiexec_rc() { local rc=0; wine msiexec "$@" >/dev/null 2>&1 || rc=$?; echo "$rc"; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }'; }

in_wine() {
  local dir="$WINEPREFIX/drive_c/Labels Tarvel"
  local job="$T/job"
  local host_file="$WINEPREFIX/drive_c/windows/tabula.ini"
  mkdir -p "$dir" "$job"
  # The label program is installed first; Priority's host file names it.
  cp "$BUILD/tools/standin_runner.exe" "$dir/Tarvel.exe"
  printf '[Labels]\r\nApplication=C:\\Labels Tarvel\\Tarvel.exe\r\n' > "$host_file"
  cp "$host_file" "$T/tabula.before"
  cp "$ROOT/samples/Shelf.tvl" "$ROOT/samples/shelf-job.txt" "$job/"

  # Install: silent, into the given folder, with a log.
  local rc
  rc="$(msiexec_rc /i "$(winpath "$OLD_MSI")" /qn "INSTALLDIR=$FOLDER" /l*v "$(winpath "$T/install.log")")"
  [ "$rc" = 0 ] || fail "install of $OLD ended with $rc (log: $T/install.log)"
  for f in vantor.exe vantor.ini vantor.sample.ini vantor-guide/admin-guide.md vantor-guide/images/dialog.png vantor-guide/images/jobs.png vantor-guide/images/progress.png vantor-guide/images/progress-144dpi.png; do
    [ -f "$dir/$f" ] || fail "install left no $f in $FOLDER"
  done
  cmp -s "$dir/vantor.exe" "$BUILD/tools/vantor_previous.exe" || fail "the installed vantor.exe is not $OLD's"
  cmp -s "$dir/vantor.ini" "$ROOT/docs/vantor.sample.ini" || fail "the new vantor.ini is not the sample"
  [ "$(reg_value "$REMEMBERED_KEY" InstallDir)" = "$FOLDER" ] ||
    fail "the folder is not remembered in $REMEMBERED_KEY"
  if [ "$SOFTWARE" != 'HKLM\Software' ]; then
    [ -z "$(reg_value 'HKLM\Software\Vantor\Connector' InstallDir)" ] ||
      fail "the 32-bit package wrote to the 64-bit registry view"
  fi
  local old_code new_code
  old_code="$(product_code "$OLD_MSI")"
  new_code="$(product_code "$MSI")"
  [ "$(reg_value "$UNINSTALL_KEY\\$old_code" DisplayVersion)" = "$OLD" ] ||
    fail "Add/Remove Programs shows no entry for $OLD"
  local shortcut
  shortcut="$(find "$WINEPREFIX/drive_c" -name 'Priority - Tarvel Connector.lnk' | head -1)"
  [ -n "$shortcut" ] || fail "no Start-menu shortcut"
  event_source_registered || fail "the event source is not registered for ${FOLDER}vantor.exe"
  ok "silent install of $OLD into $FOLDER: files, remembered folder, Add/Remove entry, shortcut, event source"

  # An administrator's change to the settings, which the upgrade must keep
  # (and the job below then uses).
  sed -i 's/^Printer=\r$/Printer=Office Laser\r/' "$dir/vantor.ini"  # CRLF lines
  grep -q '^Printer=Office Laser' "$dir/vantor.ini" || fail "could not set the printer in vantor.ini"
  cp "$dir/vantor.ini" "$T/vantor.ini.before-upgrade"

  # Upgrade to the signed release, without naming the folder.
  rc="$(msiexec_rc /i "$(winpath "$MSI")" /qn /l*v "$(winpath "$T/upgrade.log")")"
  [ "$rc" = 0 ] || fail "upgrade to $VERSION ended with $rc (log: $T/upgrade.log)"
  cmp -s "$dir/vantor.ini" "$T/vantor.ini.before-upgrade" || fail "the upgrade changed vantor.ini"
  cmp -s "$dir/vantor.exe" "$ROOT/build/release/vantor-$VERSION/vantor.exe" ||
    fail "the upgrade did not install the signed vantor.exe into $FOLDER"
  [ "$(reg_value "$UNINSTALL_KEY\\$new_code" DisplayVersion)" = "$VERSION" ] ||
    fail "Add/Remove Programs shows no entry for $VERSION"
  [ -z "$(reg_value "$UNINSTALL_KEY\\$old_code" DisplayVersion)" ] || fail "$OLD is still registered"
  [ "$(reg_value "$REMEMBERED_KEY" InstallDir)" = "$FOLDER" ] || fail "the upgrade forgot the folder"
  [ -z "$(find "$WINEPREFIX/drive_c" -path '*/Tarvel/vantor.exe')" ] || fail "the upgrade went to the default folder"
  event_source_registered || fail "the upgrade lost the event source"
  ok "upgrade $OLD -> $VERSION: same folder, vantor.ini kept byte for byte, signed program installed, event source kept"

  # One print job through the installed program, with an exact command line:
  # the 32-bit program needs Wine's 32-bit loader.
  if [ "${VANTOR_WINE32_RUNS:-1}" = 0 ]; then
    echo "skipped: the print job through the installed 32-bit vantor.exe (this machine cannot run 32-bit programs)"
  else
  local w
  w="$(winpath "$job")"
  printf '%s' "\"${FOLDER}vantor.exe\" /F=$w\\Shelf.tvl /D=\"$w\\shelf-job.txt\"" > "$job/command-line.txt"
  wine "$BUILD/tools/launch_exact.exe" "$(winpath "$job/command-line.txt")" >/dev/null 2>&1 ||
    fail "the installed vantor.exe did not run the job"
  [ "$(grep -c '^cmdline=' "$dir/Tarvel.log" 2>/dev/null)" = 3 ] || fail "Tarvel.exe did not run once per data line"
  # Templates come from the connector's folder (TemplatesFolder is empty).
  local first='cmdline="C:\Labels Tarvel\Tarvel.exe" "C:\Labels Tarvel\Shelf.tvl" /setpages 2 /pt "Office Laser"  /fm Param1 "4711" /fm Param2 "Shelf label A" /fm Param3 "Aisle 3"'
  [ "$(grep -m1 '^cmdline=' "$dir/Tarvel.log")" = "$first" ] ||
    fail "Tarvel.exe got another command line: $(grep '^cmdline=' "$dir/Tarvel.log" | head -1)"
  grep -q '^\[LastJob\]' "$dir/vantor.ini" || fail "the job left no [LastJob] in the installed vantor.ini"
  ok "a job through the installed, signed vantor.exe started Tarvel.exe once per data line"

  # Its health check, with job events turned on, finds the source registered
  # for it (standard output redirected: the report goes there).
  cp "$dir/vantor.ini" "$T/vantor.ini.before-check"
  sed -i 's/^\[Settings\]\r$/[Settings]\r\nEventLog=1\r/' "$dir/vantor.ini"
  printf '%s' "\"${FOLDER}vantor.exe\" /CHECK" > "$job/check-line.txt"
  wine "$BUILD/tools/launch_exact.exe" "$(winpath "$job/check-line.txt")" > "$T/check.txt" 2>/dev/null || true
  grep -q '^OK   event-log: .*source "Vantor Connector", registered for this connector\.' "$T/check.txt" ||
    fail "the health check does not find the event source registered: $(grep event-log "$T/check.txt")"
  cp "$T/vantor.ini.before-check" "$dir/vantor.ini"
  ok "the installed vantor.exe /CHECK finds its event source registered for it"
  fi

  # Downgrade: refused, nothing changes.
  rc="$(msiexec_rc /i "$(winpath "$OLD_MSI")" /qn /l*v "$(winpath "$T/downgrade.log")")"
  [ "$rc" != 0 ] || fail "the downgrade to $OLD was not refused"
  [ "$(reg_value "$UNINSTALL_KEY\\$new_code" DisplayVersion)" = "$VERSION" ] || fail "the refused downgrade removed $VERSION"
  cmp -s "$dir/vantor.exe" "$ROOT/build/release/vantor-$VERSION/vantor.exe" || fail "the refused downgrade changed vantor.exe"
  ok "downgrade to $OLD refused (msiexec exit code $rc)"

  # Removal by product code: only vantor.ini stays, as it was.
  cp "$dir/vantor.ini" "$T/vantor.ini.before-removal"
  rc="$(msiexec_rc /x "$new_code" /qn /l*v "$(winpath "$T/remove.log")")"
  [ "$rc" = 0 ] || fail "removal ended with $rc (log: $T/remove.log)"
  local left
  left="$(cd "$dir" && find . -mindepth 1 | sort | tr '\n' ' ')"
  local expected="./Tarvel.exe ./Tarvel.log ./runners.log ./vantor.ini "
  [ "${VANTOR_WINE32_RUNS:-1}" = 0 ] && expected="./Tarvel.exe ./vantor.ini "  # no job ran
  [ "$left" = "$expected" ] || fail "removal left: $left"
  cmp -s "$dir/vantor.ini" "$T/vantor.ini.before-removal" || fail "removal changed vantor.ini"
  [ ! -e "$shortcut" ] || fail "removal left the Start-menu shortcut"
  [ -z "$(reg_value "$REMEMBERED_KEY" InstallDir)" ] || fail "removal left the registry value"
  [ -z "$(reg_value "$UNINSTALL_KEY\\$new_code" DisplayVersion)" ] || fail "removal left the Add/Remove entry"
  ! wine reg query "$EVENT_KEY" >/dev/null 2>&1 || fail "removal left the event source's key"
  ok "removal by product code: only vantor.ini left, unchanged; shortcut, registry entries and event source gone"

  cmp -s "$host_file" "$T/tabula.before" || fail "c:\\windows\\tabula.ini was changed"
  ok "c:\\windows\\tabula.ini untouched"
}

# win32, or win64:1 / win64:0 (whether 32-bit programs run here at all).
scripts_which() {
  local build runs _
  IFS=$'\t' read -r build runs _ < <("$ROOT/scripts/wine-env.sh" --which)
  if [ "$build" = win64 ]; then echo "win64:$runs"; else echo win32; fi
}

if [ "${1:-}" = "--in-wine" ]; then
  in_wine
  exit 0
fi

build_and_check
# A fresh prefix every run; winemenubuilder off, so Wine writes no Linux menu
# entries for the shortcut.
export WINEPREFIX="$T/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
"$ROOT/scripts/wine-env.sh" "$0" --in-wine
case "$(scripts_which)" in
  win32) echo "package test: all checks passed" ;;
  win64:1) echo "package test: all checks passed, in a 64-bit prefix" ;;
  *) echo "package test: all checks passed in a 64-bit prefix; the print job through the installed 32-bit program was skipped (this machine cannot run 32-bit programs)" ;;
esac
