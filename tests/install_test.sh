#!/bin/sh
# Installs the build into a temporary prefix, lays out a working directory there with
# tarnell-workdir and runs the installed engine on a bundled example: its report must be the
# one the build's own working directory gives.
# install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
PATH="$tmp/prefix/bin:$PATH"
export PATH

if tarnell-workdir >/dev/null 2>&1; then
    echo "tarnell-workdir without a directory succeeded"; exit 1
fi
tarnell-workdir "$tmp/work dir" >/dev/null
for file in Tarnell.ini BVTable spgra.dat sgtrans.dat KestrinHelp.html; do
    cmp "$tmp/work dir/$file" "$tmp/prefix/share/tarnell/$file"
done

# The same run in the build's working directory, which the end-to-end tests check.
mkdir "$tmp/built"
cp "$build/work/Tarnell.ini" "$build/work/BVTable" "$build/work/spgra.dat" \
   "$build/work/sgtrans.dat" "$tmp/built/"
(cd "$tmp/built" && "$build/work/Tarnell" -b "$source/examples/NaCl.inp" NaCl.out </dev/null >/dev/null)
(cd "$tmp/work dir" && Tarnell -b "$source/examples/NaCl.inp" NaCl.out </dev/null >/dev/null)
cmp "$tmp/built/NaCl.out" "$tmp/work dir/NaCl.out"
grep -q "BVS" "$tmp/work dir/NaCl.out"

# A second layout keeps what the user changed.
echo "; edited" >>"$tmp/work dir/Tarnell.ini"
tarnell-workdir "$tmp/work dir" >/dev/null
grep -q "; edited" "$tmp/work dir/Tarnell.ini"
echo "installed and ran"
