#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks the installed layout.
# Usage: check_install.sh BUILD_DIR APP_ID PROGRAM_DIR app|no-app man|no-man
# Needs neither root nor the network. Prints one line per failed check and a summary; exits 1
# when any check failed.
set -uo pipefail

build=$1 app_id=$2 program_dir=$3 with_app=$4 with_man=$5
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() {
    failed=$((failed + 1))
    echo "FAIL: $*"
}
check() {  # check DESCRIPTION COMMAND...: passes when COMMAND succeeds; shows its output if not
    local what=$1 out
    shift
    if out=$("$@" 2>&1); then
        pass
    else
        fail "$what"
        [ -z "$out" ] || sed 's/^/    /' <<<"$out"
    fi
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "FAIL: cmake --install failed"
    exit 1
fi
rm -f "$prefix.log"

programs="$prefix/$program_dir"
commands=(tarnel classify)
[ "$with_app" = app ] && commands+=(classifiers)

# The programs side by side in one folder; the development front end nowhere.
for p in tarnel classify; do
    check "$program_dir/$p is an executable file" test -f "$programs/$p" -a -x "$programs/$p"
done
if [ "$with_app" = app ]; then
    check "$program_dir/Classifiers is an executable file" \
        test -f "$programs/Classifiers" -a -x "$programs/Classifiers"
fi
stray=$(find "$prefix" \( -name Classifier -o -name debug \) -print)
check "Classifier and debug/ are not installed (found: $stray)" test -z "$stray"

# Each command is a link that resolves into the program folder, so a program started through it
# sees that folder as its own.
for c in "${commands[@]}"; do
    link="$prefix/bin/$c"
    target=$(readlink -f "$link" 2>/dev/null)
    case $c in classifiers) want="$programs/Classifiers" ;; *) want="$programs/$c" ;; esac
    check "bin/$c is a link to $want (resolves to '$target')" \
        test -L "$link" -a "$target" = "$(readlink -f "$want")"
done

# The installed classifiers run through their commands: a report beside the data, and the
# error path's exit status and first line.
work="$prefix/work"
mkdir -p "$work"
printf 'sunny,hot,no\nsunny,mild,no\nrainy,mild,yes\novercast,hot,yes\nrainy,cool,yes\n' \
    >"$work/tiny.data"
for c in tarnel classify; do
    case $c in tarnel) suffix=_interval ;; classify) suffix=_bayes ;; esac
    version=$("$prefix/bin/$c" --version 2>&1)
    check "$c --version prints '$c 1.00' (got '$version')" test "$version" = "$c 1.00"
    "$prefix/bin/$c" "$work/tiny" 100 >/dev/null 2>&1
    status=$?
    check "$c on a small data set exits 0 (got $status)" test "$status" -eq 0
    check "$c writes its report with an Accuracy line" \
        grep -q '^Accuracy: ' "$work/tiny$suffix.output"
    "$prefix/bin/$c" "$work/missing" 50 >/dev/null 2>&1
    status=$?
    check "$c on a missing file exits 1 (got $status)" test "$status" -eq 1
    check "$c's error report starts with 'Error: '" \
        grep -q '^Error: ' "$work/missing$suffix.output"
done

if [ "$with_app" = app ]; then
    desktop="$prefix/share/applications/$app_id.desktop"
    icon="$prefix/share/icons/hicolor/scalable/apps/$app_id.svg"
    metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
    check "the desktop entry $app_id.desktop is installed" test -f "$desktop"
    check "the desktop entry starts the classifiers command" grep -qx 'Exec=classifiers' "$desktop"
    check "the desktop entry names the icon $app_id" grep -qx "Icon=$app_id" "$desktop"
    check "the desktop entry is in Science and Education" \
        grep -qE '^Categories=(.*;)?Education;(.*;)?Science;' "$desktop"
    if command -v desktop-file-validate >/dev/null; then
        check "desktop-file-validate accepts the desktop entry" desktop-file-validate "$desktop"
    else
        echo "note: desktop-file-validate not installed; the desktop entry is not validated"
    fi
    check "the icon is an SVG image" grep -q '<svg' "$icon"
    check "the metainfo names the desktop entry" \
        grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo"
    if command -v appstreamcli >/dev/null; then
        check "appstreamcli validates the metainfo" \
            appstreamcli validate --no-net --no-color "$metainfo"
    else
        echo "note: appstreamcli not installed; the metainfo is not validated"
    fi
fi

# Manual pages: installed, readable, and listing every option that --help lists.
pages=()
[ "$with_man" = man ] && pages+=(tarnel classify)
[ "$with_app" = app ] && pages+=(classifiers)
for p in "${pages[@]}"; do
    page="$prefix/share/man/man1/$p.1.gz"
    check "the manual page $p.1.gz is installed and intact" gzip -t "$page"
    text=$(zcat "$page" 2>/dev/null)
    check "the manual page of $p has a NAME section" grep -q '^\.SH NAME' <<<"$text"
    if command -v man >/dev/null; then
        rendered=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        check "man renders $p.1.gz without warnings ($rendered)" test -z "$rendered"
    fi
    [ "$p" = classifiers ] && continue
    for section in OPTIONS "INPUT FILES" REPORT "EXIT STATUS"; do
        check "the manual page of $p has the section $section" grep -q "^\.SH \"\?$section" <<<"$text"
    done
    for option in $("$programs/$p" --help | grep -oE '^  --[a-z-]+'); do
        check "the manual page of $p documents $option" \
            grep -qF "\\fB$(sed 's/-/\\-/g' <<<"$option")\\fR" <<<"$text"
    done
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
