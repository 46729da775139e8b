#!/usr/bin/env bash
# Starts the installed `classifiers` command on an X display (run it under xvfb-run), checks that
# the window appears, runs each classifier from it on a copy of an example data set through real
# mouse clicks and keys, and checks that the window shows the report the classifier wrote.
# Usage: check_window.sh EXAMPLES_DIR SCREENSHOT_DIR
# Needs xdotool, xclip and, for screenshots, ImageMagick's import. Prints one line per check and
# a summary; exits 1 when any check failed.
set -uo pipefail

examples=$1 shots=$2
mkdir -p "$shots"
work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
ok() {
    passed=$((passed + 1))
    echo "ok: $*"
}
bad() {
    failed=$((failed + 1))
    echo "FAIL: $*"
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}
shot() { command -v import >/dev/null && import -window root "$shots/$1.png" 2>/dev/null; }

# Where the window's controls are, in pixels from its top left corner.
click() {  # click X Y
    xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep 0.3
}
input_file=(144 176)
run=(328 176)
exit_button=(530 177)
combo=(390 75)
view=(326 341)

cp "$examples/iris.data" "$examples/iris.names" "$work/"
cd "$work" || exit 1

command -v classifiers >/dev/null && ok "classifiers is on the PATH ($(command -v classifiers))" ||
    bad "classifiers is not on the PATH"
classifiers >"$work/classifiers.log" 2>&1 &
pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Data Mining$' 2>/dev/null | head -1)
if [ -z "$window" ]; then
    bad "no window titled 'Data Mining' appeared within 20 s"
    cat "$work/classifiers.log"
    finish
fi
ok "the window appeared (class $(xprop -id "$window" WM_CLASS | cut -d= -f2))"
sleep 1
shot window

# Each classifier in turn: pick the data file, pick the classifier, Run, and read the view.
for choice in "Interval Classifier:_interval" "Naive Bayesian Classifier:_bayes"; do
    name=${choice%%:*} suffix=${choice##*:}
    report="$work/iris$suffix.output"

    click "${input_file[@]}"
    dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '.' 2>/dev/null |
        grep -vx "$window" | head -1)
    if [ -z "$dialog" ]; then
        bad "$name: Input File opened no dialog"
        continue
    fi
    # The file name field has the focus when the dialog opens. Its completion list may open as
    # the name is typed; Escape closes the list (not the dialog) before Return opens the file.
    xdotool type --delay 20 "$work/iris.data"
    sleep 0.5
    if xwininfo -root -children | grep -q '^ *0x[0-9a-f]* "Classifiers":'; then
        xdotool key Escape
        sleep 0.3
    fi
    xdotool key Return
    sleep 1

    click "${combo[@]}"
    xdotool key ctrl+a
    xdotool type --delay 20 "$name"
    sleep 0.3

    click "${run[@]}"
    for _ in $(seq 1 50); do
        [ -s "$report" ] && break
        sleep 0.2
    done
    if [ -s "$report" ]; then
        ok "$name: the classifier wrote $(basename "$report")"
    else
        bad "$name: no report after Run"
        continue
    fi
    if grep -q '^Accuracy: ' "$report"; then
        ok "$name: $(grep '^Accuracy: ' "$report")"
    else
        bad "$name: the report has no Accuracy line: $(head -1 "$report")"
    fi

    # The view loads the report after the three-second wait; copy what it shows.
    sleep 4
    shown=""
    for _ in 1 2 3 4 5; do
        click "${view[@]}"
        xdotool key ctrl+a ctrl+c
        sleep 0.3
        shown=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
        [ -n "$shown" ] && break
        sleep 1
    done
    if [ "$shown" = "$(cat "$report")" ]; then
        ok "$name: the window shows the whole report ($(wc -l <"$report") lines)"
    else
        bad "$name: the window does not show the report; it shows:"
        head -5 <<<"$shown"
    fi
    shot "report$suffix"
done

# Exit closes the window and ends the program.
click "${exit_button[@]}"
for _ in $(seq 1 25); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
    bad "the program still runs after Exit"
else
    ok "Exit ended the program"
    pid=""
fi
finish
