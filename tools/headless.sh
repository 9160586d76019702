# Shell functions for running Wine programs with no screen and no sound card.
# Source it; it defines functions only.

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
