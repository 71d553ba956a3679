#pragma once
// Window timers in one queue ordered by deadline, read from the clock in force.
//
// Rules: a due timer posts one WM_TIMER and is rescheduled one interval after the present
// time, so a late repeating timer fires once, not once per missed interval; due timers post
// in deadline order; a timer set while timers are being posted waits for the next round,
// since its deadline lies at least USER_TIMER_MINIMUM after the present time. A timer whose
// WM_TIMER is still queued posts no second one. Internal to platform/.
#include <cstdint>

#include "platform/Windows.h"

// Posts WM_TIMER for every due timer; true when one was posted.
bool postDueTimers();
// Milliseconds until the next deadline (0 when one is due), -1 without timers.
int msUntilNextTimer();
bool timerIsLive(HWND window, UINT_PTR id, TIMERPROC proc);
void killTimersOf(HWND window);
void resetTimers();
