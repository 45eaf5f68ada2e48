#!/bin/sh
# man.sh PROGRAM VERSION INCLUDE OUTPUT
# Writes OUTPUT (a manual page) and OUTPUT.gz from PROGRAM's --help through help2man, with the
# sections of the INCLUDE file. For ventaro-cli, the COMMANDS section is made from each
# command's own help, so an option added to a command is in the page at the next build, and
# the help's "Exit codes:" list becomes the EXIT STATUS section man readers look for.
set -eu
program=$1
version=$2
include=$3
out=$4
name=$(basename "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Troff for one line of help text: backslashes and hyphens escaped, option names bold, and a
# leading dot or quote kept from being read as a request.
cat >"$work/troff.awk" <<'EOF'
function esc(s) {
    gsub(/\\/, "\\\\e", s)
    gsub(/-/, "\\-", s)
    return s
}
function text(s,    out) {
    out = ""
    while (match(s, /--[a-z][a-z0-9-]*/)) {
        out = out esc(substr(s, 1, RSTART - 1)) "\\fB" esc(substr(s, RSTART, RLENGTH)) "\\fR"
        s = substr(s, RSTART + RLENGTH)
    }
    out = out esc(s)
    if (out ~ /^[.']/)
        out = "\\&" out
    return out
}
# "-h, --help" or "--port <PORT>" as a .TP tag.
function tag(names,    n, alts, i, out, value) {
    n = split(names, alts, ", ")
    out = ""
    for (i = 1; i <= n; ++i) {
        value = ""
        if (match(alts[i], / <.*>$/)) {
            value = substr(alts[i], RSTART + 2, RLENGTH - 3)
            alts[i] = substr(alts[i], 1, RSTART - 1)
        }
        out = out (i > 1 ? ", " : "") "\\fB" esc(alts[i]) "\\fR"
        if (value != "")
            out = out " \\fI" esc(value) "\\fR"
    }
    return out
}
EOF

# One command's help ("Usage:" line, description, "Options:", "Exit codes:") as a subsection.
# The options every command takes are in the page once, under DESCRIPTION.
cat >"$work/command.awk" <<'EOF'
function flush() {
    if (names != "" && names !~ /^(--port <PORT>|--verbose|-h, --help)$/)
        printf ".TP\n%s\n%s\n", tag(names), text(help)
    names = ""
}
NR == 1 {
    sub(/^Usage: /, "")
    printf ".SS \"%s\"\n", esc($0)
    next
}
state == 0 && /^Options:$/ { state = 1; next }
state == 0 && $0 != "" { print text($0); next }
state == 1 && /^$/ { flush(); state = 2; next }
state == 1 && /^  -/ {
    flush()
    line = substr($0, 3)
    gap = index(line, "  ")
    names = substr(line, 1, gap - 1)
    help = substr(line, gap)
    sub(/^ +/, "", help)
    next
}
state == 1 { sub(/^ +/, ""); help = help " " $0; next }
END { flush() }
EOF

cp "$include" "$work/include.h2m"
if [ "$name" = ventaro-cli ]; then
    commands=$("$program" --help |
                   awk '/^Commands:$/ { on = 1; next } on && /^$/ { exit } on { print $1 }')
    [ -n "$commands" ] || { echo "man.sh: no commands in $name --help" >&2; exit 1; }
    {
        printf '\n[COMMANDS]\n'
        for command in $commands; do
            "$program" help "$command" | awk -f "$work/troff.awk" -f "$work/command.awk"
        done
    } >>"$work/include.h2m"
fi

help2man --no-info --version-string="$version" --include="$work/include.h2m" \
    --output="$work/page.1" "$program"

# The help's exit-code list (the last subsection of DESCRIPTION) becomes EXIT STATUS, before
# ENVIRONMENT.
awk '
    /^\.SS "Exit codes:"$/ { moving = 1; next }
    moving && /^\.S[HS] / { moving = 0 }
    moving { codes = codes $0 "\n"; next }
    { lines[++n] = $0 }
    END {
        for (i = 1; i <= n; ++i) {
            if (codes != "" && lines[i] == ".SH ENVIRONMENT") {
                printf ".SH \"EXIT STATUS\"\n%s", codes
                codes = ""
            }
            print lines[i]
        }
        if (codes != "") {
            print "man.sh: no ENVIRONMENT section to put EXIT STATUS before" > "/dev/stderr"
            exit 1
        }
    }' "$work/page.1" >"$work/moved.1"

mv "$work/moved.1" "$out"
# -n: no name or time stamp in the archive, so the same page gives the same bytes.
gzip -9n <"$out" >"$out.gz"
