#include "app/PicturePreload.h"

#include "view/IllustrationLayer.h"

namespace {
constexpr SIZE_T PictureThreadStack = 256 * 1024;
}

PicturePreload::PicturePreload() : instance(nullptr), names(), bitmaps(), taken(), count(0) {}

PicturePreload::~PicturePreload()
{
    Finish();
}

void PicturePreload::Finish()
{
    if (thread.IsOpen()) {
        WaitForSingleObject(thread.Get(), INFINITE);
        thread.Reset();
    }
    for (uint32_t i = 0; i < count; i++) {
        if (!taken[i] && bitmaps[i] != nullptr)
            DeleteObject(bitmaps[i]);
        bitmaps[i] = nullptr;
        read[i].Reset();
    }
    count = 0;
}

void PicturePreload::Begin(HINSTANCE moduleInstance, const Utf16Unit* const* fileNames, uint32_t n)
{
    Finish();
    instance = moduleInstance;
    const uint32_t wanted = n < Capacity ? n : Capacity;
    for (uint32_t i = 0; i < wanted; i++) {
        names[i] = fileNames[i];
        bitmaps[i] = nullptr;
        taken[i] = false;
        count = i + 1;
        read[i].Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!read[i].IsOpen()) {
            Finish();
            return;
        }
    }
    // Wine commits a thread's whole stack and frees it only when another
    // thread ends; reading pictures needs little of it.
    thread.Reset(CreateThread(nullptr, PictureThreadStack, Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread.IsOpen())
        Finish();
}

DWORD WINAPI PicturePreload::Run(LPVOID self)
{
    PicturePreload& preload = *static_cast<PicturePreload*>(self);
    for (uint32_t i = 0; i < preload.count; i++) {
        preload.bitmaps[i] = IllustrationLayer::LoadIllustration(preload.instance, preload.names[i]);
        SetEvent(preload.read[i].Get());
    }
    return 0;
}

HBITMAP PicturePreload::Take(uint32_t i, HINSTANCE moduleInstance, const Utf16Unit* fileName)
{
    if (i < count && !taken[i] && names[i] == fileName) {
        WaitForSingleObject(read[i].Get(), INFINITE);
        taken[i] = true;
        return bitmaps[i];
    }
    return IllustrationLayer::LoadIllustration(moduleInstance, fileName);
}
