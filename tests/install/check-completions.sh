#!/usr/bin/env bash
# check-completions.sh CMAKE BUILD_DIR: the installed completions of bash, zsh and fish, found
# where each shell looks under the prefix, offer every command and option of `orvel --help`,
# the paired TVs after --tv and the TV's apps after launch, asked of a running simulated app;
# with no app running they offer no names and say nothing.
source "$(dirname "$0")/installed-app.sh"
export XDG_DATA_DIRS="$prefix/share:/usr/local/share:/usr/share"

# The command words and options that `orvel --help` lists.
help=$(orvel --help)
commands=$(grep '^  [a-z]' <<<"$help" | sed 's/   .*//; s/\[N\]//; s/\b[A-Z]\+\b//g' |
  tr -s " |" "\n" | grep -v '^$' | LC_ALL=C sort -u)
options=$(grep -o '^  --[a-z]*' <<<"$help" | tr -d ' ' | LC_ALL=C sort -u)
[[ $(wc -l <<<"$commands") -ge 25 && -n $options ]] || fail "orvel --help lists: $commands $options"

tvs=$'Bedroom TV\nKitchen\nLiving Room'
apps=$'HDMI 1\nHDMI 2\nNetflix\nYouTube'

# Through bash-completion's own loader, which looks in $XDG_DATA_DIRS.
bash_complete() {  # words...; the last is the one completed
  bash -c 'source /usr/share/bash-completion/bash_completion
    __load_completion orvel || exit 1
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1))
    _orvel
    printf "%s\n" "${COMPREPLY[@]}"' bash "$@"
}
# The completion function called as the completion system would, with compadd capturing.
zsh_complete() {
  zsh -f -c 'fpath=('"$prefix"'/share/zsh/vendor-completions $fpath)
    autoload -Uz _orvel
    compadd() { print -rl -- "${@[${@[(i)--]}+1,-1]}" }
    words=("$@") CURRENT=$#
    _orvel' zsh "$@"
}
fish_complete() {  # command line
  fish -c "complete -C '$1'" | cut -f1
}

expect() {  # what, expected lines, actual lines
  [[ $(LC_ALL=C sort <<<"$3") == "$2" ]] || fail "$1: expected
$2
but got
$3"
}
contains_all() {  # what, wanted lines, actual lines
  local missing
  missing=$(LC_ALL=C comm -23 <(echo "$2") <(LC_ALL=C sort -u <<<"$3"))
  [[ -z $missing ]] || fail "$1 lacks: $missing"
}

start_app
expect "bash --tv" "$(printf '%q\n' "Bedroom TV" Kitchen "Living Room")" \
  "$(bash_complete orvel --tv '')"
expect "bash --tv L" 'Living\ Room' "$(bash_complete orvel --tv L)"
expect "bash launch" "$(printf '%q\n' "HDMI 1" "HDMI 2" Netflix YouTube)" \
  "$(bash_complete orvel --tv Bedroom launch '')"
contains_all "bash commands" "$commands" "$(bash_complete orvel '')"
contains_all "bash options" "$options" "$(bash_complete orvel -)"

expect "zsh --tv" "$tvs" "$(zsh_complete orvel --tv '')"
expect "zsh launch" "$apps" "$(zsh_complete orvel launch '')"

expect "fish --tv" "$tvs" "$(fish_complete 'orvel --tv ')"
expect "fish launch" "$apps" "$(fish_complete 'orvel --json launch ')"
contains_all "fish commands" "$commands" "$(fish_complete 'orvel ')"
contains_all "fish options" "$options" "$(fish_complete 'orvel -')"
stop_app

# No app: no names, and nothing on the terminal.
expect "bash --tv without the app" "" "$(bash_complete orvel --tv '' 2>&1)"
expect "zsh --tv without the app" "" "$(zsh_complete orvel --tv '' 2>&1)"
expect "fish --tv without the app" "" "$(fish_complete 'orvel --tv ' 2>&1)"
echo "The completions of bash, zsh and fish offer the commands, the TVs and their apps."
