# Shell helpers for driving the slideshow on an X server: packages, servers,
# the window, keys and the program's own screenshots. Sourced by
# scripts/demo.sh and scripts/acceptance.sh.

# Installs the Debian packages that are missing (apt-get update once).
need_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    if ! command -v apt-get >/dev/null; then
        echo "please install: ${missing[*]}" >&2
        return 1
    fi
    echo "installing ${missing[*]}" >&2
    if [ -z "${APT_UPDATED:-}" ]; then
        "${sudo[@]}" apt-get update -qq >&2 || return 1
        APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >&2
}

# Starts Xvfb with one screen of the given size (e.g. 1920x1080x24) and points
# DISPLAY at it. Sets XSERVER_PID.
start_xvfb() {
    local screen=$1 fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 9 -screen 0 "$screen" -nolisten tcp -ac 9>"$fdfile" >/dev/null 2>&1 &
    XSERVER_PID=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    local number
    number=$(tr -dc 0-9 <"$fdfile")
    rm -f "$fdfile"
    [ -n "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$number"
}

stop_xserver() {
    if [ -n "${XSERVER_PID:-}" ]; then
        kill "$XSERVER_PID" 2>/dev/null || true
        wait "$XSERVER_PID" 2>/dev/null || true
        XSERVER_PID=
    fi
}

# Runs the program in a folder, in the background; sets PROGRAM_PID.
# Standard output and errors go to the folder's program.log.
# With RUN_AS (a user name), the program runs as that user.
start_program() {
    local folder=$1
    if [ -n "${RUN_AS:-}" ]; then
        (cd "$folder" && exec setpriv --reuid="$RUN_AS" --regid="$RUN_AS" --clear-groups env HOME="$folder" \
            "$PARALLAXON" >"$folder/program.log" 2>&1) &
    else
        (cd "$folder" && exec "$PARALLAXON" >"$folder/program.log" 2>&1) &
    fi
    PROGRAM_PID=$!
}

program_running() { kill -0 "$PROGRAM_PID" 2>/dev/null; }

# Waits (up to 30 s) for the program's window; prints its id.
wait_window() {
    local i id
    for i in $(seq 1 300); do
        id=$(xdotool search --onlyvisible --name '^Parallaxon' 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        program_running || return 1
        sleep 0.1
    done
    return 1
}

# Waits (up to the given seconds, default 30) for the program to end; sets
# PROGRAM_STATUS (124 when it had to be killed).
wait_program_end() {
    local limit=${1:-30} i
    for i in $(seq 1 $((limit * 10))); do
        program_running || break
        sleep 0.1
    done
    if program_running; then
        kill "$PROGRAM_PID" 2>/dev/null
        wait "$PROGRAM_PID" 2>/dev/null
        PROGRAM_STATUS=124
        return 1
    fi
    wait "$PROGRAM_PID" 2>/dev/null
    PROGRAM_STATUS=$?
    return 0
}

# Holds a key for a while (the program samples the keyboard once a frame, so a
# quick tap between two frames would go unseen).
hold_key() {
    local key=$1 seconds=${2:-0.4}
    xdotool keydown "$key"
    sleep "$seconds"
    xdotool keyup "$key"
    sleep 0.3
}

# Presses a key and takes a screenshot before letting go of it: the frame that
# takes the shot has seen the key, however slow the frames are.
shot_with_key() {
    local key=$1 folder=$2 dest=$3
    xdotool keydown "$key"
    take_screenshot "$folder" "$dest"
    local taken=$?
    xdotool keyup "$key"
    sleep 0.3
    return $taken
}

# Waits (up to 10 s) for the pointer to be at x,y.
wait_pointer_at() {
    local want="x:$1 y:$2" i
    for i in $(seq 1 100); do
        case "$(xdotool getmouselocation)" in "$want "*) return 0 ;; esac
        sleep 0.1
    done
    return 1
}

# Ends the program with Esc, held until it is gone (at most 20 s; a normal end
# takes a fraction of a second); sets PROGRAM_STATUS.
quit_program() {
    xdotool keydown Escape
    wait_program_end 20
    local ended=$?
    xdotool keyup Escape
    return $ended
}

bmp_complete() {
    local file=$1 size declared
    [ -f "$file" ] || return 1
    size=$(stat -c %s "$file")
    [ "$size" -ge 54 ] || return 1
    declared=$(od -An -tu4 -j2 -N4 "$file" | tr -d ' ')
    [ "$size" -eq "$declared" ]
}

# Takes one screenshot with the program's Ctrl+S (waiting up to a minute) and
# moves it to the given path, so that a later shot in the same 0.3 s (which
# gets the same name) is still new. Ctrl and S stay down until the file is
# there, however slow the frames are; with a third argument "keep-ctrl", Ctrl
# stays down afterwards.
take_screenshot() {
    local folder=$1 dest=$2 keep=${3:-} before new="" i f
    before=$(cd "$folder" && ls 3dimage_*.bmp 2>/dev/null | sort | tr '\n' ' ')
    xdotool keydown ctrl keydown s
    for i in $(seq 1 600); do
        for f in "$folder"/3dimage_*.bmp; do
            [ -e "$f" ] || continue
            case " $before " in *" $(basename "$f") "*) continue ;; esac
            if bmp_complete "$f"; then
                new=$f
                break
            fi
        done
        [ -n "$new" ] && break
        program_running || break
        sleep 0.1
    done
    xdotool keyup s
    [ "$keep" = keep-ctrl ] || xdotool keyup ctrl
    sleep 0.3
    [ -n "$new" ] || return 1
    mv "$new" "$dest"
}
