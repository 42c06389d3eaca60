#include "KeyScanCodes.h"

#include <QKeyEvent>
#include <Qt>

#include <algorithm>
#include <iterator>

namespace {

struct TCodePair {
    int From;
    BYTE To;
};

constexpr std::uint32_t kEvdevOffset = 8;

// evdev codes 1 to 83 are the PC scan codes themselves; past them the two part ways.
constexpr std::uint32_t kLastSharedEvdevCode = 83;

constexpr TCodePair kEvdevBeyondShared[] = {
    {85, 0x29},  // zenkaku/hankaku, where the grave key sits
    {86, 0x56},  // the 102nd key
    {87, 0x57},  // F11
    {88, 0x58},  // F12
    {89, 0x73},  // ro
    {92, 0x79},  // henkan
    {93, 0x70},  // katakana/hiragana
    {94, 0x7B},  // muhenkan
    {96, 0x9C},  // keypad enter
    {97, 0x9D},  // right control
    {98, 0xB5},  // keypad slash
    {99, 0xB7},  // print screen
    {100, 0xB8}, // right alt
    {102, 0xC7}, // home
    {103, 0xC8}, // up
    {104, 0xC9}, // page up
    {105, 0xCB}, // left
    {106, 0xCD}, // right
    {107, 0xCF}, // end
    {108, 0xD0}, // down
    {109, 0xD1}, // page down
    {110, 0xD2}, // insert
    {111, 0xD3}, // delete
    {117, 0x8D}, // keypad equals
    {119, 0xC5}, // pause
    {124, 0x7D}, // yen
    {125, 0xDB}, // left windows
    {126, 0xDC}, // right windows
    {127, 0xDD}, // menu
};

// Keys by meaning, US layout; shifted symbols name the key they are typed on, so a key pressed
// with Shift and released without it is still one key.
constexpr TCodePair kQtKeys[] = {
    {Qt::Key_Escape, 0x01},
    {Qt::Key_1, 0x02},
    {Qt::Key_Exclam, 0x02},
    {Qt::Key_2, 0x03},
    {Qt::Key_At, 0x03},
    {Qt::Key_3, 0x04},
    {Qt::Key_NumberSign, 0x04},
    {Qt::Key_4, 0x05},
    {Qt::Key_Dollar, 0x05},
    {Qt::Key_5, 0x06},
    {Qt::Key_Percent, 0x06},
    {Qt::Key_6, 0x07},
    {Qt::Key_AsciiCircum, 0x07},
    {Qt::Key_7, 0x08},
    {Qt::Key_Ampersand, 0x08},
    {Qt::Key_8, 0x09},
    {Qt::Key_Asterisk, 0x09},
    {Qt::Key_9, 0x0A},
    {Qt::Key_ParenLeft, 0x0A},
    {Qt::Key_0, 0x0B},
    {Qt::Key_ParenRight, 0x0B},
    {Qt::Key_Minus, 0x0C},
    {Qt::Key_Underscore, 0x0C},
    {Qt::Key_Equal, 0x0D},
    {Qt::Key_Plus, 0x0D},
    {Qt::Key_Backspace, 0x0E},
    {Qt::Key_Tab, 0x0F},
    {Qt::Key_Backtab, 0x0F},
    {Qt::Key_Q, 0x10},
    {Qt::Key_W, 0x11},
    {Qt::Key_E, 0x12},
    {Qt::Key_R, 0x13},
    {Qt::Key_T, 0x14},
    {Qt::Key_Y, 0x15},
    {Qt::Key_U, 0x16},
    {Qt::Key_I, 0x17},
    {Qt::Key_O, 0x18},
    {Qt::Key_P, 0x19},
    {Qt::Key_BracketLeft, 0x1A},
    {Qt::Key_BraceLeft, 0x1A},
    {Qt::Key_BracketRight, 0x1B},
    {Qt::Key_BraceRight, 0x1B},
    {Qt::Key_Return, 0x1C},
    {Qt::Key_Control, 0x1D},
    {Qt::Key_A, 0x1E},
    {Qt::Key_S, 0x1F},
    {Qt::Key_D, 0x20},
    {Qt::Key_F, 0x21},
    {Qt::Key_G, 0x22},
    {Qt::Key_H, 0x23},
    {Qt::Key_J, 0x24},
    {Qt::Key_K, 0x25},
    {Qt::Key_L, 0x26},
    {Qt::Key_Semicolon, 0x27},
    {Qt::Key_Colon, 0x27},
    {Qt::Key_Apostrophe, 0x28},
    {Qt::Key_QuoteDbl, 0x28},
    {Qt::Key_QuoteLeft, 0x29},
    {Qt::Key_AsciiTilde, 0x29},
    {Qt::Key_Shift, 0x2A},
    {Qt::Key_Backslash, 0x2B},
    {Qt::Key_Bar, 0x2B},
    {Qt::Key_Z, 0x2C},
    {Qt::Key_X, 0x2D},
    {Qt::Key_C, 0x2E},
    {Qt::Key_V, 0x2F},
    {Qt::Key_B, 0x30},
    {Qt::Key_N, 0x31},
    {Qt::Key_M, 0x32},
    {Qt::Key_Comma, 0x33},
    {Qt::Key_Less, 0x33},
    {Qt::Key_Period, 0x34},
    {Qt::Key_Greater, 0x34},
    {Qt::Key_Slash, 0x35},
    {Qt::Key_Question, 0x35},
    {Qt::Key_Alt, 0x38},
    {Qt::Key_Space, 0x39},
    {Qt::Key_CapsLock, 0x3A},
    {Qt::Key_F1, 0x3B},
    {Qt::Key_F2, 0x3C},
    {Qt::Key_F3, 0x3D},
    {Qt::Key_F4, 0x3E},
    {Qt::Key_F5, 0x3F},
    {Qt::Key_F6, 0x40},
    {Qt::Key_F7, 0x41},
    {Qt::Key_F8, 0x42},
    {Qt::Key_F9, 0x43},
    {Qt::Key_F10, 0x44},
    {Qt::Key_NumLock, 0x45},
    {Qt::Key_ScrollLock, 0x46},
    {Qt::Key_F11, 0x57},
    {Qt::Key_F12, 0x58},
    {Qt::Key_Print, 0xB7},
    {Qt::Key_Pause, 0xC5},
    {Qt::Key_Home, 0xC7},
    {Qt::Key_Up, 0xC8},
    {Qt::Key_PageUp, 0xC9},
    {Qt::Key_Left, 0xCB},
    {Qt::Key_Right, 0xCD},
    {Qt::Key_End, 0xCF},
    {Qt::Key_Down, 0xD0},
    {Qt::Key_PageDown, 0xD1},
    {Qt::Key_Insert, 0xD2},
    {Qt::Key_Delete, 0xD3},
    {Qt::Key_Meta, 0xDB},
    {Qt::Key_Menu, 0xDD},
};

// The numeric pad: with Num Lock on its keys mean digits, with it off they mean the arrows and
// the editing keys; either way each is one key.
constexpr TCodePair kQtKeypadKeys[] = {
    {Qt::Key_7, 0x47},      {Qt::Key_Home, 0x47},     {Qt::Key_8, 0x48},
    {Qt::Key_Up, 0x48},     {Qt::Key_9, 0x49},        {Qt::Key_PageUp, 0x49},
    {Qt::Key_Minus, 0x4A},  {Qt::Key_4, 0x4B},        {Qt::Key_Left, 0x4B},
    {Qt::Key_5, 0x4C},      {Qt::Key_Clear, 0x4C},    {Qt::Key_6, 0x4D},
    {Qt::Key_Right, 0x4D},  {Qt::Key_Plus, 0x4E},     {Qt::Key_1, 0x4F},
    {Qt::Key_End, 0x4F},    {Qt::Key_2, 0x50},        {Qt::Key_Down, 0x50},
    {Qt::Key_3, 0x51},      {Qt::Key_PageDown, 0x51}, {Qt::Key_0, 0x52},
    {Qt::Key_Insert, 0x52}, {Qt::Key_Period, 0x53},   {Qt::Key_Comma, 0x53},
    {Qt::Key_Delete, 0x53}, {Qt::Key_Asterisk, 0x37}, {Qt::Key_Enter, 0x9C},
    {Qt::Key_Slash, 0xB5},  {Qt::Key_Equal, 0x8D},
};

template <std::size_t N> BYTE Find(const TCodePair (&Table)[N], int From) {
    const auto* hit = std::find_if(std::begin(Table), std::end(Table),
                                   [From](const TCodePair& P) { return P.From == From; });
    return hit == std::end(Table) ? 0 : hit->To;
}

} // namespace

BYTE ScanCodeFromEvdev(std::uint32_t EvdevCode) {
    if (EvdevCode >= 1 && EvdevCode <= kLastSharedEvdevCode)
        return static_cast<BYTE>(EvdevCode);
    if (EvdevCode > 0xFFFF)
        return 0;
    return Find(kEvdevBeyondShared, static_cast<int>(EvdevCode));
}

BYTE ScanCodeFromQtKey(int QtKey, bool Keypad) {
    if (Keypad)
        if (const BYTE code = Find(kQtKeypadKeys, QtKey))
            return code;
    if (QtKey == Qt::Key_Enter) // the keypad's Enter even when sent without the keypad flag
        return 0x9C;
    return Find(kQtKeys, QtKey);
}

BYTE ScanCodeOfKeyEvent(const QKeyEvent& Event, bool NativeIsEvdev) {
    const std::uint32_t native = Event.nativeScanCode();
    if (NativeIsEvdev && native > kEvdevOffset)
        if (const BYTE code = ScanCodeFromEvdev(native - kEvdevOffset))
            return code;
    return ScanCodeFromQtKey(Event.key(), Event.modifiers().testFlag(Qt::KeypadModifier));
}
