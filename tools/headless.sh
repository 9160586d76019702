# Shell functions for running Wine programs with no screen and no sound card.
# Source it; it defines functions only.

# Debian's Wine starts without a preloader, so nothing holds the page Wine
# needs for its shared user data (0x7ffe0000) while the C library sets up its
# heap. The kernel starts that heap at a random place up to 1 GB above the
# loader, and about one Wine process start in 6,000 finds it lying over that
# page and dies ("failed to map the shared user data"). Without address
# randomisation the heap starts right after the loader, 48 MB below it.
# Runs the calling script again that way (once; pass it "$@"): every process
# it starts inherits the setting.
rerun_without_random_layout() {
    local personality
    [ -f "$0" ] || return 0
    personality=$(cat /proc/self/personality 2>/dev/null) || return 0
    (( 0x$personality & 0x0040000 )) && return 0
    setarch "$(uname -m)" -R true 2>/dev/null || return 0
    exec setarch "$(uname -m)" -R bash "$0" "$@"
}

# Starts a private Xvfb screen of 1920x1080 (-displayfd picks a free display
# number and reports it); sets xvfb_pid and exports DISPLAY.
start_xvfb() {
    local number
    exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp </dev/null 2>/dev/null 9>&- & echo "pid $!")
    read -r _ xvfb_pid <&3
    read -r number <&3
    exec 3<&-
    export DISPLAY=":$number"
}

# Makes ALSA's default device, for programs run with HOME=$1, a null sink
# that writes the raw audio to $2 (default /dev/null): wave-out then has one
# device, which plays faster than real time.
write_null_sound() {
    cat > "$1/.asoundrc" <<ASOUND
pcm.!default { type file slave.pcm "null" file "${2:-/dev/null}" format "raw" }
ASOUND
}

# Prepares the Wine prefix $WINEPREFIX for programs on a private screen
# without a window manager, for every script that runs the program there:
# starts a persistent wineserver, makes the prefix on first use, sets the
# sound driver ($1: alsa or pulse), unmanaged windows (Wine maximises a
# window to the whole screen itself, as no window manager runs) and no crash
# dialog, and returns only once the prefix has settled. Never for a user's
# own display: unmanaged windows there would lose their frames.
# Needs $wine and $wineserver; sets prefix_made to 1 when it made the prefix.
prepare_wine_prefix() {
    local driver=${1:?sound driver}
    prefix_made=0
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p </dev/null >/dev/null 2>&1 9>&- || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-
        prefix_made=1
    fi
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "$driver" /f </dev/null >/dev/null 2>&1 9>&-
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1 9>&-
    # wineboot returns while the services it started still update the
    # prefix; the server ends only after all of them did, and it writes the
    # registry to disk as it ends, for scripts that copy the prefix.
    "$wineserver" -k </dev/null >/dev/null 2>&1 9>&- || true
    "$wineserver" -w </dev/null >/dev/null 2>&1 9>&- || true
    # A caller that copies the prefix does it here, while nothing runs in it.
    if declare -F prefix_at_rest >/dev/null; then
        prefix_at_rest
    fi
    "$wineserver" -p </dev/null >/dev/null 2>&1 9>&- || true
    # Wine's helper processes (services, devices, the desktop window) live as
    # long as the server and keep the standard handles of the program that
    # started them: a test's output pipe held so would never see its end.
    # Started here, they hold none. Services start with any program, the
    # desktop only with the first that asks for the desktop window.
    "$wine" reg query 'HKCU\Software\Wine\Drivers' </dev/null >/dev/null 2>&1 9>&- || true
    start_wine_desktop
}

# The desktop window's process, started with no pipes of the caller's; a
# desktop already running is kept. Wine ends it a moment after the last
# program that uses it, so a caller whose programs must never start it again
# sets wine_desktop_keeper to the keeper program, which uses the desktop
# until the server ends.
start_wine_desktop() {
    if [ -n "${wine_desktop_keeper:-}" ] && [ -f "$wine_desktop_keeper" ]; then
        "$wine" "$wine_desktop_keeper" </dev/null >/dev/null 2>&1 9>&- &
    fi
    # Returns once the desktop is there.
    "$wine" rundll32 user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 9>&- || true
}
