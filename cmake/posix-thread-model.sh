#!/bin/sh
# Compiler launcher for the Wine test programs: runs the POSIX thread model's compiler in place of
# the preset's win32 one, for GoogleTest, whose thread safety needs std::mutex.
compiler=$1
shift
exec "${compiler%-win32}-posix" "$@"
