#include "ddpd/DDPDRouterText.h"

#include <arpa/inet.h>

namespace ddpd {

namespace {

std::string Dotted(DWORD Ip) {
    in_addr a{};
    a.s_addr = Ip;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

// What a player can do by hand when the router cannot be asked.
std::string ByHand(const DPMSG_MAREVO_ROUTER& N) {
    return "インターネットの友達と遊ぶには、ルータの設定で UDP ポート " +
           std::to_string(N.dwQueryPort) + " と " + std::to_string(N.dwSessionPort) +
           " をこのコンピュータに転送してください。LAN の中では今のまま遊べます。";
}

} // namespace

std::string RouterNoticeText(const DPMSG_MAREVO_ROUTER& N) {
    switch (N.dwKind) {
    case 0:
        return "インターネットの友達には、アドレス " + Dotted(N.dwPublicIp) + ":" +
               std::to_string(N.dwQueryPort) +
               " を伝えてください (ルータがこのコンピュータへ転送しています)。";
    case 1:
        return "ルータが応答しませんでした (NAT-PMP も UPnP も)。" + ByHand(N);
    case 2:
        return "ルータがポートの転送を断りました。" + ByHand(N);
    case 3:
        return "ルータの外側のアドレス" + (N.dwPublicIp ? " " + Dotted(N.dwPublicIp) + " " : "") +
               "はプライベートまたは共有のアドレスです。もう 1 台のルータかプロバイダの NAT "
               "が間にあるため、インターネットの友達はこのコンピュータに直接つながれません。"
               "LAN の中では今のまま遊べます。";
    case 4:
        return "ルータのポート転送を更新できませんでした。まもなくインターネットの友達が"
               "このコンピュータにつながれなくなるかもしれません。";
    default:
        return {};
    }
}

} // namespace ddpd
