#!/usr/bin/env bash
# Installs a build tree (default build/) into a scratch prefix and checks what a desktop expects
# there: both programs, the help pages, the desktop entry, the icons and the AppStream file.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$tree" --prefix "$prefix" >/dev/null
failed=0
for f in bin/lumavex bin/lumavex-fx share/lumavex/help/index.html \
         share/applications/lumavex.desktop \
         share/icons/hicolor/scalable/apps/lumavex.svg \
         share/icons/hicolor/48x48/apps/lumavex.png \
         share/metainfo/io.github.lumavex.Lumavex.metainfo.xml \
         share/man/man1/lumavex.1 share/man/man1/lumavex-fx.1 share/man/ja/man1/lumavex-fx.1 \
         share/bash-completion/completions/lumavex-fx \
         share/locale/en/LC_MESSAGES/lumavex-fx.mo \
         lib/lumavex/plugins/netpbm.spi include/lumavex/spi.h; do
    if [ ! -e "$prefix/$f" ]; then
        echo "not installed: $f" >&2
        failed=1
    fi
done
[ "$failed" -eq 0 ] || exit 1
desktop-file-validate "$prefix/share/applications/lumavex.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.lumavex.Lumavex.metainfo.xml"
version=$(sed -n 's/^project(Lumavex VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
grep -q "version=\"$version\"" "$prefix/share/metainfo/io.github.lumavex.Lumavex.metainfo.xml"
[ "$("$prefix/bin/lumavex-fx" --version)" = "lumavex-fx $version" ]
# The manual page names every command, and completion offers them.
for command in $("$prefix/bin/lumavex-fx" --list-commands | grep -v '^-'); do
    grep -q "^\.SS $(echo "$command" | sed 's/-/\\\\-/g')\$" "$prefix/share/man/man1/lumavex-fx.1" ||
        { echo "the manual page lacks $command" >&2; exit 1; }
done
(
    PATH="$prefix/bin:$PATH"
    source "$prefix/share/bash-completion/completions/lumavex-fx"
    COMP_WORDS=(lumavex-fx ad); COMP_CWORD=1; _lumavex_fx
    [ "${COMPREPLY[*]}" = "add-shadow add-shadow-soft" ] || { echo "completion: ${COMPREPLY[*]}" >&2; exit 1; }
    COMP_WORDS=(lumavex-fx run --fa); COMP_CWORD=2; _lumavex_fx
    [ "${COMPREPLY[*]}" = "--fail-fast" ] || { echo "completion: ${COMPREPLY[*]}" >&2; exit 1; }
)
# Installed, the tool reads Netpbm pictures through the sample plug-in.
printf 'P6 1 1 255\n\012\024\036' >"$prefix/in.ppm"
[ "$("$prefix/bin/lumavex-fx" num-colors "$prefix/in.ppm")" = "ColorCount=1" ] ||
    { echo "the installed sample plug-in does not read in.ppm" >&2; exit 1; }
# Installed, the tool finds its English messages.
LC_ALL=C "$prefix/bin/lumavex-fx" --help | grep -q '^Usage: lumavex-fx'
echo "installed files complete (version $version)"
