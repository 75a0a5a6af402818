# bash completion for orvel: its commands and options, the paired TVs after --tv and the TV's
# apps after launch, both asked of the running Orvel Remote (nothing when it is not running).

# _orvel_names TOOL WHAT [TV]: the "name" strings of `TOOL --json [--tv TV] WHAT`, one a line. A
# running app answers at once; the time-out is for one that hangs, so that a key press never does.
_orvel_names() {
    local tool=$1 what=$2 tv=$3 reply name pattern='"name":"(([^"\\]|\\.)*)"'
    local -a arguments=(--json)
    [[ -n $tv ]] && arguments+=(--tv "$tv")
    reply=$(timeout 2 "$tool" "${arguments[@]}" "$what" 2>/dev/null) || return 0
    while [[ $reply =~ $pattern ]]; do
        reply=${reply#*"${BASH_REMATCH[0]}"}
        name=${BASH_REMATCH[1]//\\\"/\"}
        printf '%s\n' "${name//\\\\/\\}"
    done
}

# A word as typed, without its quotes and backslashes.
_orvel_unquoted() {
    local word=${1//\\/}
    word=${word#[\"\']}
    printf '%s' "${word%[\"\']}"
}

_orvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local tool=${COMP_WORDS[0]} command='' tv='' i word
    command -v "$tool" >/dev/null 2>&1 || tool=orvel
    COMPREPLY=()
    # The command so far and the TV it names, passing over the options (bash splits --tv=NAME
    # at the =).
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --tv | -t)
                [[ ${COMP_WORDS[i + 1]} == = ]] && ((i++))
                ((i + 1 < COMP_CWORD)) && tv=$(_orvel_unquoted "${COMP_WORDS[i + 1]}")
                ((i++)) ;;
            -*) ;;
            *) command=$word; break ;;
        esac
    done

    local what='' names lead=''
    if [[ $cur == = && $prev == --tv ]]; then
        what=tvs cur='' lead='='
    elif [[ $prev == --tv || $prev == -t ]] || [[ $prev == = && ${COMP_WORDS[COMP_CWORD - 2]} == --tv ]]; then
        what=tvs
    elif [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--tv --json --help' -- "$cur")
        return 0
    elif [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W 'tvs status nowplaying watch open apps launch type
            play-pause play pause next previous skip-forward skip-back up down left right ok
            back home volume-up volume-down mute wake sleep power help' -- "$cur")
        return 0
    elif [[ $command == launch && ${COMP_WORDS[COMP_CWORD - 1]} == launch ]]; then
        what=apps
    else
        return 0
    fi

    # Names with spaces: matched against the word as typed without its quoting, put back quoted
    # unless the word opened a quote of its own.
    local typed quoted=''
    [[ $cur == [\"\']* ]] && quoted=1
    typed=$(_orvel_unquoted "$cur")
    mapfile -t names < <(_orvel_names "$tool" "$what" "$tv")
    local name
    for name in "${names[@]}"; do
        [[ ${name,,} == "${typed,,}"* ]] || continue
        [[ -n $quoted ]] || name=$(printf '%q' "$name")
        COMPREPLY+=("$lead$name")
    done
    return 0
}

complete -F _orvel orvel
