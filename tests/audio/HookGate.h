#pragma once

#include <windows.h>

#include <atomic>

#include "audio/AudioPlayer.h"

// Holds the player's threads at hook points: the first thread to reach
// `held` waits there for `open` (at most `holdMs`), and the completion thread
// waits for `completions` before each buffer.
struct HookGate {
    static void Arm(AudioPlayer& player, AudioPlayer::HookPoint point, DWORD ms, bool holdCompletions)
    {
        held = point;
        holdMs = ms;
        passed = false;
        ResetEvent(open);
        ResetEvent(reached);
        (holdCompletions ? ResetEvent : SetEvent)(completions);
        player.testHook = Hold;
    }
    static void Hold(AudioPlayer&, AudioPlayer::HookPoint point)
    {
        if (point == AudioPlayer::HookPoint::BeforeCompletion) {
            WaitForSingleObject(completions, 20000);
        } else if (point == held && !passed.exchange(true)) {
            SetEvent(reached);
            WaitForSingleObject(open, holdMs);
        }
    }
    static inline AudioPlayer::HookPoint held;
    static inline DWORD holdMs;
    static inline std::atomic<bool> passed;
    static inline HANDLE reached = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    static inline HANDLE open = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static inline HANDLE completions = CreateEventA(nullptr, TRUE, TRUE, nullptr);
};
