# fish completion for quillbank-cli. The commands, each command's options,
# and the component, application and profile names come from quillbank-cli
# itself ("quillbank-cli __complete ..."), so they are always those of the
# installed version.

function __quillbank_cli_complete
    set -l words (commandline -opc)
    set -l current (commandline -ct)
    if test (count $words) -eq 1
        quillbank-cli __complete commands 2>/dev/null
        printf '%s\n' --help --version
        return
    end
    set -l options (quillbank-cli __complete options $words[2] 2>/dev/null)
    # The word before the cursor is an option that takes a value: complete the value.
    for line in $options
        set -l parts (string split \t -- $line)
        if test "$parts[1]" = "$words[-1]" -a "$parts[2]" = value
            switch $parts[1]
                case --app
                    quillbank-cli __complete applications 2>/dev/null
                case --profile
                    set -l app
                    set -l at (contains -i -- --app $words)
                    and set app $words[(math $at + 1)]
                    quillbank-cli __complete profiles $app 2>/dev/null
                case --components
                    # A comma-separated list: complete its last name.
                    set -l chosen (string replace -r '[^,]*$' '' -- $current)
                    for component in (quillbank-cli __complete components 2>/dev/null)
                        echo $chosen$component
                    end
                case '*'
                    __fish_complete_path $current
            end
            return
        end
    end
    if string match -q -- '-*' $current
        for line in $options
            string split -f1 \t -- $line
        end
    else
        __fish_complete_path $current
    end
end

complete -c quillbank-cli -f -a '(__quillbank_cli_complete)'
