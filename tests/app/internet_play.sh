#!/usr/bin/env bash
# Internet play through home routers, with the whole game (marevo_peer) in each home of a small
# internet made of network namespaces (netlab.sh). Cases:
#   join      two homes whose routers run miniupnpd: the joiner types the address the host's
#             chat window shows, joins, both see the other's yacht, hull and chat; after the
#             host ends, its router forwards nothing
#   failures  a router without miniupnpd, one whose outside address is in 100.64.0.0/10, one
#             that refuses: each host is told its case
#   migrate   a third machine in home 2; the host in home 1 is killed; play goes on with the
#             new host in home 2, which had opened its router too
#   renew     a lease of a few seconds is renewed; when the router goes, the failed renewal is
#             told
# Exit 77 (skipped) when the namespaces cannot be made here, saying why.
#
#   internet_play.sh <marevo_peer> <folder with HALTEX.BMP and SPINTEX.BMP> <case>
set -uo pipefail
peer=$(realpath "$1")
textures=$(realpath "$2")
case=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=netlab.sh
. "$here/netlab.sh"

why=$(LabCheck)
if [ -n "$why" ]; then
    echo "SKIPPED: $why"
    exit 77
fi
trap LabTeardown EXIT
# LAB_KEEP=<folder>: keep the players' and routers' files there, for a look afterwards.
[ -z "${LAB_KEEP:-}" ] || trap 'Show; cp -r "$LabDir" "$LAB_KEEP"; LabTeardown' EXIT
trap 'exit 1' INT TERM
# A player that died must fail the test, not end it unseen.
trap '' PIPE

failures=0
Fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

declare -A PeerFd PeerPid PeerLog PeerFolder

# StartPeer <name> <machine> [hull tint byte]: the game on that machine, in a folder of its own.
StartPeer() {
    local name=$1 ns="${Lab}$2" tint=${3:-0}
    local folder="$LabDir/$name"
    mkdir -p "$folder"
    cp "$textures/SPINTEX.BMP" "$folder/"
    python3 - "$textures/HALTEX.BMP" "$folder/HALTEX.BMP" "$tint" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
for i in range(54, len(data)):
    data[i] ^= int(sys.argv[3])
open(sys.argv[2], 'wb').write(data)
EOF
    mkfifo "$folder/in"
    (cd "$folder" && exec ip netns exec "$ns" env $PEER_ENV "$peer" 29540 \
        <"$folder/in" >"$folder/out" 2>"$folder/err") &
    PeerPid[$name]=$!
    LabPids+=($!)
    exec {fd}>"$folder/in"
    PeerFd[$name]=$fd
    PeerLog[$name]="$folder/out"
    PeerFolder[$name]=$folder
    WaitLine "$name" '^READY' 15 >/dev/null || Fail "$name did not start"
}

Say() {
    echo "$2" >&"${PeerFd[$1]}"
}

