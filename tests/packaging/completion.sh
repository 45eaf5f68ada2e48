#!/usr/bin/env bash
# completion.sh VENTARO_CLI COMPLETION_FILE
# Runs the bash completion of ventaro-cli, as bash-completion loads it, against the built
# program for a table of command lines.
set -uo pipefail
program=$(realpath "$1")
completion=$(realpath "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program is found by name, as it is when installed; each run of it is logged.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>"%s"\nexec "%s" "$@"\n' "$work/runs" "$program" \
    >"$work/bin/ventaro-cli"
chmod +x "$work/bin/ventaro-cli"
export PATH="$work/bin:$PATH"

# A simulated unit's announcement, and one whose pty went away meanwhile.
mkdir "$work/ports" "$work/here"
touch "$work/pts-7"
printf 'port=%s\nvid=0x0409\npid=0x01D9\n' "$work/pts-7" >"$work/ports/devsim.port"
printf 'port = %s\n' "$work/pts-gone" >"$work/ports/old.port"
export VENTARO_PORT_DIR="$work/ports"
touch "$work/here/record.csv"
cd "$work/here"

source /usr/share/bash-completion/bash_completion
source "$completion"
declare -F _ventaro_cli >/dev/null || { echo "FAIL: $completion defines no _ventaro_cli"; exit 1; }

# The completions for LINE (the cursor at its end), sorted, on one line, in `got`; in this
# shell, so the completion's cache of the help texts lasts over the rows as in a user's shell.
# The words are split as bash splits them for a completion function: at blanks, and at = and :
# (words of their own).
complete_line()
{
    local line=$1
    read -ra COMP_WORDS <<<"$(sed 's/[=:]/ & /g' <<<"$line")"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _ventaro_cli ventaro-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//')
}

failed=0
# LINE | the completions expected ("=" all of them, "~" at least these words, "!" none of these)
while IFS='|' read -r line how expected; do
    [[ -z $line || $line == '#'* ]] && continue
    line=${line%"${line##*[! ]}"}
    [[ $line == *'<SP>' ]] && line="${line%<SP>} "
    complete_line "$line"
    ok=1
    case $how in
    =) [[ $got == "$expected" ]] || ok=0 ;;
    '~') for w in $expected; do [[ " $got " == *" $w "* ]] || ok=0; done ;;
    '!') for w in $expected; do [[ " $got " != *" $w "* ]] || ok=0; done ;;
    esac
    if ((ok)); then
        echo "ok   '$line'"
    else
        echo "FAIL '$line': got '$got', wanted $how '$expected'"
        failed=1
    fi
done <<EOF
ventaro-cli<SP>                                  |~|help list identify plan update counters timer primlog seclog parttable doctor station record
ventaro-cli<SP>                                  |!|--json --all
ventaro-cli se                                   |=|seclog
ventaro-cli --                                   |=|--help --port --verbose
ventaro-cli --port /dev/ttyACM0 up               |=|update
ventaro-cli help st                              |=|station
ventaro-cli identify --                          |!|--all --span --format
ventaro-cli update --a                           |=|--all
ventaro-cli station --                           |!|--all --serial
ventaro-cli seclog --format<SP>                  |=|csv json text
ventaro-cli seclog --format=j                    |=|json
ventaro-cli seclog --span 1 --youngest<SP>       |=|10 100
ventaro-cli primlog --f                          |=|--format
ventaro-cli record<SP>                           |=|init stats sync
ventaro-cli record stats --s                     |=|--since --spool --station
ventaro-cli bundle<SP>                           |=|make verify
ventaro-cli update --bundle rec                  |=|record.csv
ventaro-cli update --jobs<SP>                    |=|
ventaro-cli update --record rec                  |=|record.csv
ventaro-cli list --port<SP>                      |~|$work/pts-7
ventaro-cli list --port<SP>                      |!|$work/pts-gone
EOF
# A TAB must not start the program again for a help text the shell has read before.
again=$(sort "$work/runs" | uniq -d | tr '\n' ' ')
[[ -z $again ]] || { echo "FAIL: help read more than once: $again"; failed=1; }
exit $failed
