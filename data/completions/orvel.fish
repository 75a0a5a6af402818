# fish completion for orvel: its commands and options, the paired TVs after --tv and the TV's
# apps after launch, both asked of the running Orvel Remote (nothing when it is not running).

# The "name" strings of `orvel --json [--tv TV] WHAT`, one a line, for the TV the command line
# names. A running app answers at once; the time-out is for one that hangs, so that a key press
# never does.
function __orvel_names -a what
    set -l tokens (commandline -opc)
    set -l tool orvel
    command -q -- $tokens[1]; and set tool $tokens[1]
    set -l arguments --json
    set -l tv (__orvel_tv $tokens)
    test -n "$tv"; and set -a arguments --tv $tv
    set -l json (timeout 2 $tool $arguments $what 2>/dev/null); or return 0
    string match -rag '"name":"((?:[^"\\\\]|\\\\.)*)"' -- $json \
        | string replace -a '\\"' '"' | string replace -a '\\\\' '\\'
end

# The TV that the tokens name with --tv, if any.
function __orvel_tv
    set -l index (contains -i -- --tv $argv; or contains -i -- -t $argv)
    and set -q argv[(math $index + 1)]; and echo $argv[(math $index + 1)]
    string replace -rf '^--tv=' '' -- $argv
end

# The command word among the tokens, passing over the options; none yet: status 1.
function __orvel_command
    set -l tokens (commandline -opc)[2..]
    while set -q tokens[1]
        switch $tokens[1]
            case --tv -t
                set -e tokens[1]
            case '-*'
            case '*'
                echo $tokens[1]
                return 0
        end
        set -e tokens[1]
    end
    return 1
end

# Right after launch: its app.
function __orvel_launching
    set -l command (__orvel_command)
    test "$command" = launch; and test (commandline -opc)[-1] = launch
end

complete -c orvel -f
complete -c orvel -l tv -s t -x -a '(__orvel_names tvs)' -d 'Address a paired TV by its name'
complete -c orvel -l json -d "Print Orvel's raw JSON response"
complete -c orvel -l help -s h -d 'Every command'

set -l plain tvs 'List paired TVs' status 'What the TV is doing' nowplaying "What's playing" \
    watch "A line each time what's playing changes" open 'Show the remote' \
    apps "List the TV's apps" launch 'Open an app by name' type "Type into the TV's text field" \
    power "Sleep if the TV is on, wake it if it's off" help 'Every command'
for i in (seq 1 2 (count $plain))
    complete -c orvel -n 'not __orvel_command' -a $plain[$i] -d $plain[(math $i + 1)]
end
for key in play-pause play pause next previous skip-forward skip-back up down left right ok \
        back home volume-up volume-down mute wake sleep
    complete -c orvel -n 'not __orvel_command' -a $key -d 'Press on the remote'
end
complete -c orvel -n __orvel_launching -a '(__orvel_names apps)' -d App
