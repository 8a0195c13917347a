#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack, checked by lintian
# and desktop-file-validate, unpacked into a temporary root and run there with
# HOME and the XDG folders in a temporary folder.
# Usage: package_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
source "$(dirname "$0")/../support/checks.sh"
mode() { stat -c %a "$1" 2>/dev/null; }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAILED: cpack -G DEB"
    exit 1
fi
deb=$work/out/orvex_${version}_amd64.deb
check "package named by the version" test -f "$deb"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libsqlite3-0 libcpp-httplib qt6-qpa-plugins; do
    check "depends on $needed" grep -q "$needed" <<<"$depends"
done
check "section devel" test "$(dpkg-deb -f "$deb" Section)" = devel
check "maintainer set" grep -q '@' <<<"$(dpkg-deb -f "$deb" Maintainer)"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
check "lintian finds no error" test $? -eq 0
cat "$work/lintian.log"

root=$work/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin
for file in bin/orvex bin/orvex-cli bin/orvex-sandbox share/applications/orvex.desktop \
            share/icons/hicolor/scalable/apps/orvex.svg share/man/man1/orvex.1.gz share/man/man1/orvex-cli.1.gz \
            share/man/man1/orvex-sandbox.1.gz share/doc/orvex/README.md share/doc/orvex/examples/flights_by_carrier.json; do
    check "installs $file" test -f "$root/usr/$file"
done
check "desktop entry is valid" desktop-file-validate "$root/usr/share/applications/orvex.desktop"
for program in orvex orvex-cli orvex-sandbox; do
    check "$program --version" test "$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$program" --version)" = "$program $version"
done

# A user's first start: settings and sandbox land in the XDG folders, private.
run() {  # HOME XDG_CONFIG_HOME XDG_DATA_HOME, then the command
    local home=$1 config=$2 data=$3
    shift 3
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" ${config:+XDG_CONFIG_HOME=$config} \
        ${data:+XDG_DATA_HOME=$data} "$@"
}
user=(
    "$work/home" "$work/config" "$work/data"
)
examples=$root/usr/share/doc/orvex/examples
run "${user[@]}" "$bin/orvex-cli" tables 'SF*' >"$work/tables.out" 2>&1
check "tables on the sandbox" grep -qx 'SFLIGHT' "$work/tables.out"
check "settings file created 0600" test "$(mode "$work/config/orvex/Quaylin.ini")" = 600
check "settings folder created 0700" test "$(mode "$work/config/orvex")" = 700
check "sandbox created 0600" test "$(mode "$work/data/orvex/orvex-sandbox.db")" = 600
check "sandbox folder created 0700" test "$(mode "$work/data/orvex")" = 700
check "sandbox settings written" grep -qx 'AppSer=sandbox' "$work/config/orvex/Quaylin.ini"
run "${user[@]}" "$bin/orvex-cli" install "$examples/flights_by_carrier.json" >"$work/install.out" 2>&1
check "install of an example" test $? -eq 0
run "${user[@]}" "$bin/orvex-sandbox" show ZFLIGHTS_BY_CARRIER >"$work/show.out" 2>&1
check "installed program in the sandbox" grep -qx 'Report ZFLIGHTS_BY_CARRIER.' "$work/show.out"
check "installed program active" grep -qx 'Status: *active' "$work/show.out"
check "nothing written beside the programs" test "$(ls "$bin" | tr '\n' ' ')" = "orvex orvex-cli orvex-sandbox "
check "home left alone" test ! -e "$work/home"

# Without XDG variables the folders default to the home folder.
run "$work/home2" "" "" "$bin/orvex-cli" tables 'SF*' >/dev/null 2>&1
check "default config folder" test -f "$work/home2/.config/orvex/Quaylin.ini"
check "default data folder" test -f "$work/home2/.local/share/orvex/orvex-sandbox.db"

# A settings file beside the program (a portable install) is used instead,
# and the sandbox goes beside it too.
cp "$work/config/orvex/Quaylin.ini" "$bin/Quaylin.ini"
run "$work/home3" "$work/config3" "$work/data3" "$bin/orvex-cli" tables 'SF*' >/dev/null 2>&1
check "portable install works" test $? -eq 0
check "portable install writes no user settings" test ! -e "$work/config3"
check "portable install keeps the sandbox beside" test -f "$bin/orvex-sandbox.db"

finish
