#!/usr/bin/env bash
# The lobby's servers as the game meets them from a home on the test internet (netlab.sh): a
# lobby made by tools/lobby on 11.0.0.53, a machine behind a router on 11.0.0.11. From the
# machine: STARTTLS on 5222 with the lobby's own certificate authority, a STUN answer on 3478
# telling the router's outside address, and a whole sign-in (lobby_client.py: anonymous SASL,
# TURN credentials by XEP-0215 that the relay accepts, a session announced in the room and a
# private message). Last, LabSymmetric: the router gives a new port for each destination.
# Exit 77 (skipped) when the namespaces or the servers are not available here, saying why.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=netlab.sh
. "$here/netlab.sh"

why=$(LabCheck)
[ -n "$why" ] || why=$(LabLobbyCheck)
command -v stun >/dev/null || why=${why:-"no stun (stun-client)"}
command -v python3 >/dev/null || why=${why:-"no python3"}
if [ -n "$why" ]; then
    echo "SKIPPED: $why"
    exit 77
fi
trap LabTeardown EXIT
trap 'exit 1' INT TERM

failures=0
Fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

LabInternet
LabHome 1 11.0.0.11/24 192.168.1 no
LabMachine anna 1 192.168.1.10
LabLobby 11.0.0.53/24 lobby.marevo.test || exit 1
On() {
    ip netns exec "${Lab}anna" "$@"
}

echo "--- TLS on 5222"
On timeout 10 openssl s_client -starttls xmpp -xmpphost "$LabLobbyDomain" \
    -connect "$LabLobbyIp:5222" -CAfile "$LabLobbyCa" -verify_return_error \
    -verify_hostname "$LabLobbyDomain" </dev/null >"$LabDir/tls.out" 2>&1 ||
    Fail "no TLS with the lobby's certificate: $(grep -i -m2 -E 'verify|error' "$LabDir/tls.out")"
grep -m1 'Verify return code' "$LabDir/tls.out"

echo "--- STUN on 3478"
mapped=$(On timeout 10 stun -v "$LabLobbyIp" 2>&1 | grep -m1 'MappedAddress =' || true)
echo "$mapped"
[[ "$mapped" == *"= 11.0.0.11:"* ]] || Fail "STUN did not tell the router's outside address"

echo "--- signing in"
On timeout 30 python3 "$here/lobby_client.py" "$LabLobbyIp" "$LabLobbyDomain" "$LabLobbyCa" ||
    Fail "the lobby did not do what the game needs"

# Ports <first> <second>: from one socket of the machine to two ports of the lobby machine, where
# a reflector answers with the port it saw; prints both.
Reflect() {
    ip netns exec "${Lab}lobby" python3 - "$LabLobbyIp" <<'EOF' &
import socket, sys
socks = []
for port in (7001, 7002):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((sys.argv[1], port))
    socks.append(s)
import select
while True:
    for s in select.select(socks, [], [])[0]:
        data, source = s.recvfrom(64)
        s.sendto(str(source[1]).encode(), source)
EOF
    LabPids+=($!)
}
Ports() {
    On timeout 10 python3 - "$LabLobbyIp" <<'EOF'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(1)
seen = []
for port in (7001, 7002):
    for attempt in range(5):
        s.sendto(b"?", (sys.argv[1], port))
        try:
            seen.append(s.recv(64).decode())
            break
        except socket.timeout:
            pass
print(" ".join(seen))
EOF
}

echo "--- mapping by destination"
Reflect
sleep 0.5
read -r a b < <(Ports)
echo "plain masquerade: $a $b"
if [ -z "${b:-}" ] || [ "$a" != "$b" ]; then
    Fail "a plain router gave two destinations different ports"
fi
LabSymmetric 1
read -r a b < <(Ports)
echo "LabSymmetric: $a $b"
if [ -z "${b:-}" ] || [ "$a" = "$b" ]; then
    Fail "a symmetric router gave two destinations one port"
fi

if [ "$failures" -gt 0 ]; then
    echo "--- the lobby said:"
    tail -n 20 "$LabDir/lobby.log" "$LabDir/lobby/log/"*
    exit 1
fi
echo "PASSED"
