# bash completion for quillbank-cli. The commands, each command's options,
# and the component, application and profile names come from quillbank-cli
# itself ("quillbank-cli __complete ..."), so they are always those of the
# installed version.

# COMPREPLY: the lines of $1 that begin with $2, quoted for the command line.
_quillbank_cli_reply() {
    local candidate
    COMPREPLY=()
    while IFS= read -r candidate; do
        if [[ -n $candidate && $candidate == "$2"* ]]; then
            COMPREPLY+=("$(printf '%q' "$candidate")")
        fi
    done <<<"$1"
}

_quillbank_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    if ((COMP_CWORD == 1)); then
        _quillbank_cli_reply "$(quillbank-cli __complete commands 2>/dev/null)"$'\n--help\n--version' "$cur"
        return
    fi
    local options name kind
    options=$(quillbank-cli __complete options "${COMP_WORDS[1]}" 2>/dev/null) || return
    # The word before the cursor is an option that takes a value: complete the value.
    while IFS=$'\t' read -r name kind; do
        [[ $name == "$prev" && $kind == value ]] || continue
        case $prev in
        --app)
            _quillbank_cli_reply "$(quillbank-cli __complete applications 2>/dev/null)" "$cur"
            ;;
        --profile)
            local app= at
            for ((at = 2; at < COMP_CWORD - 1; at++)); do
                [[ ${COMP_WORDS[at]} == --app ]] && app=${COMP_WORDS[at + 1]}
            done
            _quillbank_cli_reply "$(quillbank-cli __complete profiles ${app:+"$app"} 2>/dev/null)" "$cur"
            ;;
        --components)
            # A comma-separated list: complete its last name.
            local chosen= component
            [[ $cur == *,* ]] && chosen=${cur%,*},
            COMPREPLY=()
            while IFS= read -r component; do
                [[ $chosen$component == "$cur"* ]] && COMPREPLY+=("$chosen$component")
            done < <(quillbank-cli __complete components 2>/dev/null)
            compopt -o nospace 2>/dev/null
            ;;
        *)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            ;;
        esac
        return
    done <<<"$options"
    if [[ $cur == -* ]]; then
        _quillbank_cli_reply "$(cut -f1 <<<"$options")" "$cur"
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

complete -F _quillbank_cli quillbank-cli
