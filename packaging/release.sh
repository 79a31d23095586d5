#!/usr/bin/env bash
# Makes the release an administrator deploys, from a built vantor.exe:
#
#   packaging/release.sh VERSION EXE OUTDIR [--msi-only]
#
# leaves in OUTDIR
#   vantor-VERSION/              the release's files: vantor.exe,
#                                vantor.sample.ini, admin-guide.md (its version
#                                line filled in), images/ and policy/ (the
#                                Group Policy template vantor.admx and
#                                en-US/vantor.adml)
#   vantor-VERSION-win32.zip     that folder, zipped (not with --msi-only)
#   vantor-VERSION-win32.msi     the Windows Installer package (vantor.wxs)
#
# `cmake --build --preset win32 --target release` runs it with the version of
# project(VERSION) in CMakeLists.txt. The test command also builds an older
# package with it (--msi-only) to test upgrades.
#
# Signing (Authenticode, osslsigncode): vantor.exe is signed before it is
# packed, the MSI after its last edit. Give either
#   VANTOR_SIGN_CERT and VANTOR_SIGN_KEY        certificate chain and private key, PEM
#                                               (VANTOR_SIGN_PASSWORD if the key is encrypted)
#   VANTOR_SIGN_PKCS12 and VANTOR_SIGN_PASSWORD a PKCS#12 (.pfx) file and its password
# and optionally VANTOR_SIGN_TIMESTAMP_URL, a timestamping service (needs the
# network). Without a certificate the release is built unsigned, and says so.
set -euo pipefail

