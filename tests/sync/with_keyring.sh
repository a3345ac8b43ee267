#!/bin/sh
# Runs a test beside a keyring of its own, on a session bus of its own:
#   dbus-run-session -- tests/sync/with_keyring.sh TEST [ARGS...]
set -e
XDG_RUNTIME_DIR=$(mktemp -d)
HOME=$(mktemp -d)
export XDG_RUNTIME_DIR HOME
trap 'rm -rf "$XDG_RUNTIME_DIR" "$HOME"' EXIT
# The login keyring is created and unlocked with a throw-away password; the daemon's output
# names its socket.
eval "$(printf 'test' | gnome-keyring-daemon --unlock --components=secrets)"
export QUILLORY_TEST_KEYRING=1
"$@"
