#!/usr/bin/env bash
# The Debian packages scripts/package makes, checked without installing them:
# each holds exactly its files, lintian finds no error and no warning but the
# one the README keeps, the menu entry and the metadata are valid. Unpacked
# into a folder of the test's own, they run where they lie:
#   - the launcher started in an empty folder plays the demo pack, and one
#     started in a folder holding a pack plays that pack: the level it unpacks
#     is the pack's, the window is the launcher's own process (the engine took
#     its place), SIGTERM ends the run with status 0 and the folder is as it was;
#   - that pack is made there by the unpacked orvtool, which finds the demo's
#     sound and music beside itself;
#   - the editor set-up writes the editor's configuration, the textures and
#     the compilation profiles, whose "Pack and play" builds a pack that the
#     launcher plays by its path.
#
#   packages.sh SOURCE_DIR CHECK
set -u
source_dir=$1
check=$2
. "$(dirname "$0")/lib.sh"

e2e_begin
"$source_dir/scripts/package" >"$E2E_DIR/debs" 2>"$E2E_DIR/package.log" ||
  e2e_fail "scripts/package failed: $(tail -n 20 "$E2E_DIR/package.log")"
mapfile -t debs <"$E2E_DIR/debs"
arch=$(dpkg --print-architecture)
version=0.0.0.7
for deb in orvanthelix_${version}_$arch orvanthelix-data_${version}_all orvanthelix-tools_${version}_$arch; do
  printf '%s\n' "${debs[@]}" | grep -qx ".*/$deb.deb" || e2e_fail "$deb.deb not among: ${debs[*]}"
done
[ ${#debs[@]} = 3 ] || e2e_fail "more packages than three: ${debs[*]}"
deb() { printf '%s\n' "${debs[@]}" | grep "/$1_"; }

# Every file and link of a package, links with their targets.
contents() {
  dpkg-deb -c "$(deb "$1")" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 ($7 == "->" ? " -> " $8 : "") }' | sort
}
expect_contents() {  # PACKAGE, then the expected listing on stdin
  local expected
  expected=$(sort)
  [ "$(contents "$1")" = "$expected" ] || e2e_fail "$1 holds other files:
$(diff <(echo "$expected") <(contents "$1"))"
}
docs() { printf '/usr/share/doc/%s/changelog.gz\n/usr/share/doc/%s/copyright\n' "$1" "$1"; }
expect_contents orvanthelix <<EOF
/usr/bin/orvanthelix -> ../games/orvanthelix
/usr/games/orvanthelix
/usr/lib/games/orvanthelix/orvanthelix
/usr/share/applications/invalid.orvanthelix.Orvanthelix.desktop
/usr/share/man/man6/orvanthelix.6.gz
/usr/share/metainfo/invalid.orvanthelix.Orvanthelix.metainfo.xml
$(docs orvanthelix)
EOF
expect_contents orvanthelix-data <<EOF
/usr/share/games/orvanthelix/Orvanthelix.zar
$(for size in 16 24 32 48 64 128 256; do echo "/usr/share/icons/hicolor/${size}x$size/apps/orvanthelix.png"; done)
$(docs orvanthelix-data)
EOF
expect_contents orvanthelix-tools <<EOF
/usr/bin/orvanthelix-editor-setup
/usr/bin/orvtool -> ../lib/orvanthelix/orvtool
/usr/lib/orvanthelix/Orvanthelix.zar -> ../../share/games/orvanthelix/Orvanthelix.zar
/usr/lib/orvanthelix/orvtool
/usr/share/man/man1/orvanthelix-editor-setup.1.gz
/usr/share/man/man1/orvtool.1.gz
$(cd "$source_dir/tools/editor" && for file in *; do echo "/usr/share/orvanthelix/editor/$file"; done)
$(docs orvanthelix-tools)
EOF

dpkg-deb -f "$(deb orvanthelix)" Depends | grep -q "orvanthelix-data (= $version),.*libsdl2" ||
  e2e_fail "orvanthelix depends on: $(dpkg-deb -f "$(deb orvanthelix)" Depends)"

# Kept, as the README says why: the launcher's link in /usr/bin.
lintian "${debs[@]}" >"$E2E_DIR/lintian.log" 2>&1
grep -E '^[EW]: ' "$E2E_DIR/lintian.log" | grep -vx 'W: orvanthelix: package-section-games-but-has-usr-bin' &&
  e2e_fail "lintian: $(cat "$E2E_DIR/lintian.log")"

packages=$E2E_DIR/root
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$packages"; done
desktop-file-validate "$packages"/usr/share/applications/*.desktop || e2e_fail "the menu entry is not valid"
appstreamcli validate --no-net "$packages"/usr/share/metainfo/*.xml >"$E2E_DIR/appstream.log" 2>&1 ||
  e2e_fail "the metadata is not valid: $(cat "$E2E_DIR/appstream.log")"
for package in orvanthelix orvanthelix-data orvanthelix-tools; do
  grep -qx 'License: Expat' "$packages/usr/share/doc/$package/copyright" ||
    e2e_fail "$package's copyright file does not name the MIT (Expat) licence"
done
grep -q '<project_license>MIT</project_license>' "$packages"/usr/share/metainfo/*.xml ||
  e2e_fail "the metadata names no MIT project licence"
orvtool=$packages/usr/bin/orvtool

# plays NAME PACK [--overlay|"" [ARGUMENT]]: the launcher, started in
# E2E_START with the ARGUMENT given, plays PACK (the overlay's texts are looked
# for on the demo only: the placeholder textures of a pack made without
# textures leave them unreadable) and ends on SIGTERM, leaving nothing behind
# once its watcher has removed the folder of a pack given by its path.
plays() {
  local name=$1 pack=$2 overlay=${3:-} pid
  shift $(($# < 3 ? $# : 3))
  e2e_start "$name" SDL_AUDIODRIVER=dummy "$packages/usr/games/orvanthelix" "$@"
  pid=$E2E_PID
  e2e_window "$pid" >/dev/null || exit 1
  e2e_await_level "$check" "$E2E_DIR/$name.ppm" $overlay
  "$orvtool" pack extract "$pack" LEVELTEST "$E2E_DIR/$name.bsp" || e2e_fail "no level in $pack"
  cmp -s "$E2E_DIR/$name.bsp" "$E2E_TMP"/orvanthelix-??????/test.bsp || e2e_fail "$name: the level shown is not that of $pack"
  kill -TERM "$pid"
  e2e_wait_end "$pid" 2
  for _ in $(seq 30); do
    [ -z "$(ls -A "$E2E_TMP")" ] && break
    sleep 0.1
  done
  e2e_expect_orderly_end
}
plays demo "$packages/usr/share/games/orvanthelix/Orvanthelix.zar" --overlay

# A start folder holding a pack of the user's own (the start directory's
# listing is taken again for the orderly-end check).
E2E_START=$E2E_DIR/own
mkdir "$E2E_START"
"$orvtool" pack build "$source_dir/tests/compiler/maps/two-rooms.map" -o "$E2E_START/Orvanthelix.zar" \
  >"$E2E_DIR/pack-build.log" 2>&1 || e2e_fail "orvtool pack build: $(cat "$E2E_DIR/pack-build.log")"
e2e_start_listing=$(e2e_listing)
plays own "$E2E_START/Orvanthelix.zar"

"$packages/usr/bin/orvanthelix-editor-setup" "$E2E_DIR/game" "$E2E_DIR/games" >"$E2E_DIR/editor.log" 2>&1 ||
  e2e_fail "the editor set-up failed: $(cat "$E2E_DIR/editor.log")"
for file in "$source_dir"/tools/editor/*; do
  case $file in */setup-* | */GameConfig-2024.1.cfg) continue ;; esac
  cmp -s "$file" "$E2E_DIR/games/Orvanthelix/$(basename "$file")" || e2e_fail "the editor set-up left out $file"
