#include "LayerHost.h"

namespace {

const wchar_t* const HostClassName = L"VellumarkLayerHost";

void RegisterHostClass()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = HostClassName;
    RegisterClassExW(&wc); // a second registration fails harmlessly
}

} // namespace

LayerHost::LayerHost(int32_t w, int32_t h) : WindowBase(u"VellumarkLayerHost", 3), width(w), height(h)
{
    RegisterHostClass();
    instance = GetModuleHandleW(nullptr);
    HWND window = CreateWindowExW(0, HostClassName, L"", WS_POPUP, 0, 0, w, h, nullptr, nullptr, instance, nullptr);
    SetHwnd(window);
    UpdateClientRect();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    memoryDC = CreateCompatibleDC(nullptr);
    dib = CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels = static_cast<uint32_t*>(bits);
    previousBitmap = SelectObject(memoryDC, dib);
    hdc = memoryDC;
    CreateBookFont(0, 22);
    Clear(RGB(255, 255, 255));
}

LayerHost::~LayerHost()
{
    SelectObject(memoryDC, previousBitmap);
    DeleteObject(dib);
    DeleteDC(memoryDC);
    DeleteObject(fonts.At(0));
    DestroyWindow(hwnd);
}

void LayerHost::Clear(COLORREF color)
{
    GdiFlush();
    const uint32_t value = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    for (int32_t i = 0; i < width * height; ++i)
        pixels[i] = value;
}

COLORREF LayerHost::PixelAt(int32_t x, int32_t y) const
{
    GdiFlush();
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLR_INVALID;
    const uint32_t v = pixels[y * width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int32_t LayerHost::CountPixels(COLORREF color, int32_t left, int32_t top, int32_t right, int32_t bottom) const
{
    int32_t n = 0;
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x)
            n += PixelAt(x, y) == color ? 1 : 0;
    return n;
}

RECT LayerHost::TakeUpdateRect()
{
    RECT r = {0, 0, 0, 0};
    GetUpdateRect(hwnd, &r, FALSE);
    ValidateRect(hwnd, nullptr);
    return r;
}
