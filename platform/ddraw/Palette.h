#pragma once
// A 256-entry palette of the emulated driver.

#include "DDrawFamily.h"
#include "platform/ddraw/DDraw.h"

#include <array>

class TPalette final : public TComObject<IDirectDrawPalette> {
public:
    explicit TPalette(const PALETTEENTRY* Entries);
    ~TPalette() override;

    HRESULT GetEntries(DWORD dwFlags, DWORD dwBase, DWORD dwNumEntries,
                       LPPALETTEENTRY lpEntries) override;
    HRESULT SetEntries(DWORD dwFlags, DWORD dwStartingEntry, DWORD dwCount,
                       LPPALETTEENTRY lpEntries) override;

    static TPalette* From(IDirectDrawPalette* Palette);

    std::array<PALETTEENTRY, 256> Entries{};
};

// Puts the entries of a palette attached to a primary surface on the display.
void ShowPaletteOf(TPalette* Palette);
