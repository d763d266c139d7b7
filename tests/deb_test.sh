#!/usr/bin/env bash
# The Debian package unpacked into a scratch root: its tool runs and makes a round trip, and the manual page
# and completion are where man and bash look. Lintian, where installed, has the last word.
set -euo pipefail
deb=$(realpath "$1") root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root" && cd "$root/usr"
bin/zarnocrypt --version
marked=$(printf 'round trip' | ZARNOCRYPT_KEY=k bin/zarnocrypt encrypt)
text=$(printf '%s\n' "$marked" | ZARNOCRYPT_KEY=k bin/zarnocrypt decrypt --strict)
[[ $marked == "[ZQV]X"* && $text == "round trip" ]] || { echo "deb: round trip: $marked, $text" >&2; exit 1; }
sealed=$(printf 'sealed' | ZARNOCRYPT_KEY=k bin/zarnocrypt encrypt-bytes --sealed | ZARNOCRYPT_KEY=k bin/zarnocrypt decrypt-bytes)
[ "$sealed" = sealed ] || { echo "deb: sealed round trip: $sealed" >&2; exit 1; }
warnings=$(zcat share/man/man1/zarnocrypt.1.gz | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || { echo "deb: manual page: $warnings" >&2; exit 1; }
bash -c '. share/bash-completion/completions/zarnocrypt; COMP_WORDS=(zarnocrypt rek) COMP_CWORD=1; _zarnocrypt
         [ "${COMPREPLY[*]}" = rekey ]' || { echo "deb: no completion" >&2; exit 1; }
! command -v lintian >/dev/null || lintian --fail-on error,warning "$deb" 2>/dev/null
echo "deb: $deb installs and runs"
