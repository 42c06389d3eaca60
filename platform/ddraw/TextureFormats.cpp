// The texture formats the software devices draw with: those the driver can make surfaces of.
#include "Direct3DDevice.h"
#include "Display.h"

HRESULT TDirect3DDevice::EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK Callback,
                                            LPVOID Context) {
    if (!Callback)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirect3DDevice2::EnumTextureFormats");
        hr != DD_OK)
        return hr;
    for (int bits : {8, 16, 24, 32}) {
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_PIXELFORMAT;
        d.ddpfPixelFormat = RgbPixelFormat(bits);
        if (Callback(&d, Context) == D3DENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}
