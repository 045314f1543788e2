# bash completion for pelldra-get: its options, and the values of those that take a fixed set.
_pelldra_get()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--speed=2" arrives as three words, "--speed", "=" and "2".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    case $prev in
    --speed) mapfile -t COMPREPLY < <(compgen -W '1 2 3' -- "$cur"); return ;;
    --agent) mapfile -t COMPREPLY < <(compgen -W 'MSIE Netscape Pelldra FireFox' -- "$cur"); return ;;
    --sync) mapfile -t COMPREPLY < <(compgen -W 'lower upper both' -- "$cur"); return ;;
    --list)
        compopt -o filenames
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --dir)
        compopt -o filenames
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --lower | --upper | --lower-run | --name | --subfolder | --referer | --cookie | --user | --password | --proxy)
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--lower --upper --lower-run --whole --fixed --name --subfolder
            --no-subfolder --dir --speed --agent --referer --sync --cookie --user --password --store --proxy
            --proxy-local-direct --no-proxy --cache --accept-other --links --queue --list --delete-list --run-queue
            --queue-list --no-settings --help --version' -- "$cur")
    fi
}
complete -F _pelldra_get pelldra-get
