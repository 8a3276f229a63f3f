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
         share/metainfo/io.github.lumavex.Lumavex.metainfo.xml; do
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
echo "installed files complete (version $version)"
