# A small internet inside network namespaces of this test's own, sourced by the internet-play
# tests: an "internet" namespace with a bridge, and homes, each a router namespace that
# masquerades its home network behind one outside address (nftables) and may run Debian's
# miniupnpd for NAT-PMP and UPnP, with machines behind it. Nothing is routed out of the
# namespaces: the internet has no link to this machine's own network, so its addresses (11.0.0.0/24,
# outside miniupnpd's list of reserved ranges, which it would refuse to forward from) are
# reached by nobody else. Everything is torn down by LabTeardown, which the caller traps on EXIT.
#
# Needs root, `ip netns`, nft and miniupnpd; LabCheck says why not when one is missing. A lobby
# (LabLobby) needs prosody and coturn too; LabLobbyCheck says why not.

Lab="mv$$"
LabDir=""
LabSpaces=()
LabPids=()

# Prints why the lab cannot be built here, or nothing.
LabCheck() {
    [ "$(id -u)" -eq 0 ] || { echo "needs root for network namespaces"; return; }
    command -v ip >/dev/null || { echo "no ip (iproute2)"; return; }
    command -v nft >/dev/null || { echo "no nft (nftables)"; return; }
    [ -x /usr/sbin/miniupnpd ] || { echo "no /usr/sbin/miniupnpd (miniupnpd-nftables)"; return; }
    ip netns add "${Lab}probe" 2>/dev/null || { echo "cannot make a network namespace"; return; }
    if ! ip netns exec "${Lab}probe" nft list ruleset >/dev/null 2>&1; then
        ip netns delete "${Lab}probe"
        echo "no nftables in a network namespace"
        return
    fi
    ip netns delete "${Lab}probe"
}

# Prints why a lobby cannot run here, or nothing.
LabLobbyCheck() {
    command -v prosody >/dev/null || { echo "no prosody"; return; }
    command -v turnserver >/dev/null || { echo "no turnserver (coturn)"; return; }
    command -v openssl >/dev/null || { echo "no openssl"; return; }
}

# LabKillIn <namespace>: ends what still runs in a namespace, so deleting it leaves nothing
# behind; a server's helpers (the lobby's prosody and coturn under tools/lobby run) do not die
# with the process the lab started.
LabKillIn() {
    local pid
    for pid in $(ip netns pids "$1" 2>/dev/null); do
        kill -9 "$pid" 2>/dev/null || true
    done
}

# Namespaces left by a run that was killed outright (a time-out's SIGKILL runs no trap): each
# name carries its run's process number, so only those of runs that are gone are removed.
LabSweep() {
    local ns pid
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E '^mv[0-9]+'); do
        pid=$(echo "$ns" | sed -E 's/^mv([0-9]+).*/\1/')
        kill -0 "$pid" 2>/dev/null || { LabKillIn "$ns"; ip netns delete "$ns" 2>/dev/null || true; }
    done
}

LabTeardown() {
    local pid ns
    for pid in "${LabPids[@]}"; do
        kill -9 "$pid" 2>/dev/null || true
    done
    for pid in "${LabPids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    for ns in "${LabSpaces[@]}"; do
        LabKillIn "$ns"
        ip netns delete "$ns" 2>/dev/null || true
    done
    [ -z "$LabDir" ] || rm -rf "$LabDir"
}

LabNs() {
    ip netns add "$1"
    LabSpaces+=("$1")
    ip -n "$1" link set lo up
}

# The internet: one bridge that every router's outside interface hangs on.
LabInternet() {
    LabSweep
    LabDir=$(mktemp -d)
    LabNs "${Lab}i"
    ip -n "${Lab}i" link add br0 type bridge
    ip -n "${Lab}i" link set br0 up
}

