# The program's texts for the scripts that check what it shows: texts_load
# reads text_<Name> for every text of app/res/texts.txt, as the program shows
# it and the robot reports it (line breaks written \n), from the file the
# build makes (user_texts.sh); text_fill puts values in their %s and %d.

# texts_load FILE: 1, with a message, when the build has not made FILE.
texts_load() {
    [ -f "$1" ] || { echo "no texts in $1 (the build makes them from app/res/texts.txt)" >&2; return 1; }
    . "$1"
}

# text_fill TEXT VALUE...: TEXT with its %s and %d replaced by the values in
# order. 1, with a message, when the values do not match the placeholders.
text_fill() {
    local text=$1 rest=$1 filled= before value
    shift
    for value in "$@"; do
        before=${rest%%%[sd]*}
        if [ "$before" = "$rest" ]; then
            echo "text_fill: more values than placeholders in: $text" >&2
            printf '%s' "$filled$rest"
            return 1
        fi
        filled+=$before$value
        rest=${rest:${#before}+2}
    done
    printf '%s' "$filled$rest"
    case $rest in
    *%[sd]*) echo "text_fill: a placeholder left without a value in: $text" >&2; return 1 ;;
    esac
}

# text_pattern TEXT: an extended expression for TEXT with any number in each
# %d and any text in each %s, for checks of a number the run cannot know.
text_pattern() {
    printf '%s' "$1" | sed -e 's/[][\.*^$+?(){}|/]/\\&/g' -e 's/%d/[0-9]+/g' -e 's/%s/.*/g'
}