# Poll <seconds> <command...>: runs the command every tenth of a second until it succeeds.
Poll() {
    local i seconds=$1
    shift
    for ((i = 0; i < seconds * 10; ++i)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# WaitLine <name> <regex> <seconds>: prints the first matching line of the player's output.
WaitLine() {
    Poll "$3" grep -m1 -E "$2" "${PeerLog[$1]}" 2>/dev/null
}

# YachtNear <name> <x> <z>: some other yacht is drawn near (x, z).
YachtNear() {
    awk -v x="$2" -v z="$3" '$1 == "YACHT" && $3 == 1 &&
        (($4 - x)^2 + ($5 - z)^2) < 60^2 { found = 1 } END { exit !found }' "${PeerLog[$1]}"
}

# WaitYacht <name> <x> <z> <seconds>
WaitYacht() {
    Poll "$4" YachtNear "$1" "$2" "$3"
}

# WaitSame <file> <same as file> <seconds>
WaitSame() {
    Poll "$3" cmp -s "$1" "$2"
}

WaitExit() {
    local i
    for ((i = 0; i < $2 * 10; ++i)); do
        kill -0 "${PeerPid[$1]}" 2>/dev/null || { wait "${PeerPid[$1]}"; return $?; }
        sleep 0.1
    done
    return 124
}

Show() {
    local name
    for name in "${!PeerLog[@]}"; do
        echo "--- $name said:"
        grep -v -E '^(YACHT|SENT)' "${PeerLog[$name]}" | tail -n 30
        tail -n 5 "${PeerFolder[$name]}/err"
    done
    for f in "$LabDir"/r*.log; do
        [ -e "$f" ] && { echo "--- $(basename "$f"):"; tail -n 15 "$f"; }
    done
}

# The address the host's chat window tells friends to type.
TypedAddress() {
    WaitLine "$1" '^CHAT インターネットの友達には、アドレス ' "$2" |
        sed -E 's/^CHAT インターネットの友達には、アドレス ([0-9.]+:[0-9]+) .*/\1/'
}

CaseJoin() {
    LabInternet
    LabHome 1 11.0.0.11/24 192.168.1 yes
    LabHome 2 11.0.0.12/24 192.168.2 yes
    LabMachine anna 1 192.168.1.10
    LabMachine ben 2 192.168.2.10
    sleep 0.5 # miniupnpd's sockets
    StartPeer anna anna 0
    StartPeer ben ben 90
    Say anna "HOSTNET anna"
    WaitLine anna '^ID ' 20 >/dev/null || Fail "anna could not host"
    local address
    address=$(TypedAddress anna 10)
    [ "$address" = 11.0.0.11:29540 ] || Fail "anna was shown '$address', not 11.0.0.11:29540"
    [ "$(LabForwards 1)" -ge 2 ] || Fail "router 1 forwards $(LabForwards 1) ports, not 2"
    Say ben "JOINNET $address ben"
    WaitLine ben '^ID ' 30 >/dev/null || Fail "ben could not join at $address"
    WaitLine anna '^CHAT benさんが、来ました$' 10 >/dev/null || Fail "anna did not see ben come"
    Say ben "PLACE 300 -200"
    WaitYacht anna 300 -200 10 || Fail "anna did not see ben's yacht"
    Say anna "PLACE -250 150"
    WaitYacht ben -250 150 10 || Fail "ben did not see anna's yacht"
    WaitSame "${PeerFolder[anna]}/ENTEX.BMP" "${PeerFolder[ben]}/HALTEX.BMP" 10 ||
        Fail "anna did not get ben's hull"
    WaitSame "${PeerFolder[ben]}/ENTEX.BMP" "${PeerFolder[anna]}/HALTEX.BMP" 10 ||
        Fail "ben did not get anna's hull"
    Say ben "CHAT 隣の町から、こんにちは"
    WaitLine anna $'^CHAT ben:\t隣の町から、こんにちは$' 10 >/dev/null || Fail "anna missed ben's chat"
    Say anna "CHAT ようこそ"
    WaitLine ben $'^CHAT anna:\tようこそ$' 10 >/dev/null || Fail "ben missed anna's chat"
    # Stopped as a desktop stops a program: it still takes its forwardings back.
    kill -TERM "${PeerPid[anna]}"
    WaitExit anna 15 || Fail "anna did not end cleanly on SIGTERM"
    [ "$(LabForwards 1)" -eq 0 ] || Fail "router 1 still forwards $(LabForwards 1) ports"
    Say ben "QUIT"
    WaitExit ben 15 || Fail "ben did not end cleanly"
    [ "$(LabForwards 2)" -eq 0 ] || Fail "router 2 still forwards $(LabForwards 2) ports"
}

# Each router that cannot help produces its own line in the host's chat window.
CaseFailures() {
    LabInternet
    LabHome 1 11.0.0.11/24 192.168.1 no
    LabHome 2 100.64.0.2/10 192.168.2 yes
    LabHome 3 11.0.0.13/24 192.168.3 refuse
    LabMachine anna 1 192.168.1.10
    LabMachine ben 2 192.168.2.10
    LabMachine carl 3 192.168.3.10
    sleep 0.5
    local name
    for name in anna ben carl; do
        StartPeer "$name" "$name"
        Say "$name" "HOSTNET $name"
    done
    WaitLine anna '^CHAT ルータが応答しませんでした' 20 >/dev/null ||
        Fail "anna was not told that no router answered"
    WaitLine ben '^CHAT ルータの外側のアドレス( 100\.64\.0\.2 )?はプライベートまたは共有' 20 \
        >/dev/null || Fail "ben was not told that his router's outside address is shared"
    WaitLine carl '^CHAT ルータがポートの転送を断りました' 20 >/dev/null ||
        Fail "carl was not told that his router refused"
    for name in anna ben carl; do
        WaitLine "$name" '^ID ' 1 >/dev/null || Fail "$name could not host on the local network"
        Say "$name" "QUIT"
        WaitExit "$name" 15 || Fail "$name did not end cleanly"
    done
    [ "$(LabForwards 2)" -eq 0 ] || Fail "router 2 still forwards $(LabForwards 2) ports"
}

CaseMigrate() {
    LabInternet
    LabHome 1 11.0.0.11/24 192.168.1 yes
    LabHome 2 11.0.0.12/24 192.168.2 yes
    LabMachine anna 1 192.168.1.10
    LabMachine ben 2 192.168.2.10
    LabMachine carl 2 192.168.2.11
    sleep 0.5
    StartPeer anna anna 0
    StartPeer ben ben 90
    StartPeer carl carl 60
    Say anna "HOSTNET anna"
    local address
    address=$(TypedAddress anna 20)
    Say ben "JOINNET $address ben"
    WaitLine ben '^ID ' 30 >/dev/null || Fail "ben could not join"
    Say carl "JOINNET $address carl"
    WaitLine carl '^ID ' 30 >/dev/null || Fail "carl could not join"
    WaitLine ben '^CHAT carlさんが、来ました$' 10 >/dev/null || Fail "ben did not see carl come"
    [ "$(LabForwards 2)" -ge 2 ] || Fail "router 2 forwards $(LabForwards 2) ports for ben and carl"
    kill -9 "${PeerPid[anna]}"
    WaitLine ben '^CHAT annaさんが、逃げました$' 15 >/dev/null || Fail "ben did not see anna go"
    WaitLine carl '^CHAT annaさんが、逃げました$' 15 >/dev/null || Fail "carl did not see anna go"
    Say carl "CHAT まだ走ってる?"
    WaitLine ben $'^CHAT carl:\tまだ走ってる[?]$' 15 >/dev/null || Fail "ben missed carl's chat"
    Say ben "PLACE 120 80"
    WaitYacht carl 120 80 10 || Fail "carl did not see ben's yacht under the new host"
    Say ben "QUIT"
    Say carl "QUIT"
    WaitExit ben 15 || Fail "ben did not end cleanly"
    WaitExit carl 15 || Fail "carl did not end cleanly"
    [ "$(LabForwards 2)" -eq 0 ] || Fail "router 2 still forwards $(LabForwards 2) ports"
}

CaseRenew() {
    LabInternet
    LAB_MIN_LIFETIME=1 LabHome 1 11.0.0.11/24 192.168.1 yes
    LabMachine anna 1 192.168.1.10
    sleep 0.5
    PEER_ENV="MAREVO_DPLAY_ROUTER_LEASE=4" StartPeer anna anna
    Say anna "HOSTNET anna"
    TypedAddress anna 20 >/dev/null || Fail "anna was not shown her address"
    # Renewed at half the lease: the router's count of requests grows while the session runs.
    sleep 5
    local renewals
    renewals=$(grep -c 'NAT-PMP port mapping request' "$LabDir/r1.log" || true)
    # Two ports forwarded at first, then both renewed at least twice.
    [ "$renewals" -ge 6 ] || Fail "the router saw $renewals requests in 5 s of a 4 s lease"
    [ "$(LabForwards 1)" -ge 2 ] || Fail "the forwarding lapsed while renewed"
    # The router goes away: the next renewal fails and anna is told.
    kill -9 "${LabPids[0]}"
    WaitLine anna '^CHAT ルータのポート転送を更新できませんでした' 40 >/dev/null ||
        Fail "anna was not told that the renewal failed"
    Say anna "QUIT"
    WaitExit anna 15 || Fail "anna did not end cleanly"
}

# The lobby on the test internet, and anna and ben at home behind routers that do nothing for
# games; the peers are told where the lobby is. Skips when the lobby cannot run here.
LobbyLab() {
    why=$(LabLobbyCheck)
    if [ -n "$why" ]; then
        echo "SKIPPED: $why"
        exit 77
    fi
    LabInternet
    LabLobby 11.0.0.53/24 lab.test || Fail "the lobby did not start"
    LabHome 1 11.0.0.11/24 192.168.1 no
    LabHome 2 11.0.0.12/24 192.168.2 no
    LabMachine anna 1 192.168.1.10
    LabMachine ben 2 192.168.2.10
    PEER_ENV="MAREVO_DPLAY_LOBBY=$LabLobbyDomain MAREVO_DPLAY_LOBBY_ADDRESS=$LabLobbyIp"
    PEER_ENV+=" MAREVO_DPLAY_LOBBY_CA=$LabLobbyCa"
    ip netns exec "${Lab}lobby" nft -f - <<EOF
table inet count {
    chain input { type filter hook input priority 0; policy accept; udp dport 49152-65535 counter; }
}
EOF
}

# What reached the relay's relaying ports, in bytes: what it passed on between machines.
Relayed() {
    ip netns exec "${Lab}lobby" nft list chain inet count input 2>/dev/null |
        sed -nE 's/.*counter packets [0-9]+ bytes ([0-9]+).*/\1/p'
}

# anna hosts through the lobby and ben joins; they play: yachts, hulls and chat.
LobbyPlay() {
    StartPeer anna anna 0
    StartPeer ben ben 90
    Say anna "HOSTLOBBY anna"
    WaitLine anna '^ID ' 20 >/dev/null || Fail "anna could not host in the lobby"
    local start=$SECONDS
    Say ben "JOINLOBBY ben"
    WaitLine ben '^ID ' 30 >/dev/null || Fail "ben could not join through the lobby"
    echo "ben joined in $((SECONDS - start)) s"
    WaitLine anna '^CHAT benさんが、来ました$' 10 >/dev/null || Fail "anna did not see ben come"
    Say ben "PLACE 300 -200"
    WaitYacht anna 300 -200 10 || Fail "anna did not see ben's yacht"
    Say anna "PLACE -250 150"
    WaitYacht ben -250 150 10 || Fail "ben did not see anna's yacht"
    WaitSame "${PeerFolder[anna]}/ENTEX.BMP" "${PeerFolder[ben]}/HALTEX.BMP" 10 ||
        Fail "anna did not get ben's hull"
    Say ben "CHAT ロビーから、こんにちは"
    WaitLine anna $'^CHAT ben:\tロビーから、こんにちは$' 10 >/dev/null || Fail "anna missed ben's chat"
    Say ben "QUIT"
    Say anna "QUIT"
    WaitExit ben 15 || Fail "ben did not end cleanly"
    WaitExit anna 15 || Fail "anna did not end cleanly"
}

# Both routers keep a machine's port: each punches through its own, and no relay is used.
CaseLobby() {
    LobbyLab
    LobbyPlay
    [ "$(Relayed)" -eq 0 ] || Fail "the relay carried $(Relayed) bytes between punched homes"
}

# ben's router gives every destination a port of its own: no punch reaches him, and the
# session goes through the relay.
CaseRelay() {
    LobbyLab
    LabSymmetric 2
    LobbyPlay
    [ "$(Relayed)" -gt 10000 ] || Fail "the relay carried only $(Relayed) bytes"
}

# A third machine in a third home; the host is killed after everyone met: play goes on under
# ben, the next host, whom carl reaches through the holes they punched towards each other or,
# when ben's router changes ports (LobbyMigrate relayed), through the relay ben keeps for himself.
LobbyMigrate() {
    LobbyLab
    [ "${1:-}" = relayed ] && LabSymmetric 2
    LabHome 3 11.0.0.13/24 192.168.3 no
    LabMachine carl 3 192.168.3.10
    StartPeer anna anna 0
    StartPeer ben ben 90
    StartPeer carl carl 60
    Say anna "HOSTLOBBY anna"
    WaitLine anna '^ID ' 20 >/dev/null || Fail "anna could not host in the lobby"
    Say ben "JOINLOBBY ben"
    WaitLine ben '^ID ' 30 >/dev/null || Fail "ben could not join"
    Say carl "JOINLOBBY carl"
    WaitLine carl '^ID ' 30 >/dev/null || Fail "carl could not join"
    WaitLine ben '^CHAT carlさんが、来ました$' 10 >/dev/null || Fail "ben did not see carl come"
    # Long enough for every pair to have punched, and to know where ben's relay is.
    sleep 6
    kill -9 "${PeerPid[anna]}"
    WaitLine ben '^CHAT annaさんが、逃げました$' 15 >/dev/null || Fail "ben did not see anna go"
    WaitLine carl '^CHAT annaさんが、逃げました$' 15 >/dev/null || Fail "carl did not see anna go"
    Say carl "CHAT まだ走ってる?"
    WaitLine ben $'^CHAT carl:\tまだ走ってる[?]$' 15 >/dev/null || Fail "ben missed carl's chat"
    Say ben "PLACE 120 80"
    WaitYacht carl 120 80 15 || Fail "carl did not see ben's yacht under ben as host"
    Say ben "QUIT"
    Say carl "QUIT"
    WaitExit ben 15 || Fail "ben did not end cleanly"
    WaitExit carl 15 || Fail "carl did not end cleanly"
}

# Each failure is told in the connection dialog, which stays open: a lobby that does not
# answer, and a host that neither punches nor relays reach (ben's router changes ports and the
# relay's ports are closed).
CaseLobbyFailures() {
    LobbyLab
    LabSymmetric 2
    ip netns exec "${Lab}lobby" nft add rule inet count input udp dport 49152-65535 drop
    LabMachine carl 1 192.168.1.11
    StartPeer anna anna 0
    StartPeer ben ben 90
    PEER_ENV=${PEER_ENV/$LabLobbyIp/11.0.0.99} StartPeer carl carl 60
    Say anna "HOSTLOBBY anna"
    WaitLine anna '^ID ' 20 >/dev/null || Fail "anna could not host in the lobby"
    Say carl "JOINLOBBY carl"
    WaitLine carl '^ロビーサーバーに接続できませんでした。' 20 >/dev/null ||
        Fail "carl was not told that the lobby did not answer"
    Say ben "JOINLOBBY ben"
    WaitLine ben '^相手のコンピュータへの経路が見つからず、中継サーバーも使えませんでした。' 30 \
        >/dev/null || Fail "ben was not told that there is no path"
}

PEER_ENV=""
case $case in
lobby) CaseLobby ;;
relay) CaseRelay ;;
relay-migrate) LobbyMigrate relayed ;;
lobby-migrate) LobbyMigrate ;;
lobby-failures) CaseLobbyFailures ;;
join) CaseJoin ;;
failures) CaseFailures ;;
migrate) CaseMigrate ;;
renew) CaseRenew ;;
*)
    echo "unknown case $case"
    exit 2
    ;;
esac
if [ "$failures" -gt 0 ]; then
    Show
    echo "0 passed, 1 failed"
    exit 1
fi
echo "1 passed, 0 failed"
