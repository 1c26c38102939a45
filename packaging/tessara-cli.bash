# bash completion for tessara-cli                          -*- shell-script -*-
#
# Commands, options and the values of an option with a fixed set of them are
# read from the program's own --help, so that they follow the installed
# version. After -o a directory is offered (a PNG file for section), after
# --log any file, after --settings and --save-settings a TOML file, after
# --gpkg, --kml and --track the track files of their formats, after --gain
# its two forms, after --utm-zone the zones, after an option that takes a
# number or a text nothing; elsewhere SEG-Y files (*.sgy, *.segy, *.seg in
# either case) and directories.

# The commands, from the Subcommands part of the top-level help.
_tessara_cli_commands()
{
    LC_ALL=C "$1" --help 2>/dev/null |
        sed -n '/^Subcommands:/,/^$/ { /^  *[a-z]/ { s/^ *//; s/ .*//; p; } }'
}

# Succeeds when OPTION of COMMAND takes a value: its help line shows a type
# (TEXT, INT, FLOAT...) one space after the option's names, where a flag's
# description follows a run of spaces.
_tessara_cli_takes_value()
{
    LC_ALL=C "$1" "$2" --help 2>/dev/null |
        grep -qE -- "^ *([^ ]*,)?$3(,[^ ]*)? [A-Z]"
}

# The values OPTION of COMMAND takes when it has a fixed set of them: its help
# line shows them as TYPE:{a,b,...}.
_tessara_cli_choices()
{
    LC_ALL=C "$1" "$2" --help 2>/dev/null |
        sed -n "s/^ *\([^ ]*,\)\{0,1\}$3\(,[^ ]*\)\{0,1\} [A-Z]*:{\([^}]*\)}.*/\3/p" |
        tr ',' ' '
}

_tessara_cli()
{
    local cur prev words cword
    _init_completion || return

    local i command=
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W '--help --help-all --version' -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$(_tessara_cli_commands "$1")" -- "$cur")
        fi
        return
    fi

    case $prev in
        -o | --output-dir | --output)
            if [[ $command == section ]]; then
                _filedir png
            else
                _filedir -d
            fi
            return
            ;;
        --log | --navigation)
            _filedir
            return
            ;;
        --settings | --save-settings)
            _filedir toml
            return
            ;;
        --gpkg)
            _filedir gpkg
            return
            ;;
        --kml)
            _filedir kml
            return
            ;;
        --track)
            _filedir 'gpkg|kml'
            return
            ;;
        --gain)
            mapfile -t COMPREPLY < <(compgen -W 'none agc:' -- "$cur")
            [[ ${COMPREPLY[*]} == agc: ]] && compopt -o nospace # the window in ms follows
            return
            ;;
        --utm-zone)
            local zone zones=
            for zone in {1..60}; do
                zones+="${zone}N ${zone}S "
            done
            mapfile -t COMPREPLY < <(compgen -W "$zones" -- "$cur")
            return
            ;;
        -*)
            local choices
            choices=$(_tessara_cli_choices "$1" "$command" "$prev")
            if [[ -n $choices ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$choices" -- "$cur")
                return
            fi
            _tessara_cli_takes_value "$1" "$command" "$prev" && return
            ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_parse_help "$1" "$command --help")" -- "$cur")
        return
    fi
    _filedir 'sgy|segy|seg'
} &&
    complete -F _tessara_cli tessara-cli

# ex: filetype=sh
