#!/usr/bin/env bash
# manpage.sh VENTARO_CLI MAN_DIR SOURCE_DIR
# The built manual pages as man shows them: every command and option ventaro-cli's help
# prints is in ventaro-cli(1), each command in a section of its own with an example, every
# exit code under EXIT STATUS; every option the dialog parses is in korvath-update(1); and
# no page makes groff warn.
set -uo pipefail
program=$1
man_dir=$2
source_dir=$3

failed=0
fail()
{
    echo "FAIL: $*"
    failed=1
}

# The page as text: ASCII hyphens, no hyphenation and lines long enough that no option name
# is broken.
render()
{
    LC_ALL=C MANWIDTH=400 man --nh --nj -l "$1" 2>/dev/null
}

# The lines of section NAME (a heading at the left margin) of a rendered page.
section()
{
    awk -v name="$1" '/^[A-Z]/ { on = ($0 == name); next } on' <<<"$2"
}

# The options a help text lists under "Options:" (both names of "-h, --help").
help_options()
{
    awk '/^Options:$/ { on = 1; next } on && /^$/ { exit }
         on && /^  -/ { sub(/^  /, ""); sub(/  .*/, ""); n = split($0, a, ", ")
                        for (i = 1; i <= n; ++i) { sub(/ .*/, "", a[i]); print a[i] } }' <<<"$1"
}

for page in korvath-update ventaro-cli ventaro-devsim; do
    file="$man_dir/$page.1.gz"
    if [[ ! -s $file ]]; then
        fail "$file was not built"
        continue
    fi
    warnings=$(LC_ALL=C MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "$page(1): $warnings"
done

page=$(render "$man_dir/ventaro-cli.1.gz")
general=$("$program" --help)
commands=$(awk '/^Commands:$/ { on = 1; next } on && /^$/ { exit } on { print $1 }' <<<"$general")
[[ -n $commands ]] || fail "no commands in ventaro-cli --help"
description=$(section DESCRIPTION "$page")
examples=$(section EXAMPLES "$page")
exits=$(section "EXIT STATUS" "$page")

# An option as the tag of its paragraph, alone or after another name ("-h, --help").
tagged()
{
    grep -qE -- "^ *([-a-z]+, )*$1( |,|\$)" <<<"$2"
}

for option in --port --verbose -h --help; do
    tagged "$option" "$description" || fail "ventaro-cli(1): global option $option"
done
for command in $commands; do
    grep -qE "^ *$command( |\$)" <<<"$description" || fail "ventaro-cli(1): $command not listed"
    grep -q "^ *ventaro-cli $command\b" <<<"$examples" ||
        fail "ventaro-cli(1): no example of $command"
    # The command's own subsection: from its heading to the next one.
    own=$(awk -v head="   ventaro-cli $command " 'index($0, head) == 1 { on = 1; next }
                                                   /^   [^ ]/ { on = 0 } on' \
              <<<"$(section COMMANDS "$page")")
    [[ -n $own ]] || fail "ventaro-cli(1): no section for $command"
    for option in $(help_options "$("$program" help "$command")"); do
        case $option in --port | --verbose | -h | --help) continue ;; esac
        tagged "$option" "$own" || fail "ventaro-cli(1): $command $option"
    done
done
codes=$(awk '/^Exit codes:$/ { on = 1; next } on && /^  [0-9]/ { print $1 }' <<<"$general")
[[ -n $codes ]] || fail "no exit codes in ventaro-cli --help"
for code in $codes; do
    grep -q "^ *$code  " <<<"$exits" || fail "ventaro-cli(1): exit code $code"
done

# The dialog parses its options by hand (one-dash words, any case): each one is in its page.
page=$(render "$man_dir/korvath-update.1.gz")
options=$(section OPTIONS "$page")
dialog=$(grep -o 'option(QStringLiteral("[a-z]*")' "$source_dir/src/app/commandline.cpp" |
             sed 's/.*("\(.*\)")/\1/')
[[ -n $dialog ]] || fail "no options found in src/app/commandline.cpp"
for option in $dialog; do
    tagged "-$option" "$options" || fail "korvath-update(1): -$option"
done

((failed)) || echo "ok: the manual pages hold every command, option and exit code"
exit $failed
