#!/usr/bin/env bash
# Makes a throwaway certificate authority and a server certificate it signs for this machine's
# loopback (localhost, 127.0.0.1) in DIR: ca.crt, ca.key, server.crt, server.key. The test
# command's PostgreSQL cluster serves server.crt; the tests trust ca.crt.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
cd "$dir"
days=2
openssl req -x509 -newkey rsa:2048 -nodes -days "$days" -subj "/CN=Quarl test CA" \
  -keyout ca.key -out ca.crt \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr 2>/dev/null
printf '%s\n' "subjectAltName=DNS:localhost,IP:127.0.0.1" "basicConstraints=CA:FALSE" \
  "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" >server.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days "$days" \
  -extfile server.ext -out server.crt 2>/dev/null
rm -f server.csr server.ext ca.srl
chmod 600 ca.key server.key