done
textures=$(find "$E2E_DIR/game/orvanthelix/textures/engine" -name '*.bmp' | wc -l)
[ "$textures" = 15 ] || e2e_fail "the editor set-up wrote $textures textures, not 15"
# Run again over profiles a designer edited, it keeps theirs beside its own.
profiles=$E2E_DIR/games/Orvanthelix/CompilationProfiles.cfg
echo '{ "version": 1, "profiles": [] }' >"$profiles"
"$packages/usr/bin/orvanthelix-editor-setup" "$E2E_DIR/game" "$E2E_DIR/games" >>"$E2E_DIR/editor.log" 2>&1 ||
  e2e_fail "the editor set-up failed again: $(cat "$E2E_DIR/editor.log")"
[ "$(cat "$profiles.bak")" = '{ "version": 1, "profiles": [] }' ] || e2e_fail "the designer's profiles were not kept"

# The editor's "Pack and play" profile, its tasks run as the editor runs them
# (its variables and quotes as the shell's) on a map saved as maps/rooms.map:
# the installed orvtool writes maps/rooms.zar, which the launcher, started in
# a folder without a pack, plays by its path.
profile=$(sed -n '/"name": "Pack and play"/,/^    }/p' "$profiles" |
  grep '"type": "tool"')
[ "$(wc -l <<<"$profile")" = 2 ] || e2e_fail "no \"Pack and play\" profile of two tasks: $profile"
tool() { sed -n "$1"'{s/.*"tool": "\([^"]*\)".*/\1/p}' <<<"$profile"; }
parameters() { sed -n "$1"'{s/.*"parameters": "\(.*\)", "treat.*/\1/;s/\\"/"/gp}' <<<"$profile"; }
[ "$(tool 1)" = "$(readlink -f "$orvtool")" ] && [ "$(tool 2)" = "$packages/usr/games/orvanthelix" ] ||
  e2e_fail "the profile runs $(tool 1) and $(tool 2)"
mkdir "$E2E_DIR/maps"
cp "$source_dir/tests/compiler/maps/two-rooms.map" "$E2E_DIR/maps/rooms.map"
MAP_DIR_PATH=$E2E_DIR/maps MAP_FULL_NAME=rooms.map MAP_BASE_NAME=rooms
eval "\"$(tool 1)\" $(parameters 1)" >"$E2E_DIR/profile.log" 2>&1 ||
  e2e_fail "the profile's pack build: $(cat "$E2E_DIR/profile.log")"
eval "set -- $(parameters 2)"
[ "$1" = "$E2E_DIR/maps/rooms.zar" ] || e2e_fail "the profile plays '$1'"
E2E_START=$E2E_DIR/elsewhere
mkdir "$E2E_START"
e2e_start_listing=$(e2e_listing)
plays by-path "$1" "" "$1"

e2e_pass "three packages with their files, lintian clean; unpacked, the launcher played the demo and a pack of orvtool's; the editor set up, and its profile's pack played by its path"