usage() { echo "usage: $0 VERSION EXE OUTDIR [--msi-only]" >&2; exit 2; }
[ $# -eq 3 ] || [ $# -eq 4 ] || usage
VERSION="$1" EXE="$2" OUT="$3" MSI_ONLY="${4:-}"
[ -z "$MSI_ONLY" ] || [ "$MSI_ONLY" = "--msi-only" ] || usage
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "release: bad version '$VERSION'" >&2; exit 2; }

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
for tool in wixl msibuild msiinfo osslsigncode zip; do
  command -v "$tool" >/dev/null || { echo "release: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
NAME="vantor-$VERSION"
STAGE="$OUT/$NAME"
ZIP="$OUT/$NAME-win32.zip"
MSI="$OUT/$NAME-win32.msi"
WORK="$OUT/.$NAME-work"
rm -rf "$STAGE" "$ZIP" "$MSI" "$WORK"
mkdir -p "$STAGE/images" "$WORK"
trap 'rm -rf "$WORK"' EXIT

# ------------------------------------------------------------------ signing
sign_args=()
if [ -n "${VANTOR_SIGN_PKCS12:-}" ]; then
  [ -n "${VANTOR_SIGN_PASSWORD+set}" ] || { echo "release: VANTOR_SIGN_PKCS12 needs VANTOR_SIGN_PASSWORD" >&2; exit 1; }
  sign_args=(-pkcs12 "$VANTOR_SIGN_PKCS12")
elif [ -n "${VANTOR_SIGN_CERT:-}" ] || [ -n "${VANTOR_SIGN_KEY:-}" ]; then
  [ -n "${VANTOR_SIGN_CERT:-}" ] && [ -n "${VANTOR_SIGN_KEY:-}" ] ||
    { echo "release: give both VANTOR_SIGN_CERT and VANTOR_SIGN_KEY" >&2; exit 1; }
  sign_args=(-certs "$VANTOR_SIGN_CERT" -key "$VANTOR_SIGN_KEY")
fi
if [ ${#sign_args[@]} -gt 0 ]; then
  if [ -n "${VANTOR_SIGN_PASSWORD:-}" ]; then
    # Through a file, not the command line, where other users could read it.
    (umask 077 && printf '%s' "$VANTOR_SIGN_PASSWORD" > "$WORK/password")
    sign_args+=(-readpass "$WORK/password")
  fi
  if [ -n "${VANTOR_SIGN_TIMESTAMP_URL:-}" ]; then sign_args+=(-ts "$VANTOR_SIGN_TIMESTAMP_URL"); fi
  echo "release: signing with ${VANTOR_SIGN_PKCS12:-$VANTOR_SIGN_CERT}"
else
  echo "release: NOT SIGNED: no certificate given (set VANTOR_SIGN_CERT and VANTOR_SIGN_KEY," \
       "or VANTOR_SIGN_PKCS12 and VANTOR_SIGN_PASSWORD); vantor.exe and the MSI of $VERSION are unsigned"
fi

# sign FILE: signs FILE in place, or leaves it alone when no certificate is given.
sign() {
  [ ${#sign_args[@]} -gt 0 ] || return 0
  osslsigncode sign "${sign_args[@]}" -h sha256 -n "Priority - Tarvel Connector" \
    -in "$1" -out "$WORK/signed" >/dev/null
  mv "$WORK/signed" "$1"
  echo "release: signed $(basename "$1")"
}

# ------------------------------------------------------------ the files
cp "$EXE" "$STAGE/vantor.exe"
sign "$STAGE/vantor.exe"
cp "$ROOT/docs/vantor.sample.ini" "$STAGE/"
cp "$ROOT/docs/images/"*.png "$STAGE/images/"
mkdir -p "$STAGE/policy/en-US"
cp "$ROOT/packaging/vantor.admx" "$STAGE/policy/"
cp "$ROOT/packaging/en-US/vantor.adml" "$STAGE/policy/en-US/"
# The guide's version line, "Version: ..." under its title, names this release.
awk -v version="$VERSION" '
  !done && /^Version: / { print "Version " version " (`vantor.exe`)"; done = 1; next }
  { print }
  END { if (!done) exit 1 }' "$ROOT/docs/admin-guide.md" > "$STAGE/admin-guide.md" ||
  { echo "release: docs/admin-guide.md has no \"Version: \" line to fill in" >&2; exit 1; }

if [ -z "$MSI_ONLY" ]; then
  (cd "$OUT" && zip -qrX "$ZIP" "$NAME")
  echo "release: $ZIP"
fi

# ------------------------------------------------------------------ the MSI
# (wixl takes only relative source paths: it runs in OUT.)
cp "$ROOT/res/vantor.ico" "$WORK/"
(cd "$OUT" && wixl -a x86 -D Version="$VERSION" -D Stage="$NAME" -D Icon=".$NAME-work/vantor.ico" \
   -o "$WORK/package.msi" "$ROOT/packaging/vantor.wxs")

# What wixl cannot say in the source:
msi() { msibuild "$WORK/package.msi" -q "$1"; }
# vantor.ini: msidbComponentAttributesPermanent (16) | NeverOverwrite (128).
# Removal and upgrades leave it; an existing file is never replaced.
[ "$(msiinfo export "$WORK/package.msi" Component | tr -d '\r' | awk -F'\t' '$1 == "Settings" { print $4 }')" = 0 ] ||
  { echo "release: unexpected attributes of the Settings component" >&2; exit 1; }
msi "UPDATE \`Component\` SET \`Attributes\` = 144 WHERE \`Component\` = 'Settings'"
# Its access: the rights the folder gives, and users may read and write this
# one file (not delete it, nor anything else). Applied by Windows Installer
# 5 and later when it installs the file; Wine's (4.5) ignores the table.
msi "CREATE TABLE \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\` CHAR(72) NOT NULL, \`LockObject\` CHAR(72) NOT NULL, \`Table\` CHAR(32) NOT NULL, \`SDDLText\` LONGCHAR NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`MsiLockPermissionsEx\`)"
msi "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('UsersChangeSettings', 'VantorIni', 'File', 'D:AI(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFW;;;BU)')"
# The program's file version (wixl leaves it empty).
msi "UPDATE \`File\` SET \`Version\` = '$VERSION', \`Language\` = '1033' WHERE \`File\` = 'VantorExe'"
# The event source: EventMessageFile an expandable string (REG_EXPAND_SZ,
# "#%" in the Registry table), as Windows' own sources write it; and the
# whole key removed on uninstall ("-" as the name).
event_key='SYSTEM\CurrentControlSet\Services\EventLog\Application\Vantor Connector'
msi "UPDATE \`Registry\` SET \`Value\` = '#%[INSTALLDIR]vantor.exe' WHERE \`Component_\` = 'EventSource' AND \`Name\` = 'EventMessageFile'"
msi "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`) VALUES ('EventSourceKey', 2, '$event_key', '-', 'EventSource')"
# A package of the same first three version fields replaces the installed one
# (msidbUpgradeAttributesVersionMaxInclusive, 512) instead of installing
# beside it: the product code is new for every build.
# (Attributes is part of the table's key: the row is replaced.)
upgrade_code="$(msiinfo export "$WORK/package.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "UpgradeCode" { print $2 }')"
[[ "$upgrade_code" =~ ^\{[0-9A-F-]{36}\}$ ]] || { echo "release: no UpgradeCode in the package" >&2; exit 1; }
msi "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
msi "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$VERSION', 513, 'WIX_UPGRADE_DETECTED')"

sign "$WORK/package.msi"
mv "$WORK/package.msi" "$MSI"
echo "release: $MSI"
