# Sourced by the scripts that hand a host file to a Wine program.
# The Windows path of a file on the host, through the drive Z: that every Wine prefix maps to
# the host's root (asking `winepath` would cost a Wine process).
windows_path() {
    local path
    path=$(realpath -m "$1")
    echo "Z:${path//\//\\}"
}
