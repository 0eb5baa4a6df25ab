#!/bin/sh
# Starts a PulseAudio server with a null sink (no sound card needed) for the audio end-to-end
# test: SDL plays into the sink, `parec -d SINK.monitor` records it.
#
#   scripts/start-pulseaudio.sh [SINK]      SINK defaults to pulsor_null
#
# A server that already runs is reused; the sink is added to it if missing. Exits non-zero when
# no server can be reached afterwards. With PULSE_RUNTIME_PATH set, the server is the one living
# in that folder (a private server; its clients must see the same variable).
set -eu

sink=${1:-pulsor_null}

if ! command -v pulseaudio >/dev/null 2>&1 || ! command -v pactl >/dev/null 2>&1; then
    echo "start-pulseaudio: pulseaudio/pactl not installed" >&2
    exit 1
fi

if ! pactl info >/dev/null 2>&1; then
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
        --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=$sink" >/dev/null 2>&1 || true
    tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -ge 50 ]; then
            echo "start-pulseaudio: the server did not come up" >&2
            exit 1
        fi
        sleep 0.1
    done
fi

if ! pactl list short sinks | awk '{print $2}' | grep -qx "$sink"; then
    pactl load-module module-null-sink sink_name="$sink" >/dev/null
fi
echo "$sink"
