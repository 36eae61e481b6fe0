#!/usr/bin/env bash
# Makes a self-signed code signing key and certificate in DIRECTORY (key.pem, cert.pem), valid
# for one day: the tests sign with it and throw it away.
set -euo pipefail
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Zk test signer" \
    -addext extendedKeyUsage=codeSigning \
    -keyout "$1/key.pem" -out "$1/cert.pem" 2>/dev/null
