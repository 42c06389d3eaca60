#include "DDPDFailureText.h"

#include "platform/dplay/DPlay.h"

namespace ddpd {

const char* const kNameTooLongText =
    "プレイヤー名が長すぎます。\n"
    "Shift-JIS で 255 バイト（全角文字なら 127 文字）以内にしてください。";
const char* const kNoSessionFoundText = "セッションが見つかりませんでした";

namespace {

const char* WhatFailed(TConnectStep Step) {
    switch (Step) {
    case TConnectStep::Search:
        return "セッションを検索できませんでした。";
    case TConnectStep::List:
        return "セッションの参加者を確認できませんでした。";
    case TConnectStep::Create:
        return "セッションを作成できませんでした。";
    case TConnectStep::Join:
        break;
    }
    return "セッションに参加できませんでした。";
}

const char* Why(HRESULT Code) {
    switch (Code) {
    case DPERR_CANNOTCREATESERVER:
        return "このコンピュータでは、すでに別のセッションがセッションの検索に応答しています。"
               "そのセッションを終了してから作成してください。";
    case DPERR_NONEWPLAYERS:
    case DPERR_CANTADDPLAYER:
        return "このセッションは、これ以上プレイヤーを受け付けていません。";
    case DPERR_TIMEOUT:
        return "ホストから時間内に応答がありませんでした。";
    case DPERR_NOSESSIONS:
        return "セッションが見つかりません。すでに終了した可能性があります。"
               "もう一度検索してください。";
    case DPERR_NOCONNECTION:
        return "相手のコンピュータに接続できませんでした。アドレスとネットワークを確認してください"
               "。";
    case DPERR_MAREVO_NOLOBBY:
        return "ロビーサーバーに接続できませんでした。サーバーの名前とネットワークを確認してくださ"
               "い。";
    case DPERR_LOGONDENIED:
        return "ロビーサーバーがサインインを断りました。";
    case DPERR_MAREVO_NOPATH:
        return "相手のコンピュータへの経路が見つからず、中継サーバーも使えませんでした。";
    default:
        return nullptr;
    }
}

} // namespace

std::string ConnectFailureText(TConnectStep Step, const EDDPD& Failure) {
    const char* why = Why(Failure.Code);
    return std::string(WhatFailed(Step)) + "\n" + (why ? why : Failure.what());
}

} // namespace ddpd