# LabHome <n> <outside address/prefix> <home prefix, e.g. 192.168.1> <upnp: yes|no|refuse>
# A router "${Lab}r<n>" with wan0 outside and the bridge lan0 (<prefix>.1) inside.
LabHome() {
    local n=$1 outside=$2 prefix=$3 upnp=$4 r="${Lab}r$1"
    LabNs "$r"
    ip link add "w$n$Lab" netns "${Lab}i" type veth peer name wan0 netns "$r"
    ip -n "${Lab}i" link set "w$n$Lab" master br0 up
    ip -n "$r" addr add "$outside" dev wan0
    ip -n "$r" link set wan0 up
    ip -n "$r" link add lan0 type bridge
    ip -n "$r" addr add "$prefix.1/24" dev lan0
    ip -n "$r" link set lan0 up
    ip netns exec "$r" sysctl -qw net.ipv4.ip_forward=1
    # The chains miniupnpd fills, and the home's masquerade behind its outside address. Like any
    # home router it drops what comes from outside unasked for the router itself: taken in, such a
    # datagram would leave a record that makes the router give a machine punching back towards
    # its sender another outside port.
    ip netns exec "$r" nft -f - <<EOF
table inet filter {
    chain input { type filter hook input priority 0; policy accept; iifname "wan0" ct state new drop; }
    chain forward { type filter hook forward priority 0; policy accept; jump miniupnpd; }
    chain miniupnpd { }
}
table inet nat {
    chain prerouting { type nat hook prerouting priority -100; policy accept; jump prerouting_miniupnpd; }
    chain postrouting { type nat hook postrouting priority 100; policy accept; jump postrouting_miniupnpd; oifname "wan0" masquerade; }
    chain prerouting_miniupnpd { }
    chain postrouting_miniupnpd { }
}
EOF
    [ "$upnp" = no ] && return
    local rule="allow 1024-65535 $prefix.0/24 1024-65535" natpmp=yes
    # A router that refuses does so over UPnP; miniupnpd would answer a refused NAT-PMP request
    # only after trying every other port, which is slower than any player waits.
    if [ "$upnp" = refuse ]; then
        rule="deny 0-65535 0.0.0.0/0 0-65535"
        natpmp=no
    fi
    cat >"$LabDir/r$n.conf" <<EOF
ext_ifname=wan0
listening_ip=lan0
port=0
enable_natpmp=$natpmp
enable_upnp=yes
secure_mode=yes
system_uptime=yes
min_lifetime=${LAB_MIN_LIFETIME:-120}
max_lifetime=86400
lease_file=$LabDir/r$n.leases
uuid=6d617276-6f00-4000-8000-00000000000$n
upnp_table_name=filter
upnp_nat_table_name=nat
upnp_forward_chain=miniupnpd
upnp_nat_chain=prerouting_miniupnpd
upnp_nat_postrouting_chain=postrouting_miniupnpd
$rule
deny 0-65535 0.0.0.0/0 0-65535
EOF
    ip netns exec "$r" /usr/sbin/miniupnpd -d -f "$LabDir/r$n.conf" -P "$LabDir/r$n.pid" \
        >"$LabDir/r$n.log" 2>&1 &
    LabPids+=($!)
}

# LabSymmetric <n>: router n gives every new destination a port of its own, as the routers do
# that no hole punching gets through: what a server on the internet sees of a machine (STUN)
# is then no use to anyone else, and only a relay joins such a machine to others. (A plain
# masquerade keeps the machine's port, so every destination sees the same one.)
LabSymmetric() {
    ip netns exec "${Lab}r$1" nft -f - <<EOF
flush chain inet nat postrouting
table inet nat {
    chain postrouting { jump postrouting_miniupnpd; oifname "wan0" masquerade fully-random; }
}
EOF
}

# LabLobby <address/prefix> <domain>: a lobby server "${Lab}lobby" on the internet, running
# tools/lobby (prosody on 5222, coturn on 3478) with a folder and certificate authority of its
# own in $LabDir/lobby. Nobody's resolver knows <domain>: clients are given LabLobbyIp to dial
# and the domain apart, and trust LabLobbyCa. Exports LabLobbyIp, LabLobbyDomain, LabLobbyCa.
LabLobby() {
    local address=$1 ns="${Lab}lobby" tools i
    tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)
    LabLobbyIp=${address%/*}
    LabLobbyDomain=$2
    LabLobbyCa=$LabDir/lobby/ca.pem
    export LabLobbyIp LabLobbyDomain LabLobbyCa
    LabNs "$ns"
    ip link add "l$Lab" netns "${Lab}i" type veth peer name eth0 netns "$ns"
    ip -n "${Lab}i" link set "l$Lab" master br0 up
    ip -n "$ns" addr add "$address" dev eth0
    ip -n "$ns" link set eth0 up
    "$tools/lobby" setup "$LabLobbyDomain" "$LabDir/lobby" --address "$LabLobbyIp" >/dev/null ||
        return 1
    ip netns exec "$ns" "$tools/lobby" run "$LabDir/lobby" >"$LabDir/lobby.log" 2>&1 &
    LabPids+=($!)
    for ((i = 0; i < 150; ++i)); do
        if [ -n "$(ip netns exec "$ns" ss -Hltn 'sport = :5222')" ] &&
            [ -n "$(ip netns exec "$ns" ss -Hlun 'sport = :3478')" ]; then
            return 0
        fi
        sleep 0.1
    done
    echo "the lobby did not start:" >&2
    cat "$LabDir/lobby.log" "$LabDir/lobby/log/"* >&2 2>/dev/null || true
    return 1
}

# LabMachine <name> <home n> <address> : a machine "${Lab}<name>" on home n's network.
LabMachine() {
    local name=$1 n=$2 address=$3 ns="${Lab}$1" r="${Lab}r$2"
    LabNs "$ns"
    ip link add "m$name$Lab" netns "$r" type veth peer name eth0 netns "$ns"
    ip -n "$r" link set "m$name$Lab" master lan0 up
    ip -n "$ns" addr add "$address/24" dev eth0
    ip -n "$ns" link set eth0 up
    ip -n "$ns" route add default via "${address%.*}.1"
}

# What miniupnpd forwards now on router n: its DNAT rules, one a line.
LabForwards() {
    ip netns exec "${Lab}r$1" nft list chain inet nat prerouting_miniupnpd 2>/dev/null |
        grep -c 'dnat' || true
}
