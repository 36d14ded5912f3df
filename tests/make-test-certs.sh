#!/bin/sh
# Makes the certificates of the TLS tests in DIR with the openssl command: a CA
# ("ca") and, signed by it, a good server certificate for localhost and
# 127.0.0.1 ("good"), an expired one ("expired") and one for another name
# ("othername"); a second CA that nobody trusts signs "strange"; "self" signs
# itself. Keys are made anew every time; nothing is kept in the tree.
#   make-test-certs.sh DIR
set -eu
dir=$1
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; "$@"; exit 1; }; }

cat > ca.cnf <<'CNF'
[ca]
default_ca = test_ca
[test_ca]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[any]
commonName = supplied
[server]
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
CNF

for ca in ca otherca; do
  quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout $ca.key -out $ca.pem -days 3650 -subj "/CN=Quillon Test $ca" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
done

# name CA CN SAN [startdate enddate]
server() {
  : > index.txt
  echo 01 > serial
  quiet openssl req -new -newkey rsa:2048 -nodes -keyout $1.key -out $1.csr -subj "/CN=$3" -addext "subjectAltName=$4"
  if [ $# -gt 4 ]; then
    quiet openssl ca -config ca.cnf -batch -notext -cert $2.pem -keyfile $2.key -extensions server \
      -startdate $5 -enddate $6 -in $1.csr -out $1.pem
  else
    quiet openssl ca -config ca.cnf -batch -notext -cert $2.pem -keyfile $2.key -extensions server \
      -days 3650 -in $1.csr -out $1.pem
  fi
}
server good ca localhost "DNS:localhost,IP:127.0.0.1"
server expired ca localhost "DNS:localhost,IP:127.0.0.1" 20200101000000Z 20200201000000Z
server othername ca other.example "DNS:other.example"
server strange otherca localhost "DNS:localhost,IP:127.0.0.1"
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -days 3650 -subj "/CN=localhost" \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1"
