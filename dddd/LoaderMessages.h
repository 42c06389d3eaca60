#pragma once
// What the bitmap and texture loaders write to the debug log and report.

namespace dddd {

// Surface loaders: a DebugLog line each, and the surface keeps what it had.
inline constexpr char kMsgBmpHeaderUnreadable[] =
    "ビットマップの読みこみ中に、エラーが発生しました";
inline constexpr char kMsgBmpStrange[] = "おかしなBMPファイルです";
inline constexpr char kMsgBmpReadError[] = "LoadBMP中に、読み込みエラーが発生しました";
inline constexpr char kMsgBmpInvalid[] = "不正なビットマップです";
inline constexpr char kMsgFileNotFound[] = "が、見つかりません"; // after the file name
inline constexpr char kMsgArchiveBitmapFailed[] =
    "アーカイブからのビットマップの読み取りに失敗しました";
inline constexpr char kMsgPixelOutside[] = "サーフェス外のピクセルを参照しようとしました";
// Reported with their codes.
inline constexpr char kMsgBmpLock[] = "LoadBMP中にサーフェスがロックできませんでした";
inline constexpr char kMsgBmpUnlock[] = "LoadBMP中にサーフェスがアンロックできませんでした";
inline constexpr char kMsgSurfaceCreate[] = "サーフェスを作れませんでした";

// Texture loaders.
inline constexpr char kMsgNotABitmapFile[] =
    "がビットマップファイルとして開けません"; // after the name
inline constexpr char kMsgArchiveOpenFailed[] =
    "アーカイブファイル %s からの %s のオープンに失敗しました";
inline constexpr char kMsgExpandFailed[] = "WaveDataの展開に失敗しました";
inline constexpr char kMsgTexDeviceSurface[] = "テクスチャ用デバイスサーフェスの作成に失敗しました";
inline constexpr char kMsgTexWorkSurface[] = "テクスチャ用作業サーフェスの作成に失敗しました";
inline constexpr char kMsgTexPalette[] = "テクスチャ用パレットの作成に失敗しました";
inline constexpr char kMsgTexWorkDC[] =
    "テクスチャ用作業サーフェスのデバイスコンテキスト取得に失敗しました";
inline constexpr char kMsgTexHandle[] = "テクスチャのハンドルが得られませんでした";
inline constexpr char kMsgTexTransfer[] = "テクスチャの転送に失敗しました";
inline constexpr char kMsgTexWorkRestore[] = "テクスチャ用作業サーフェスの復元に失敗しました";
inline constexpr char kMsgTexDeviceRestore[] = "テクスチャ用デバイスサーフェスの復元に失敗しました";

} // namespace dddd
